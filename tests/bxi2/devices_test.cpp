// Device records: creators and their locators, naming, the enumeration and
// system-information replies and the device list read back from the
// engine.
#include <gtest/gtest.h>

#include <string>

#include "bxi2-internal.h"

namespace {

// Every test starts and ends with no records.
class Devices : public ::testing::Test {
  protected:
    void SetUp() override {
        Bxi2_KillDeviceList();
        Bxi2_I_ResetUsbCounter();
    }
    void TearDown() override { Bxi2_KillDeviceList(); }

    static std::string EnumData() {
        CGenStr data;
        EXPECT_EQ(CGenStrInit(&data), 1u);
        EXPECT_EQ(Bxi2_I_BuildEnumData(&data), BXI2_OK);
        std::string text = CGenStrC_Str(&data);
        CGenStrDelete(&data);
        return text;
    }
};

std::string Locator(const Bxi2_Device* device) {
    return device != nullptr ? Bxi2_GetDeviceHwLocator(device) : "(none)";
}

TEST_F(Devices, UsbCounterNumbersDevicesInCreationOrder) {
    Bxi2_Device* first = nullptr;
    Bxi2_Device* second = nullptr;
    ASSERT_EQ(Bxi2_CreateDeviceUSB("HD", 1, "n", "os", "d", 5, &first), BXI2_OK);
    ASSERT_EQ(Bxi2_CreateDeviceUSB("HD", 2, "n", "os", "d", 5, &second), BXI2_OK);
    EXPECT_EQ(Locator(first), "USB:1:5");
    EXPECT_EQ(Locator(second), "USB:2:5");
    EXPECT_STREQ(Bxi2_GetDeviceBusType(first), "USB_BUS");
}

TEST_F(Devices, PortLocatorsAndTheirTypes) {
    Bxi2_Device* com = nullptr;
    ASSERT_EQ(Bxi2_CreateDevicePort("COM", 1, "n", "os", "d", 1, 0x3f8, &com), BXI2_OK);
    EXPECT_EQ(Locator(com), "COM:1:03f8");
    EXPECT_STREQ(Bxi2_GetDeviceBusType(com), "SYSTEM_BUS");
    Bxi2_Device* unchanged = com;
    EXPECT_EQ(Bxi2_CreateDevicePort("USB", 2, "n", "os", "d", 1, 0x3f8, &unchanged),
              BXI2_E_BAD_ARGUMENT);
    EXPECT_EQ(unchanged, com);
    Bxi2_Device* serial = nullptr;
    ASSERT_EQ(Bxi2_CreateDeviceCOM("COM", 3, "n", "os", "d", 2, 0x2f8, &serial), BXI2_OK);
    EXPECT_EQ(Locator(serial), "COM:2:02f8");
    EXPECT_STREQ(Bxi2_GetDeviceBusType(serial), "COM_BUS");
    EXPECT_EQ(Bxi2_I_UnregisteredCount(), 2u);
}

TEST_F(Devices, TypeCheckedCreators) {
    Bxi2_Device* d = nullptr;
    ASSERT_EQ(Bxi2_CreateDevicePS2("KBD", 1, "n", "os", "d", &d), BXI2_OK);
    EXPECT_EQ(Locator(d), "PS2KB");
    EXPECT_STREQ(Bxi2_GetDeviceBusType(d), "PS2_BUS");
    ASSERT_EQ(Bxi2_CreateDevicePS2("MOUSE", 2, "n", "os", "d", &d), BXI2_OK);
    EXPECT_EQ(Locator(d), "PS2MOUSE");
    EXPECT_EQ(Bxi2_CreateDevicePS2("CPU", 3, "n", "os", "d", &d), BXI2_E_BAD_ARGUMENT);

    ASSERT_EQ(Bxi2_CreateDeviceSys("SYSTEMBOARD", 4, "n", "os", "d", &d), BXI2_OK);
    EXPECT_EQ(Locator(d), "SYSTEMBOARD");
    ASSERT_EQ(Bxi2_CreateDeviceSys("MOUSE", 5, "n", "os", "d", &d), BXI2_OK);
    EXPECT_EQ(Locator(d), "MOUSE:" + std::to_string(BXI2_SYS_MOUSE_NUMBER));
    EXPECT_EQ(Bxi2_CreateDeviceSys("HD", 6, "n", "os", "d", &d), BXI2_E_BAD_ARGUMENT);

    ASSERT_EQ(Bxi2_CreateDeviceMM("GAMEINPUT", 7, "n", "os", "d", 2, &d), BXI2_OK);
    EXPECT_EQ(Locator(d), "JOY:2");
    ASSERT_EQ(Bxi2_CreateDeviceMM("WAV", 8, "n", "os", "d", 2, &d), BXI2_OK);
    EXPECT_EQ(Locator(d), "DSP");
    EXPECT_EQ(Bxi2_CreateDeviceMM("RADIO", 9, "n", "os", "d", 2, &d), BXI2_E_BAD_ARGUMENT);

    ASSERT_EQ(Bxi2_CreateDeviceBus("PCMCIA", 10, "n", "os", "d", 4, &d), BXI2_OK);
    EXPECT_EQ(Locator(d), "PCMCIA:4");
    EXPECT_EQ(Bxi2_CreateDeviceBus("ISA", 11, "n", "os", "d", 4, &d), BXI2_E_BAD_ARGUMENT);
    EXPECT_EQ(Bxi2_CreateDeviceModem("MODEM", 12, "n", "os", "d", 0, &d), BXI2_E_BAD_ARGUMENT);
    EXPECT_EQ(Bxi2_CreateDeviceCPU(nullptr, 13, "n", "os", "d", 0, &d), BXI2_E_BAD_ARGUMENT);
}

TEST_F(Devices, NumberedLocators) {
    Bxi2_Device* d = nullptr;
    ASSERT_EQ(Bxi2_CreateDeviceSCSI("HD", 1, "n", "os", "d", 0, 1, 2, 3, &d), BXI2_OK);
    EXPECT_EQ(Locator(d), "SCSI:0:1:2:3");
    EXPECT_STREQ(Bxi2_GetDeviceBusType(d), "SCSI_BUS");
    ASSERT_EQ(Bxi2_CreateDeviceIDE("HD", 2, "n", "os", "d", 1, 0, &d), BXI2_OK);
    EXPECT_EQ(Locator(d), "IDE:1:0");
    ASSERT_EQ(Bxi2_CreateDeviceNet("NET", 3, "n", "os", "d", 0, 0x1b, 0x21, 0xab, 0xcd, 0x1ef, &d),
              BXI2_OK);
    EXPECT_EQ(Locator(d), "NET:00:1B:21:AB:CD:EF");
    ASSERT_EQ(Bxi2_CreateDeviceAGP("VIDEOCONTROLLER", 4, "n", "os", "d", 1, 0, 0, &d), BXI2_OK);
    EXPECT_EQ(Locator(d), "AGP:1:0:0");
    EXPECT_STREQ(Bxi2_GetDeviceBusType(d), "AGP_BUS");
    ASSERT_EQ(Bxi2_CreateDeviceGenericEx("OTHER", 5, "n", "desc", "os", "X:9", "OWN_BUS", &d),
              BXI2_OK);
    EXPECT_EQ(Locator(d), "X:9");
    EXPECT_STREQ(Bxi2_GetDeviceDescription(d), "desc");
    EXPECT_STREQ(Bxi2_GetDeviceOsLocator(d), "os");
    EXPECT_STREQ(Bxi2_GetDeviceTestsSupported(d), "*");
}

TEST_F(Devices, NullRecordsAreRefused) {
    EXPECT_EQ(Bxi2_GetDeviceId(nullptr), -1);
    EXPECT_EQ(Bxi2_GetDeviceName(nullptr), nullptr);
    EXPECT_EQ(Bxi2_AddDevice(nullptr), BXI2_E_BAD_ARGUMENT);
    EXPECT_EQ(Bxi2_AddFruToDevice(nullptr, "", "", "", "", "", ""), BXI2_E_BAD_ARGUMENT);
    EXPECT_EQ(Bxi2_AddSysInfoToDevice(nullptr, "k", "v", "d"), BXI2_E_BAD_ARGUMENT);
    EXPECT_EQ(Bxi2_AddTestsToDevice(nullptr, "0"), BXI2_E_BAD_ARGUMENT);
    EXPECT_EQ(Bxi2_I_GenerateDeviceName(nullptr), BXI2_E_BAD_ARGUMENT);
}

// The name Bxi2_I_GenerateDeviceName gives a record of type with id 7.
std::string GeneratedName(const char* type, const char* osLocator = "/dev/ttyS3") {
    Bxi2_Device* d = nullptr;
    EXPECT_EQ(Bxi2_CreateDeviceGenericEx(type, 7, "original", "", osLocator, "LOC:1", "BUS", &d),
              BXI2_OK);
    EXPECT_EQ(Bxi2_I_GenerateDeviceName(d), BXI2_OK);
    return Bxi2_GetDeviceName(d);
}

TEST_F(Devices, NamesFromTheTypeCode) {
    EXPECT_EQ(GeneratedName("HD"), "Hard Drive LOC:1");
    EXPECT_EQ(GeneratedName("SCSI"), "SCSILOC:1");
    EXPECT_EQ(GeneratedName("CPU"), "CPU 7");
    EXPECT_EQ(GeneratedName("IR"), "Infared Port 7");
    EXPECT_EQ(GeneratedName("USB CONT"), "USB Controller 7");
    EXPECT_EQ(GeneratedName("MEMORY"), "RAM");
    EXPECT_EQ(GeneratedName("SYSTEM"), "System ");
    EXPECT_EQ(GeneratedName("MODEM"), "Modem Serial:3");
    EXPECT_EQ(GeneratedName("MODEM", "/dev/modem"), "Modem Serial:");
    EXPECT_EQ(GeneratedName("OTHER"), "original");
    EXPECT_EQ(GeneratedName("hd"), "Unknown 7");
}

TEST_F(Devices, RecordsNeverAddedAreNotSentAndAreDestroyed) {
    Bxi2_Device* kept = nullptr;
    Bxi2_Device* dropped = nullptr;
    ASSERT_EQ(Bxi2_CreateDeviceCPU("CPU", 1, "n", "os", "d", 0, &kept), BXI2_OK);
    ASSERT_EQ(Bxi2_CreateDeviceCPU("CPU", 2, "n", "os", "d", 1, &dropped), BXI2_OK);
    ASSERT_EQ(Bxi2_AddDevice(kept), BXI2_OK);
    ASSERT_EQ(Bxi2_AddDevice(kept), BXI2_OK);
    EXPECT_EQ(Bxi2_I_UnregisteredCount(), 1u);
    std::string data = EnumData();
    EXPECT_NE(data.find("<HWLOCATOR>CPU:0</HWLOCATOR>"), std::string::npos);
    EXPECT_EQ(data.find("CPU:1"), std::string::npos);
    // Registered twice, sent once.
    EXPECT_EQ(data.find("<DEVICE>"), data.rfind("<DEVICE>"));
    Bxi2_KillDeviceList();
    EXPECT_EQ(Bxi2_I_UnregisteredCount(), 0u);
    EXPECT_EQ(EnumData(), "<DATA></DATA>");
}

TEST_F(Devices, EnumerationReplyWithFruAndAdditionalInfo) {
    Bxi2_Device* d = nullptr;
    ASSERT_EQ(Bxi2_CreateDeviceIDE("HD", 1, "n", "/dev/sda", "d", 0, 0, &d), BXI2_OK);
    ASSERT_EQ(Bxi2_AddFruToDevice(d, "Velkor", "VT-1", "SN1", "1.0", "2024", "IDE:0:0"), BXI2_OK);
    ASSERT_EQ(Bxi2_AddFruAdditionalInfoToDevice(d, "CACHE", "Cache size", "8 MB"), BXI2_OK);
    ASSERT_EQ(Bxi2_AddFruAdditionalInfoToDevice(d, "RPM", "Rotation", "7200"), BXI2_OK);
    ASSERT_EQ(Bxi2_AddTestsToDevice(d, "0,1"), BXI2_OK);
    ASSERT_EQ(Bxi2_AddDevice(d), BXI2_OK);
    EXPECT_EQ(EnumData(),
              "<DATA><DEVICE><DID>1</DID><NAME>n</NAME><DESCRIPTION>d</DESCRIPTION><OSLOCATOR>/"
              "dev/sda</OSLOCATOR><HWLOCATOR>IDE:0:0</HWLOCATOR><DEVTYPE>HD</"
              "DEVTYPE><BUSTYPE>IDE_BUS</BUSTYPE><FRU_MANUFACTURER>Velkor</"
              "FRU_MANUFACTURER><FRU_MODELNUMBER>VT-1</FRU_MODELNUMBER><FRU_SERIALNUMBER>SN1</"
              "FRU_SERIALNUMBER><FRU_FIRMWAREREV>1.0</FRU_FIRMWAREREV><FRU_FIRMWAREDATE>2024</"
              "FRU_FIRMWAREDATE><FRU_PHYSADDRESS>IDE:0:0</"
              "FRU_PHYSADDRESS><FRU_ADDINFO_FIELD>CACHE</FRU_ADDINFO_FIELD><FRU_ADDINFO_DESC>Cache "
              "size</FRU_ADDINFO_DESC><FRU_ADDINFO_VALUE>8 MB</"
              "FRU_ADDINFO_VALUE><FRU_ADDINFO_FIELD>RPM</FRU_ADDINFO_FIELD><FRU_ADDINFO_DESC>"
              "Rotation</FRU_ADDINFO_DESC><FRU_ADDINFO_VALUE>7200</FRU_ADDINFO_VALUE><TESTS_"
              "SUPPORTED>0,1</TESTS_SUPPORTED></DEVICE></DATA>");
}

TEST_F(Devices, AdditionalInfoAloneCreatesEmptyFruData) {
    Bxi2_Device* d = nullptr;
    ASSERT_EQ(Bxi2_CreateDeviceCPU("CPU", 1, "n", "os", "d", 0, &d), BXI2_OK);
    ASSERT_EQ(Bxi2_AddFruAdditionalInfoToDevice(d, "F", "D", "V"), BXI2_OK);
    Bxi2_Fru* fru = Bxi2_GetDeviceFruInfo(d);
    ASSERT_NE(fru, nullptr);
    EXPECT_STREQ(Bxi2_GetFruManufacturer(fru), "");
    Bxi2_FruAdditionalInfo* info = Bxi2_GetFirstFruAdditionalInfo(fru);
    ASSERT_NE(info, nullptr);
    EXPECT_STREQ(Bxi2_GetFruAdditionalInfoValue(info), "V");
    EXPECT_EQ(Bxi2_GetNextFruAdditionalInfo(fru), nullptr);
}

TEST_F(Devices, SystemInformationGroupsEntriesOfOneKey) {
    Bxi2_Device* d = nullptr;
    Bxi2_Device* other = nullptr;
    ASSERT_EQ(Bxi2_CreateDeviceCPU("CPU", 2, "n", "os", "d", 0, &d), BXI2_OK);
    ASSERT_EQ(Bxi2_CreateDeviceCPU("CPU", 3, "n", "os", "d", 1, &other), BXI2_OK);
    Bxi2_AddSysInfoToDevice(d, "FEATURE", "a", "Feature");
    Bxi2_AddSysInfoToDevice(d, "VENDOR", "V", "Vendor");
    Bxi2_AddSysInfoToDevice(d, "FEATURE", "b", "Feature");
    Bxi2_AddSysInfoToDevice(d, "FEATURE", "c", "Feature");
    ASSERT_EQ(Bxi2_AddDevice(d), BXI2_OK);
    ASSERT_EQ(Bxi2_AddDevice(other), BXI2_OK);
    CGenStr data;
    ASSERT_EQ(CGenStrInit(&data), 1u);
    ASSERT_EQ(Bxi2_I_BuildSysInfoData("velktest", "DIAGENGINE", "CPU:0", &data), BXI2_OK);
    EXPECT_STREQ(
        CGenStrC_Str(&data),
        "<DATA><DEVICE><TO>DIAGENGINE</TO><MODULE_NAME>velktest</MODULE_NAME><DID>2</"
        "DID><NAME>n</NAME><DESCRIPTION>d</DESCRIPTION><OSLOCATOR>os</OSLOCATOR><HWLOCATOR>CPU:0</"
        "HWLOCATOR><DEVTYPE>CPU</DEVTYPE><BUSTYPE>SYSTEM_BUS</"
        "BUSTYPE><SYSINFO><SYSINFO_DESCRIPTION>Feature</SYSINFO_DESCRIPTION><SYSINFO_KEY>FEATURE</"
        "SYSINFO_KEY><SYSINFO_VALUE>a</SYSINFO_VALUE><SYSINFO_VALUE>b</"
        "SYSINFO_VALUE><SYSINFO_VALUE>c</SYSINFO_VALUE></SYSINFO><SYSINFO><SYSINFO_DESCRIPTION>"
        "Vendor</SYSINFO_DESCRIPTION><SYSINFO_KEY>VENDOR</SYSINFO_KEY><SYSINFO_VALUE>V</"
        "SYSINFO_VALUE></SYSINFO></DEVICE></DATA>");
    CGenStrDelete(&data);
}

TEST(DeviceListFromEngine, ComponentsAreParsedIntoRecords) {
    const char* component =
        "<DEVICE><DID>4</DID><NAME>n4</NAME><DESCRIPTION>d4</DESCRIPTION><OSLOCATOR>/dev/ttyS0</"
        "OSLOCATOR><HWLOCATOR>COM:1:03f8</HWLOCATOR><DEVTYPE>COM</DEVTYPE><BUSTYPE>COM_BUS</"
        "BUSTYPE><FRU_MANUFACTURER>M</FRU_MANUFACTURER><FRU_ADDINFO_FIELD>F1</"
        "FRU_ADDINFO_FIELD><FRU_ADDINFO_DESC>D1</FRU_ADDINFO_DESC><FRU_ADDINFO_VALUE>V1</"
        "FRU_ADDINFO_VALUE><FRU_ADDINFO_FIELD>F2</FRU_ADDINFO_FIELD><FRU_ADDINFO_DESC>D2</"
        "FRU_ADDINFO_DESC><FRU_ADDINFO_VALUE>V2</FRU_ADDINFO_VALUE><TESTS_SUPPORTED>0</"
        "TESTS_SUPPORTED></DEVICE><DEVICE><NAME>no id</NAME></DEVICE>";
    CGenList list;
    CGenListConstruct(&list, 1, Bxi2_I_DestroyDeviceRecord);
    EXPECT_EQ(VelkParseModuleDeviceList(component, &list), 1);
    // The fields of a device directly inside COMPONENT.
    EXPECT_EQ(VelkParseModuleDeviceList("<DID>9</DID><HWLOCATOR>CPU:1</HWLOCATOR>", &list), 1);
    ASSERT_EQ(CGenListGetCount(&list), 2u);
    CGenListIter it;
    CGenListIterInit(&it, &list);
    auto* com = static_cast<Bxi2_Device*>(CGenListIterGetData(&it));
    EXPECT_EQ(Bxi2_GetDeviceId(com), 4);
    EXPECT_STREQ(Bxi2_GetDeviceHwLocator(com), "COM:1:03f8");
    EXPECT_STREQ(Bxi2_GetDeviceTestsSupported(com), "0");
    Bxi2_Fru* fru = Bxi2_GetDeviceFruInfo(com);
    EXPECT_STREQ(Bxi2_GetFruManufacturer(fru), "M");
    Bxi2_GetFirstFruAdditionalInfo(fru);
    Bxi2_FruAdditionalInfo* second = Bxi2_GetNextFruAdditionalInfo(fru);
    ASSERT_NE(second, nullptr);
    EXPECT_STREQ(Bxi2_GetFruAdditionalInfoDescription(second), "D2");
    CGenListIterAdv(&it);
    auto* cpu = static_cast<Bxi2_Device*>(CGenListIterGetData(&it));
    EXPECT_EQ(Bxi2_GetDeviceId(cpu), 9);
    EXPECT_STREQ(Bxi2_GetDeviceTestsSupported(cpu), "*");
    EXPECT_EQ(Bxi2_GetDeviceFruInfo(cpu), nullptr);
    CGenListDestruct(&list);
}

TEST(DeviceListFromEngine, EnumerateModeIteratesTheModulesOwnRecords) {
    Bxi2_I_ResetModuleState();
    g_Bxi2.mode = BXI2_MODE_ENUMERATE;
    Bxi2_Device* a = nullptr;
    Bxi2_Device* b = nullptr;
    ASSERT_EQ(Bxi2_CreateDeviceCPU("CPU", 1, "n", "os", "d", 0, &a), BXI2_OK);
    ASSERT_EQ(Bxi2_CreateDeviceCPU("CPU", 2, "n", "os", "d", 1, &b), BXI2_OK);
    Bxi2_AddDevice(a);
    Bxi2_AddDevice(b);
    EXPECT_EQ(Bxi2_GetFirstDevice(0), a);
    EXPECT_EQ(Bxi2_GetNextDevice(), b);
    EXPECT_EQ(Bxi2_GetNextDevice(), nullptr);
    EXPECT_EQ(Bxi2_I_FindDeviceById(2), b);
    Bxi2_KillDeviceList();
    EXPECT_EQ(Bxi2_GetNextDevice(), nullptr);
    Bxi2_I_ResetModuleState();
}

TEST(WholeMachineLists, FailWithoutArgumentsOrEngine) {
    EXPECT_EQ(Bxi2_I_GetXMLDeviceList(nullptr), 1);
    EXPECT_EQ(Bxi2_I_GetAllDevicesList(nullptr), 1);
    CGenStr reply;
    ASSERT_EQ(CGenStrInit(&reply), 1u);
    // No connection: the request cannot be sent, so no reply comes.
    EXPECT_EQ(Bxi2_I_GetXMLDeviceList(&reply), 4);
    EXPECT_EQ(Bxi2_I_GetSysInfo(&reply), 4);
    CGenList list;
    CGenListConstruct(&list, 1, Bxi2_I_DestroyDeviceRecord);
    EXPECT_EQ(Bxi2_I_GetAllDevicesList(&list), 4);
    EXPECT_EQ(CGenListGetCount(&list), 0u);
    CGenStrDelete(&reply);
}

}  // namespace
