// The registration MOF for an OpenPegasus server names the provider library
// and module the provider answers to, and registers exactly the classes the
// provider serves, each with the operations it answers.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "ClassSchema.h"

using velk::cimserver::ClassSchema;
using velk::cimserver::InstanceDecl;

namespace {

// The registration classes of an OpenPegasus interop namespace, reduced to
// the properties the registration sets.
const char* const kRegistrationClasses = R"(
class PG_ProviderModule { [Key] string Name; string Vendor; string Version;
    string InterfaceType; string InterfaceVersion; string Location; };
class PG_Provider { [Key] string ProviderModuleName; [Key] string Name; };
class PG_ProviderCapabilities { [Key] string ProviderModuleName; [Key] string ProviderName;
    [Key] string CapabilityID; string ClassName; string Namespaces[]; uint16 ProviderType[];
    string SupportedProperties[]; string SupportedMethods[]; };
#pragma include (")" VELK_SCHEMA_DIR R"(/VLK_DiagProviderRegistration.mof")
)";

std::map<std::string, std::string> valuesOf(const InstanceDecl& instance) {
    return {instance.values.begin(), instance.values.end()};
}

}  // namespace

TEST(ProviderRegistrationTest, RegistersEveryProviderClassOfTheSchema) {
    const ClassSchema schema = ClassSchema::load(VELK_SCHEMA_DIR "/VLK_Schema.mof");
    const ClassSchema registration = ClassSchema::parse(kRegistrationClasses, "registration");

    std::set<std::string> providerClasses;
    for (const auto& name : schema.classNames()) {
        const auto* decl = schema.find(name);
        if (name.rfind("VLK_", 0) == 0 && !decl->isAbstract() && name != "VLK_TestSoftware") {
            providerClasses.insert(name);
        }
    }
    std::set<std::string> registered;
    std::string moduleName;
    for (const auto& instance : registration.instances()) {
        auto values = valuesOf(instance);
        if (instance.className == "PG_ProviderModule") {
            moduleName = values["Name"];
            EXPECT_EQ(values["Location"], "VLK_DiagProvider");
            EXPECT_EQ(values["InterfaceType"], "C++Default");
        } else if (instance.className == "PG_Provider") {
            EXPECT_EQ(values["Name"], "VLK_DiagProvider");
        } else {
            EXPECT_EQ(values["ProviderName"], "VLK_DiagProvider");
            EXPECT_EQ(values["Namespaces"], "root/korva");
            EXPECT_EQ(values["ProviderType"], values["ClassName"] == "VLK_DiagTest" ? "2,5" : "2")
                << values["ClassName"];
            EXPECT_TRUE(registered.insert(values["ClassName"]).second) << values["ClassName"];
        }
        if (instance.className != "PG_ProviderModule") {
            EXPECT_EQ(values["ProviderModuleName"], moduleName) << instance.className;
        }
    }
    EXPECT_EQ(registered, providerClasses);
}
