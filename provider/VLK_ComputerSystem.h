// The one CIM_UnitaryComputerSystem of the CIM server, whose name and
// creation class name key every device, test and result instance.  Fetched
// from the CIM server on first use and cached for the life of the process.
#ifndef VLK_COMPUTER_SYSTEM_H
#define VLK_COMPUTER_SYSTEM_H

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/String.h>
#include <Pegasus/Provider/CIMOMHandle.h>
#include <log4cpp/Category.hh>

PEGASUS_NAMESPACE_BEGIN

class VLK_ComputerSystem {
  public:
    // The cached computer system, fetching it first when there is none yet.
    // Throws Exception when the server holds none, more than one, or one
    // without Name or CreationClassName; nothing is cached then.
    static VLK_ComputerSystem GetInstance(CIMOMHandle cimom);

    String GetName() const { return mName; }
    String GetCreationClassName() const { return mCreationClassName; }

    static log4cpp::Category& log;

  private:
    VLK_ComputerSystem(const String& creationClassName, const String& name);

    static CIMInstance mGetCIMInstance(CIMOMHandle& cimom);
    static String mGetName(const CIMInstance& instance);
    static String mGetCreationClassName(const CIMInstance& instance);

    String mCreationClassName;
    String mName;
};

PEGASUS_NAMESPACE_END

#endif
