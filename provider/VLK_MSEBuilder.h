// Device builders: one shared builder per device class, created on the first
// request for that class and kept for the life of the process.  A builder
// lists the engine's devices of its type as (path, instance) pairs.
#ifndef VLK_MSE_BUILDER_H
#define VLK_MSE_BUILDER_H

#include <string>

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Provider/CIMOMHandle.h>
#include <log4cpp/Category.hh>

#include "VLK_PathInstancePairs.h"

namespace VELKCORE {
class CDevice;
}

PEGASUS_NAMESPACE_BEGIN

class VLK_MSEBuilder {
  public:
    enum DeviceType { DISKDRIVE, CDROM, PROCESSOR, SERIAL, PARALLEL, DISKETTE, LAST };

    // Builds the device list of this type from the engine.  Throws when the
    // computer system or the engine cannot be had.
    VLK_MSEBuilder(const CIMOMHandle& cimom, DeviceType type);
    virtual ~VLK_MSEBuilder();

    // The shared builder of the class's device type, built on first use; two
    // first requests at once build it once.
    static VLK_MSEBuilder* getInstance(const CIMOMHandle& cimom, const String& className);
    static DeviceType mapClassToDeviceType(const String& className);
    // Deletes the builder of a type (all builders for LAST).
    static void clearInstance(DeviceType type);

    Array<CIMInstance> getMSEInstance(const CIMObjectPath& reference) const;
    Array<CIMInstance> enumMSEInstances() const;
    Array<CIMObjectPath> enumMSEReferences() const;

    bool isSupportedBxi2DeviceType(const std::string& bxi2Type) const;
    // The device class name and type text of an engine device type; "" when
    // unknown.
    static String bxi2DeviceToClass(const std::string& bxi2Type);
    static String bxi2DeviceToString(const std::string& bxi2Type);

    static log4cpp::Category& log;

  protected:
    virtual VLK_PathInstancePairs buildMSE();
    void AddDevice(VLK_PathInstancePairs& list, VELKCORE::CDevice* device, const String& systemName,
                   const String& systemCreationClassName) const;

  private:
    VLK_PathInstancePairs mse_ref_inst;
    CIMOMHandle _cimom;
    DeviceType _type;
};

PEGASUS_NAMESPACE_END

#endif
