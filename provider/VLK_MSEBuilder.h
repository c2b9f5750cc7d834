// Device builders: one shared builder per device class, created on the first
// request for that class and kept for the life of the process.
#ifndef VLK_MSE_BUILDER_H
#define VLK_MSE_BUILDER_H

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Provider/CIMOMHandle.h>
#include <log4cpp/Category.hh>

#include "VLK_PathInstancePairs.h"

PEGASUS_NAMESPACE_BEGIN

class VLK_MSEBuilder {
  public:
    enum DeviceType { DISKDRIVE, CDROM, PROCESSOR, DISKETTE, SERIAL, PARALLEL, LAST };

    VLK_MSEBuilder(const CIMOMHandle& cimom, DeviceType type);
    virtual ~VLK_MSEBuilder();

    static VLK_MSEBuilder* getInstance(const CIMOMHandle& cimom, const String& className);
    static DeviceType mapClassToDeviceType(const String& className);

    Array<CIMInstance> getMSEInstance(const CIMObjectPath& reference) const;
    Array<CIMInstance> enumMSEInstances() const;
    Array<CIMObjectPath> enumMSEReferences() const;

    static log4cpp::Category& log;

  protected:
    // The (path, instance) pairs of this builder's device type, read from the
    // engine's device list.
    virtual VLK_PathInstancePairs buildMSE();

  private:
    CIMOMHandle _cimom;
    DeviceType _type;
    VLK_PathInstancePairs mse_ref_inst;
};

PEGASUS_NAMESPACE_END

#endif
