// The class schema: the real MOF files load into the classes the server
// serves, and the reader resolves inheritance and rejects bad MOF with the
// file and line of the fault.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "ClassSchema.h"

using velk::cimserver::ClassSchema;
using velk::cimserver::MofError;
using Names = std::vector<std::string>;

namespace {

const ClassSchema& realSchema() {
    static const ClassSchema schema = ClassSchema::load(VELK_SCHEMA_DIR "/VLK_Schema.mof");
    return schema;
}

}  // namespace

TEST(RealSchemaTest, DeviceSuperclassReachesTheSixDeviceClasses) {
    const Names devices = {"VLK_DiskDrive", "VLK_OpticalDrive", "VLK_DisketteDrive",
                           "VLK_Processor", "VLK_SerialPort",   "VLK_ParallelPort"};
    EXPECT_EQ(realSchema().subclasses("vlk_device", true), devices);
    EXPECT_TRUE(realSchema().isA("VLK_SerialPort", "CIM_ManagedElement"));
    EXPECT_FALSE(realSchema().isA("VLK_DiagTest", "VLK_Device"));
}

TEST(RealSchemaTest, EveryServedClassHasTheKeysItsInstancesCarry) {
    const Names deviceKeys = {"SystemCreationClassName", "SystemName", "CreationClassName",
                              "DeviceID"};
    const std::vector<std::pair<std::string, Names>> cases = {
        // Name is inherited from CIM_ManagedSystemElement: overridden in place.
        {"CIM_UnitaryComputerSystem", {"Name", "CreationClassName"}},
        {"VLK_DiskDrive", deviceKeys},
        {"VLK_ParallelPort", deviceKeys},
        {"VLK_DiagTest", {"Name", "SystemCreationClassName", "SystemName", "CreationClassName"}},
        {"VLK_DiagResult",
         {"DiagnosticName", "DiagnosticCreationClassName", "ExecutionID", "DiagSystemName",
          "DiagSystemCreationClassName"}},
        {"VLK_TestSoftware",
         {"Name", "Version", "SoftwareElementState", "SoftwareElementID", "TargetOperatingSystem"}},
        {"VLK_DiagTestForMSE", {"Antecedent", "Dependent"}},
        {"VLK_DiagResultForMSE", {"Result", "SystemElement"}},
        {"VLK_DiagResultForTest", {"DiagnosticResult", "DiagnosticTest"}},
        {"VLK_DiagTestSoftwareAssoc", {"Antecedent", "Dependent"}}};
    for (const auto& [className, keys] : cases) {
        const auto* decl = realSchema().find(className);
        ASSERT_NE(decl, nullptr) << className;
        EXPECT_EQ(decl->keyNames(), keys) << className;
    }
}

TEST(RealSchemaTest, TestMethodsTakeTheDeviceAndNameTheResult) {
    const auto* test = realSchema().find("VLK_DiagTest");
    ASSERT_NE(test, nullptr);
    const auto* runTest = test->findMethod("runtest");
    ASSERT_NE(runTest, nullptr);
    ASSERT_EQ(runTest->parameters.size(), 4u);
    const auto& device = runTest->parameters[0];
    const auto& result = runTest->parameters[3];
    EXPECT_EQ(
        std::make_tuple(device.name, device.type, device.referenceClass, device.in, device.out),
        std::make_tuple(std::string("SystemElement"), std::string("reference"),
                        std::string("VLK_Device"), true, false));
    EXPECT_EQ(std::make_tuple(result.name, result.referenceClass, result.in, result.out),
              std::make_tuple(std::string("Result"), std::string("VLK_DiagResult"), false, true));
    const auto* stop = test->findMethod("DiscontinueTest");
    ASSERT_NE(stop, nullptr);
    EXPECT_EQ(stop->parameters.back().type, "boolean");
    for (const char* method : {"ClearResults", "StartService", "StopService"}) {
        EXPECT_NE(test->findMethod(method), nullptr) << method;
    }
    ASSERT_EQ(realSchema().instances().size(), 1u);
    EXPECT_EQ(realSchema().instances()[0].className, "VLK_TestSoftware");
}

