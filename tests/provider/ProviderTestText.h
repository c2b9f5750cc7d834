// Small readers of CIM values for the provider tests.
#ifndef VELK_TESTS_PROVIDER_TEST_TEXT_H
#define VELK_TESTS_PROVIDER_TEST_TEXT_H

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/String.h>

inline std::string text(const Pegasus::String& s) {
    return std::string(s.getCString());
}

// The value of a property as text (arrays: elements each followed by a
// space), or "<missing NAME>".
inline std::string propertyText(const Pegasus::CIMInstance& instance, const char* name) {
    Pegasus::Uint32 at = instance.findProperty(Pegasus::CIMName(name));
    if (at == Pegasus::PEG_NOT_FOUND) {
        return "<missing " + std::string(name) + ">";
    }
    return text(instance.getProperty(at).getValue().toString());
}

// The value of a path's key, or "<missing NAME>".
inline std::string keyText(const Pegasus::CIMObjectPath& path, const char* name) {
    const Pegasus::Array<Pegasus::CIMKeyBinding> keys = path.getKeyBindings();
    for (Pegasus::Uint32 i = 0; i < keys.size(); i++) {
        if (keys[i].getName() == Pegasus::CIMName(name)) {
            return text(keys[i].getValue());
        }
    }
    return "<missing " + std::string(name) + ">";
}

// The properties of an instance in order, each as its name and propertyText.
inline std::vector<std::pair<std::string, std::string>> properties(
    const Pegasus::CIMInstance& instance) {
    std::vector<std::pair<std::string, std::string>> all;
    for (Pegasus::Uint32 i = 0; i < instance.getPropertyCount(); i++) {
        std::string name = text(instance.getProperty(i).getName().getString());
        all.emplace_back(name, propertyText(instance, name.c_str()));
    }
    return all;
}

// path with key name set to value.
inline Pegasus::CIMObjectPath withKey(Pegasus::CIMObjectPath path, const char* name,
                                      const char* value) {
    Pegasus::Array<Pegasus::CIMKeyBinding> keys = path.getKeyBindings();
    for (Pegasus::Uint32 i = 0; i < keys.size(); i++) {
        if (keys[i].getName() == Pegasus::CIMName(name)) {
            keys[i].setValue(value);
        }
    }
    path.setKeyBindings(keys);
    return path;
}

// The message of the E that call throws; a test failure when it throws none.
template <class E, class Call>
std::string thrownMessage(Call call) {
    try {
        call();
    } catch (const E& e) {
        return text(e.getMessage());
    }
    ADD_FAILURE() << "no exception";
    return "";
}

inline size_t occurrences(const std::string& haystack, const std::string& needle) {
    size_t count = 0;
    for (size_t at = haystack.find(needle); at != std::string::npos;
         at = haystack.find(needle, at + 1)) {
        count++;
    }
    return count;
}

#endif
