// Hand-built engine replies for the engine client tests: the envelope and
// the DEVICE, COMPONENT, TEST and PROPERTY elements of a
// LIST_DEVICES_AND_TESTS reply, as the engine writes them.
#pragma once

#include <string>

namespace velk::dlltest {

inline std::string Element(const std::string& name, const std::string& content) {
    return "<" + name + ">" + content + "</" + name + ">";
}

// A reply envelope around data.
inline std::string Reply(const std::string& data) {
    return "<MSG><HDR><FROM>100</FROM><TO>200</TO><ID>7</ID><RE>3</RE>"
           "<TYPE>TRANSACTION_RESPONSE</TYPE><TIME>20260101120000000</TIME></HDR>" +
           Element("DATA", data) + "</MSG>";
}

// The required elements of a device.
inline std::string DeviceHead(const std::string& name, const std::string& hwLocator,
                              const std::string& type = "HD",
                              const std::string& osLocator = "/dev/sda") {
    return Element("NAME", name) + Element("OSLOCATOR", osLocator) +
           Element("HWLOCATOR", hwLocator) + Element("DEVTYPE", type);
}

inline std::string Device(const std::string& content) {
    return Element("DEVICE", content);
}

inline std::string Component(const std::string& id, const std::string& did,
                             const std::string& tests) {
    return Element("COMPONENT", Element("ID", id) + Element("DID", did) + tests);
}

inline std::string TestElement(int id, const std::string& name, const std::string& extra = "") {
    return Element("TEST", Element("NAME", name) + Element("ID", std::to_string(id)) + extra);
}

inline std::string Property(const std::string& id, const std::string& extra = "") {
    return Element("PROPERTY", Element("ID", id) + Element("TYPE", "int32") + extra);
}

}  // namespace velk::dlltest