TEST(MofReaderTest, OverridesReplaceInheritedMembersInPlace) {
    const ClassSchema schema = ClassSchema::parse(R"(
        [Association, Abstract] class Base {
            [Key] Base REF Left; [Key] Base REF Right; string Note = "a" "b\x41\n";
            sint8 Low = -128; uint16 Hex = 0xFFFF;
            uint32 Go([In] string A, [Out] uint16 B[], [In, Out] boolean C);
        };
        class Derived : Base {
            [Override ("Left")] Derived REF Left;
            [MaxLen (3), ValueMap {"1", "2"}] string Extra[];
        };
        class Other : Base {};
        class Leaf : Derived {};
        instance of Leaf { Left = "l"; Right = "r"; Extra = {"a,b", "c"}; Note = null; };)",
                                                  "inline.mof");
    EXPECT_EQ(schema.subclasses("BASE", true), (Names{"Derived", "Leaf", "Other"}));
    EXPECT_EQ(schema.subclasses("Base", false), (Names{"Derived", "Other"}));
    const auto* derived = schema.find("derived");
    ASSERT_NE(derived, nullptr);
    EXPECT_TRUE(derived->isAssociation());
    EXPECT_FALSE(derived->isAbstract());
    ASSERT_EQ(derived->properties.size(), 6u);
    const auto& left = derived->properties[0];
    EXPECT_EQ(
        std::make_tuple(left.name, left.referenceClass, left.isKey, left.classOrigin),
        std::make_tuple(std::string("Left"), std::string("Derived"), true, std::string("Derived")));
    EXPECT_EQ(derived->properties[2].defaultValue, "abA\n");
    EXPECT_EQ(derived->properties[2].classOrigin, "Base");
    EXPECT_TRUE(derived->properties[5].isArray);
    EXPECT_EQ(derived->properties[5].qualifiers[1].values, (Names{"1", "2"}));
    ASSERT_EQ(schema.instances().size(), 1u);
    const auto& leaf = schema.instances()[0];
    EXPECT_EQ(leaf.values.size(), 3u);
    ASSERT_EQ(leaf.arrayValues.size(), 1u);
    EXPECT_EQ(leaf.arrayValues[0].second, (Names{"a,b", "c"}));
    const auto* go = derived->findMethod("GO");
    ASSERT_NE(go, nullptr);
    ASSERT_EQ(go->parameters.size(), 3u);
    EXPECT_EQ((std::vector<bool>{go->parameters[0].in, go->parameters[0].out, go->parameters[1].in,
                                 go->parameters[1].out, go->parameters[1].isArray,
                                 go->parameters[2].in, go->parameters[2].out}),
              (std::vector<bool>{true, false, false, true, true, true, true}));
}

struct BrokenMof {
    const char* text;
    int line;
    const char* message;
};

class MofErrorTest : public ::testing::TestWithParam<BrokenMof> {};

TEST_P(MofErrorTest, NamesFileAndLine) {
    try {
        ClassSchema::parse(GetParam().text, "broken.mof");
        FAIL() << "accepted: " << GetParam().text;
    } catch (const MofError& e) {
        EXPECT_EQ(e.file, "broken.mof");
        EXPECT_EQ(e.line, GetParam().line) << e.what();
        EXPECT_NE(std::string(e.what()).find(GetParam().message), std::string::npos) << e.what();
        EXPECT_EQ(std::string(e.what()).rfind("broken.mof:" + std::to_string(e.line) + ": ", 0),
                  0u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, MofErrorTest,
    ::testing::Values(
        BrokenMof{"class A {\n string B\n};", 3, "expected ';'"},
        BrokenMof{"class A : Missing {\n};", 1, "superclass Missing is not declared"},
        BrokenMof{"class A {};\n\nclass a {};", 3, "declared twice"},
        BrokenMof{"class A {\n  strin B;\n};", 2, "unknown type 'strin'"},
        BrokenMof{"class A {\n uint8 B = -1;\n};", 2, "does not fit type uint8"},
        BrokenMof{"class A {\n string B = {\"x\"};\n};", 2, "is not an array"},
        BrokenMof{"class A {\n sint8 B = 128;\n};", 2, "does not fit type sint8"},
        BrokenMof{"class A {\n uint64 B = 18446744073709551616;\n};", 2, "does not fit"},
        BrokenMof{"class A {\n uint32 B = 1.5;\n};", 2, "does not fit type uint32"},
        BrokenMof{"class A {\n uint32 B = 12ab;\n};", 2, "malformed number '12ab'"},
        BrokenMof{"/* never\n closed", 1, "unterminated comment"},
        BrokenMof{"class A {\n string B = \"open\n\";};", 2, "unterminated string"},
        BrokenMof{"class A {\n string B = \"\\q\";};", 2, "unknown escape"},
        BrokenMof{"class A {\n string B = \"\\x0\";};", 2, "NUL"},
        BrokenMof{"class A { [Key] string K; string P; };\ninstance of A {\n P = \"v\"; };", 2,
                  "lacks its key property K"},
        BrokenMof{"class A { string P; };\ninstance of A {\n Q = 1; };", 3, "no property 'Q'"},
        BrokenMof{"class A {\n Nowhere REF R; };", 1, "references unknown class Nowhere"},
        BrokenMof{"class A { string P; };\nclass B : A {\n uint32 P; };", 2,
                  "changes the type it inherits"},
        BrokenMof{"\n#pragma include (\"no-such-file.mof\")", 2, "not a readable file"},
        BrokenMof{"\n\n#pragma frobnicate (\"x\")", 3, "unknown pragma"},
        BrokenMof{"class A { string P; \x01 };", 1, "unexpected character"},
        BrokenMof{"[Key, Key] class A {};", 1, "given twice"}));

TEST(MofReaderTest, IncludeCycleIsRefused) {
    char dir[] = "/tmp/velk-mof-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string a = std::string(dir) + "/a.mof";
    const std::string b = std::string(dir) + "/b.mof";
    std::ofstream(a) << "class A {};\n#pragma include (\"b.mof\")\n";
    std::ofstream(b) << "\n#pragma include (\"a.mof\")\n";
    try {
        ClassSchema::load(a);
        ADD_FAILURE() << "include cycle accepted";
    } catch (const MofError& e) {
        EXPECT_EQ(e.file, b);
        EXPECT_EQ(e.line, 2);
        EXPECT_NE(std::string(e.what()).find("includes itself"), std::string::npos) << e.what();
    }
    std::remove(a.c_str());
    std::remove(b.c_str());
    rmdir(dir);
}
