// Device and test instances need the host's one CIM_UnitaryComputerSystem:
// none or two fail the request (and start no engine); a later request asks
// the host again.
#include <string>

#include <Pegasus/Common/Exception.h>

#include "CollectingHandlers.h"
#include "ProviderFixture.h"
#include "ProviderTestText.h"

using namespace Pegasus;
using velk::cimserver::CollectingPathHandler;

class ComputerSystemTest : public ProviderFixture {
  protected:
    void SetUp() override {
        ProviderFixture::SetUp();
        installEngine();
        writeLogConfiguration();
        createAndInitialize();
    }

    std::string failureOf(const char* className) {
        CollectingPathHandler names;
        try {
            instances->enumerateInstanceNames(OperationContext(), classPath(className), names);
        } catch (const Exception& e) {
            return text(e.getMessage());
        }
        return "";
    }
};

TEST_F(ComputerSystemTest, NoComputerSystemFailsUntilTheHostHasOne) {
    const std::string missing =
        "VLK_ComputerSystem::mGetCIMInstance(...): couldn't find an instance of "
        "CIM_UnitaryComputerSystem";
    EXPECT_EQ(failureOf("VLK_Processor"), missing);
    EXPECT_EQ(failureOf("VLK_DiagTest"), missing);
    EXPECT_EQ(logText().find("creating new CTestEnvironment"), std::string::npos);

    addComputerSystem();
    EXPECT_EQ(failureOf("VLK_Processor"), "");
}

TEST_F(ComputerSystemTest, TwoComputerSystemsFailEveryDeviceAndTestRequest) {
    addComputerSystem("first");
    addComputerSystem("second");
    const std::string twice =
        "VLK_ComputerSystem::mGetCIMInstance(...): more than one instance of "
        "CIM_UnitaryComputerSystem";
    EXPECT_EQ(failureOf("VLK_DiskDrive"), twice);
    EXPECT_EQ(failureOf("VLK_DiagTest"), twice);
}
