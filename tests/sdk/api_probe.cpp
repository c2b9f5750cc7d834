// velk-api-probe: prints, one line each, what the OpenPegasus API calls the
// provider relies on return: name comparison, object paths as the builders
// make and compare them, association key values (paths inside strings),
// instances with reference properties, copies and clones, values, exception
// codes and messages.  Built against our CIM layer and against an OpenPegasus
// SDK, the two outputs must be identical; the SDK check compares them.
#include <iostream>
#include <string>

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/CIMDateTime.h>
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMProperty.h>
#include <Pegasus/Common/CIMValue.h>
#include <Pegasus/Common/InternalException.h>
#include <Pegasus/Provider/ProviderException.h>

PEGASUS_USING_PEGASUS;

namespace {

std::string text(const String& s) {
    return std::string(s.getCString());
}

void show(const char* what, const std::string& value) {
    std::cout << what << ": " << value << "\n";
}

void show(const char* what, bool value) {
    show(what, std::string(value ? "true" : "false"));
}

CIMObjectPath devicePath(const char* host, const char* nameSpace, const char* deviceId) {
    Array<CIMKeyBinding> keys;
    // Given out of order: the path sorts its keys by name.
    keys.append(CIMKeyBinding(CIMName("SystemName"), String("box"), CIMKeyBinding::STRING));
    keys.append(CIMKeyBinding(CIMName("DeviceID"), String(deviceId), CIMKeyBinding::STRING));
    keys.append(CIMKeyBinding(CIMName("CreationClassName"), String("VLK_DiskDrive"),
                              CIMKeyBinding::STRING));
    keys.append(CIMKeyBinding(CIMName("SystemCreationClassName"),
                              String("CIM_UnitaryComputerSystem"), CIMKeyBinding::STRING));
    return CIMObjectPath(String(host), CIMNamespaceName(nameSpace), CIMName("VLK_DiskDrive"), keys);
}

CIMObjectPath resultPath(const char* diagnosticName) {
    Array<CIMKeyBinding> keys;
    keys.append(
        CIMKeyBinding(CIMName("DiagnosticName"), String(diagnosticName), CIMKeyBinding::STRING));
    keys.append(CIMKeyBinding(CIMName("Id"), String("7"), CIMKeyBinding::NUMERIC));
    return CIMObjectPath(String("host1"), CIMNamespaceName("root/korva"), CIMName("VLK_DiagResult"),
                         keys);
}

// An association path as the association builders make it: each role's
// path as text in a STRING key.
CIMObjectPath associationPath(const CIMObjectPath& result, const CIMObjectPath& device) {
    Array<CIMKeyBinding> keys;
    keys.append(CIMKeyBinding(CIMName("SystemElement"), device.toString(), CIMKeyBinding::STRING));
    keys.append(CIMKeyBinding(CIMName("Result"), result.toString(), CIMKeyBinding::STRING));
    return CIMObjectPath(String("host1"), CIMNamespaceName("root/korva"),
                         CIMName("VLK_DiagResultForMSE"), keys);
}

void probeNames() {
    show("equalNoCase class names", String::equalNoCase("VLK_DiagTest", "vlk_DIAGTEST"));
    show("equalNoCase different", String::equalNoCase("VLK_DiagTest", "VLK_DiagTests"));
    String lowered("VLK_DisketteDrive");
    lowered.toLower();
    show("toLower", text(lowered));
    show("CIMName equality ignores case", CIMName("VLK_Processor") == CIMName("vlk_processor"));
    show("namespace text", text(CIMNamespaceName("root/korva").getString()));
}

void probePaths() {
    CIMObjectPath device = devicePath("host1", "root/korva", "/dev/sda \"x\\y\"");
    show("device path", text(device.toString()));
    show("first key after sorting", text(device.getKeyBindings()[0].getName().getString()));
    show("same path, host and namespace case differ",
         device == devicePath("HOST1", "ROOT/Korva", "/dev/sda \"x\\y\""));
    show("same path, other host", device == devicePath("host2", "root/korva", "/dev/sda \"x\\y\""));
    show("string key value case counts",
         devicePath("h", "n", "/dev/SDA") == devicePath("h", "n", "/dev/sda"));
    CIMObjectPath reparsed(device.toString());
    show("reparsed device path equal", reparsed == device);
    show("reparsed host", text(reparsed.getHost()));

    CIMObjectPath association = associationPath(resultPath("VeLkHardDrive:0:Read"), device);
    show("association path", text(association.toString()));
    CIMObjectPath associationReparsed(association.toString());
    show("reparsed association equal", associationReparsed == association);
    show("association key type", std::to_string(associationReparsed.getKeyBindings()[0].getType()));
    show("numeric keys 7 and 0x7",
         CIMKeyBinding(CIMName("Id"), String("7"), CIMKeyBinding::NUMERIC) ==
             CIMKeyBinding(CIMName("id"), String("0x7"), CIMKeyBinding::NUMERIC));

    CIMObjectPath classOnly(String("host1"), CIMNamespaceName("root/korva"),
                            CIMName("VLK_DiagTest"));
    show("class path", text(classOnly.toString()));
    show("empty host size", std::to_string(CIMObjectPath().getHost().size()));
    show("null namespace text size",
         std::to_string(CIMObjectPath().getNameSpace().getString().size()));
}

void probeInstances() {
    CIMObjectPath device = devicePath("host1", "root/korva", "/dev/sda");
    CIMInstance association("VLK_DiagTestForMSE");
    association.addProperty(
        CIMProperty(CIMName("Dependent"), CIMValue(device), 0, CIMName("VLK_Device")));
    association.addProperty(CIMProperty(CIMName("Antecedent"), CIMValue(resultPath("m:0:t")), 0,
                                        CIMName("VLK_DiagTest")));
    show("property count", std::to_string(association.getPropertyCount()));
    Uint32 index = association.findProperty(CIMName("dependent"));
    show("findProperty ignores case", index == 0);
    CIMConstProperty dependent = static_cast<const CIMInstance&>(association).getProperty(index);
    show("reference class", text(dependent.getReferenceClassName().getString()));
    show("reference value type", std::string(cimTypeToString(dependent.getValue().getType())));
    show("reference value text", text(dependent.getValue().toString()));
    show("instance path before setPath", text(association.getPath().toString()));

    CIMInstance alias = association;
    CIMInstance copy = association.clone();
    association.getProperty(0).setValue(CIMValue(devicePath("h", "n", "/dev/sdb")));
    show("copy shares data",
         text(alias.getProperty(0).getValue().toString()).find("sdb") != std::string::npos);
    show("clone is independent",
         text(copy.getProperty(0).getValue().toString()).find("sdb") == std::string::npos);

    Array<CIMInstance> instances;
    instances.append(copy);
    Array<CIMInstance> shared = instances;
    shared.append(association);
    show("array copy independent sizes",
         std::to_string(instances.size()) + " " + std::to_string(shared.size()));
}

void probeValues() {
    show("uint16 value", text(CIMValue(Uint16(1034)).toString()));
    show("string value", text(CIMValue(String("Device_Busy")).toString()));
    show("boolean value", text(CIMValue(true).toString()));
    show("interval 90s", text(CIMDateTime(Uint64(90000000), true).toString()));
    show("string array", text(CIMValue(Array<String>(2, String("a"))).toString()));
}

template <class E>
void probeException(const char* what, const E& e) {
    show(what, std::string(cimStatusCodeToString(e.getCode())) + " " + text(e.getMessage()));
}

void probeExceptions() {
    probeException("not supported", CIMNotSupportedException("VLK_DiagProvider::deleteInstance"));
    probeException("not found", CIMObjectNotFoundException("Invalid Reference"));
    probeException("failed", CIMException(CIM_ERR_FAILED, "VLK_DiagProvider log4cpp error: x"));
    probeException("no such property", CIMPropertyNotFoundException("Foo"));
    AssertionFailureException assertion("VLK_DiagProvider", 42,
                                        "instanceReference.getHost().size()>0");
    show("assertion", text(assertion.getMessage()));
    try {
        throw CIMObjectNotFoundException("Invalid Reference");
    } catch (const CIMException& e) {
        show("caught as CIMException", std::to_string(e.getCode()));
    }
}

}  // namespace

int main() {
    probeNames();
    probePaths();
    probeInstances();
    probeValues();
    probeExceptions();
    return 0;
}
