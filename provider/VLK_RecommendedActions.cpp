#include "VLK_RecommendedActions.h"

#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "VLK_Log.h"

PEGASUS_NAMESPACE_BEGIN

log4cpp::Category& VLK_RecommendedActions::log =
    log4cpp::Category::getInstance("VLK_RecommendedActions");

namespace {

const char* const ACTION_TEXTS[] = {
    "",
    /* 1 */
    "Verify that a standard data CD is inserted in the drive and perform action again. Audio CDs "
    "and DVDs are not valid media for this action.",
    /* 2 */
    "Verify that a standard data DVD is inserted in the drive and perform action again. CDs are "
    "not valid media for this action.",
    /* 3 */
    "Verify that a standard data DVD or data CD is inserted in the drive and perform action "
    "again.",
    /* 4 */
    "Verify that a standard Windows-format floppy disk is inserted in the drive and perform "
    "action again.",
    /* 5 */ "Verify that the inserted media contains some data and perform action again.",
    /* 6 */ "Perform scan media surface for defects action for this component.",
    /* 7 */
    "Verify that the internal drive cable is firmly connected to both the drive and the system "
    "board, and perform action again.",
    /* 8 */ "Replace internal drive cable and perform action again.",
    /* 9 */ "Replace drive and perform action again.",
    /* 10 */ "Verify that the inserted media is not write-protected and retry test.",
    /* 11 */ "Replace microprocessor and perform action again.",
    /* 12 */ "Verify that the microprocessor includes a Level 2 Cache.",
    /* 13 */ "Check system memory for defects. This action can fail due to faulty system memory.",
    /* 14 */ "Verify that the microprocessor includes MMX support.",
    /* 15 */ "Verify that hard drive BIOS settings are correct and perform action again.",
    /* 16 */ "Verify that the hard drive jumper settings are correct and perform action again.",
    /* 17 */ "Verify that the parallel port is enabled in BIOS and perform action again.",
    /* 18 */ "Verify that the serial port is enabled in BIOS and perform action again.",
    /* 19 */
    "Verify that the loopback adapter is firmly connected to the parallel port and perform "
    "action again. The loopback adapter is required by this action.",
    /* 20 */
    "Verify that the loopback adapter is firmly connected to the serial port and perform action "
    "again. The loopback adapter is required by this action.",
    /* 21 */
    "If port is not directly connected to system board, verify that the internal port cable is "
    "firmly connected to the system board and perform action again.",
    /* 22 */
    "If port is not directly connected to system board, replace port assembly and perform "
    "action again.",
    /* 23 */ "Replace system board and perform action again.",
    /* 24 */
    "Verify that a standard formatted floppy disk is inserted in the drive and perform action "
    "again.",
    /* 25 */
    "Another test is already running on this device. Wait until that test finishes and try the "
    "test again.",
};

struct TableRow {
    std::vector<const char*> keys;
    std::vector<int> actions;
};

// The table in its order: the keys of a row share its action list.
const TableRow ROWS[] = {
    {{"VeLkCdDrive_0", "VeLkCdDrive_1", "VeLkCdDrive_2", "VeLkCdDrive_3"}, {1, 5, 6, 7, 8, 9}},
    {{"VeLkDvdDrive_0", "VeLkDvdDrive_1", "VeLkDvdDrive_2", "VeLkDvdDrive_3"}, {2, 5, 6, 7, 8, 9}},
    {{"VeLkCdDvdDrive_0", "VeLkCdDvdDrive_1", "VeLkCdDvdDrive_2", "VeLkCdDvdDrive_3"},
     {3, 5, 6, 7, 8, 9}},
    {{"VELkCPU_0", "VELkCPU_1"}, {11}},
    {{"VELkCPU_2"}, {12, 13, 11}},
    {{"VELkCPU_3"}, {14, 11}},
    {{"VELkFloppy_0", "VELkFloppy_1", "VELkFloppy_2", "VELkFloppy_3"}, {4, 5, 6, 7, 8, 9}},
    {{"VELkFloppy_4"}, {4, 10, 6, 7, 8, 9}},
    {{"VeLkHardDrive_0", "VeLkHardDrive_1", "VeLkHardDrive_2", "VeLkHardDrive_3",
      "VeLkHardDrive_4"},
     {15, 16, 7, 8, 9}},
    {{"VELkParallelPort_0"}, {17, 22, 23}},
    {{"VELkParallelPort_1"}, {19, 17, 21, 22, 23}},
    {{"VELkSerialPort_0", "VELkSerialPort_1"}, {20, 18, 21, 22, 23}},
    {{"VELkSerialPort_2", "VELkSerialPort_3", "VELkSerialPort_4"}, {18, 21, 22, 23}},
    {{"VELkCdDrive_NoMedia", "VELkDvdDrive_NoMedia", "VELkCdDvdDrive_NoMedia"}, {1}},
    {{"VELkFloppy_NoMedia"}, {24}},
    {{"Device_Busy"}, {25}},
};

struct Table {
    std::once_flag built;
    // Keys lower-cased, as lookups compare them.
    std::vector<std::pair<std::string, std::vector<String>>> mapUniqueIdToAllActions;
};

Table& table() {
    static Table instance;
    return instance;
}

std::string lowered(const String& text) {
    String copy(text);
    copy.toLower();
    return std::string(static_cast<const char*>(copy.getCString()));
}

void build() {
    Table& t = table();
    for (const TableRow& row : ROWS) {
        std::vector<String> actions;
        for (int number : row.actions) {
            actions.push_back(String(ACTION_TEXTS[number]));
        }
        for (const char* key : row.keys) {
            t.mapUniqueIdToAllActions.emplace_back(lowered(String(key)), actions);
        }
    }
}

}  // namespace

void VLK_RecommendedActions::initialize() {
    // Built once even when several threads ask first together.
    std::call_once(table().built, build);
}

Array<String> VLK_RecommendedActions::getAllActions(String key) {
    initialize();
    std::string wanted = lowered(key);
    Array<String> actions;
    for (const auto& entry : table().mapUniqueIdToAllActions) {
        if (entry.first == wanted) {
            for (const String& action : entry.second) {
                actions.append(action);
            }
            return actions;
        }
    }
    VLK_LOG_ERROR(log,
                  "getAllActions() NOT FOUND. Need to add an action for a new module? " << key);
    actions.append(String());
    return actions;
}

PEGASUS_NAMESPACE_END
