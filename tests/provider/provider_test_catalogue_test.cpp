// The VLK_DiagTest catalogue built from the real engine's device and test
// lists, through the provider loaded with dlopen.
#include <string>
#include <utility>
#include <vector>

#include <Pegasus/Provider/ProviderException.h>

#include "CollectingHandlers.h"
#include "ProviderFixture.h"
#include "ProviderTestText.h"

using namespace Pegasus;
using velk::cimserver::CollectingInstanceHandler;
using velk::cimserver::CollectingPathHandler;

class TestCatalogueTest : public ProviderFixture {
  protected:
    void SetUp() override {
        ProviderFixture::SetUp();
        startEngineBackedProvider();
        instances->enumerateInstanceNames(OperationContext(), classPath("VLK_DiagTest"), names);
    }
    CollectingPathHandler names;
};

// Seven devices of the test module run its two tests: two instances.
TEST_F(TestCatalogueTest, EachModuleTestIsOneInstanceGettableByItsKeys) {
    const std::vector<std::pair<std::string, std::string>> tests = {
        {"VeLkTest:0:Quick test", "Ends at once with the result that MODE chooses"},
        {"VeLkTest:1:Timed test", "Runs for SECONDS seconds per pass and reports its progress"}};
    ASSERT_EQ(names.paths().size(), tests.size());
    for (Uint32 t = 0; t < tests.size(); t++) {
        const CIMObjectPath& path = names.paths()[t];
        EXPECT_EQ(path.getKeyBindings().size(), 4u);
        EXPECT_EQ(keyText(path, "Name"), tests[t].first);
        EXPECT_EQ(keyText(path, "CreationClassName"), "VLK_DiagTest");
        EXPECT_EQ(keyText(path, "SystemName"), "testsystem");
        EXPECT_EQ(keyText(path, "SystemCreationClassName"), "CIM_UnitaryComputerSystem");
        CollectingInstanceHandler got(true);
        instances->getInstance(OperationContext(), path, false, false, CIMPropertyList(), got);
        ASSERT_EQ(got.instances().size(), 1u);
        const std::vector<std::pair<const char*, std::string>> expected = {
            {"Name", tests[t].first},
            {"SystemName", "testsystem"},
            {"SystemCreationClassName", "CIM_UnitaryComputerSystem"},
            {"CreationClassName", "VLK_DiagTest"},
            {"Description", tests[t].second},
            {"Caption", tests[t].second},
            {"Status", "Unknown"},
            {"StartMode", "Manual"},
            {"OtherCharacteristicDescription", ""},
            {"Characteristics", "2 7 "},
            {"ResourcesUsed", "0 1 "},
            {"IsInUse", "FALSE"},
            {"Started", "FALSE"}};
        const CIMInstance& instance = got.instances()[0];
        ASSERT_EQ(instance.getPropertyCount(), expected.size());
        for (Uint32 i = 0; i < expected.size(); i++) {
            EXPECT_EQ(text(instance.getProperty(i).getName().getString()), expected[i].first);
            EXPECT_EQ(propertyText(instance, expected[i].first), expected[i].second);
        }
    }
}

TEST_F(TestCatalogueTest, PathOfAnotherSystemNamesNoTest) {
    ASSERT_GT(names.paths().size(), 0u);
    CIMObjectPath elsewhere = names.paths()[0];
    Array<CIMKeyBinding> keys = elsewhere.getKeyBindings();
    for (Uint32 i = 0; i < keys.size(); i++) {
        if (keys[i].getName() == CIMName("SystemName")) {
            keys[i].setValue("othersystem");
        }
    }
    elsewhere.setKeyBindings(keys);
    CollectingInstanceHandler got(true);
    EXPECT_THROW(
        instances->getInstance(OperationContext(), elsewhere, false, false, CIMPropertyList(), got),
        CIMObjectNotFoundException);
}
