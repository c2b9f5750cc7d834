/* Inside the module interface: the module state, the records' layout and
 * the pure builders and parsers behind the messages (tested without an
 * engine).  Not for modules. */
#ifndef BXI2_INTERNAL_H
#define BXI2_INTERNAL_H

#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>

#include "bxi2.h"

VELK_BEGIN_DECLS

/* ---- Module state (one per module process) ---- */

#define BXI2_NO_TIMEOUT (-2)

typedef struct Bxi2_ModuleState {
    Bxi2_Registration* registration;
    int mode;
    char reference[BXI2_REFERENCE_SIZE];
    char defFile[BXI2_DEFFILE_SIZE];
    int device;
    int test;
    float percentage;
    int errorLimit;
    char processId[BXI2_PROCESS_ID_SIZE];
    char serverFifo[BXI2_SFIFO_SIZE];
    int stopRequested;
    int receivedTimeout;        /* BXI2_NO_TIMEOUT while none is pending */
    int lastPercentSent;        /* -1 before the first */
    uint32_t lastTimedProgress; /* ms of the day of the last timed progress send */
    int timedProgressSent;      /* a timed progress was sent before */
    int versionMajor;
    int versionMinor;
    int versionBuild;
} Bxi2_ModuleState;

extern Bxi2_ModuleState g_Bxi2;

/* Back to the state of a freshly started module process (tests). */
void Bxi2_I_ResetModuleState(void);

/* The callback of slot (1 to 12) of the registered structure, or NULL. */
Bxi2_GenericCallback Bxi2_I_GetCallback(int slot);

/* ---- Mode functions ---- */

int Bxi2_PerformEnumerate(const char* reference);
int Bxi2_PerformRunDiag(const char* reference, int device, int test, int argc, char** argv);
int Bxi2_PerformSysInfo(int argc, char** argv);
int Bxi2_PerformParamValidate(const char* reference, int test, int device, int argc, char** argv);

/* ---- Module name ---- */

/* The module name told by a command line (its first argument, up to the
 * first NUL): the file name before ".linux" followed by ".vkm".  1 and the
 * name in out, or 0 when there is no ".linux" or the name does not fit. */
int Bxi2_I_ModuleNameFromCommandLine(const char* commandLine, char* out, size_t size);
/* name up to its first '.', optionally upper-cased, bounded by size. */
void Bxi2_I_CutAtFirstDot(const char* name, int upperCase, char* out, size_t size);
/* The module name, else the file name of the definitions file, else "". */
const char* Bxi2_I_OwnModuleName(void);
/* The module's short name (module name cut at its first '.'), falling back to
 * the base name of argv0 when the module name cannot be told. */
void Bxi2_I_ShortModuleName(const char* argv0, char* out, size_t size);

/* ---- Notifications and events ---- */

#define BXI2_NOTIFY_HEADER_SIZE 200
#define BXI2_NOTIFY_MESSAGE_SIZE 400
#define BXI2_NOTIFY_DATA_SIZE 160
#define BXI2_EVENT_HEADER_SIZE 150
#define BXI2_EVENT_MESSAGE_SIZE 2048
#define BXI2_EVENT_DATA_SIZE 8192

/* Header type and data of a notification.  0, 22 for an unknown kind, 25
 * when the data does not fit. */
int Bxi2_I_BuildNotification(int kind, const char* reference, int resultCode, char* type,
                             size_t typeSize, char* data, size_t dataSize);

typedef enum Bxi2_EventType {
    BXI2_EVENT_PROGRESS,
    BXI2_EVENT_PERCENTDONE,
    BXI2_EVENT_INFO,
    BXI2_EVENT_WARN,
    BXI2_EVENT_ERROR,
    BXI2_EVENT_SET_TIMEOUT,
    BXI2_EVENT_GET_TIMEOUT,
    BXI2_EVENT_CLEAR_TIMEOUT
} Bxi2_EventType;

/* The DATA element of an event for the test process processId.  number is
 * the percent (PERCENTDONE), the event code (WARN, ERROR) or the time-out
 * (SET_TIMEOUT); format and args give the text (PROGRESS, INFO, WARN,
 * ERROR), cut so that the element fits size bytes.  0, or 22 for an unknown
 * type or a size too small for the element without text. */
int Bxi2_I_VFormatEventData(char* data, size_t size, Bxi2_EventType type, const char* processId,
                            int number, const char* format, va_list args);
int Bxi2_I_FormatEventData(char* data, size_t size, Bxi2_EventType type, const char* processId,
                           int number, const char* format, ...) VELK_PRINTF(6, 7);
/* Wraps data in a DE_EVENT message and sends it: 0, 26, 25, 24. */
int Bxi2_I_SendEvent(const char* data);

/* 1 when a timed progress is due at now (ms of the day): never sent before,
 * or more than interval ms since last (across midnight too). */
int Bxi2_I_TimedSendDue(uint32_t now, uint32_t last, int sentBefore, uint32_t interval);

/* Handles one received message: BXI_COMMAND STOPTESTING sets the stop flag,
 * SENDINGTIMEOUT stores the time-out; anything else is ignored. */
void Bxi2_I_HandleIncomingMessage(const char* message);

/* ---- Records ---- */

struct Bxi2_FruAdditionalInfo {
    char* field;
    char* description;
    char* value;
};

/* The size field of a FRU record: its size in the original 32-bit layout. */
#define BXI2_FRU_RECORD_SIZE 36u

struct Bxi2_Fru {
    uint32_t size; /* BXI2_FRU_RECORD_SIZE */
    char* manufacturer;
    char* modelNumber;
    char* serialNumber;
    char* firmwareRevision;
    char* firmwareDate;
    char* physicalAddress;
    CGenList* additionalInfo; /* created on first use; owns its entries */
    CGenListIter iterator;
};

struct Bxi2_SysInfo {
    char* key;
    char* value;
    char* description;
    struct Bxi2_SysInfo* next;
};

struct Bxi2_Device {
    uint32_t did;
    char* name;
    char* description;
    char* osLocator;
    char* hwLocator;
    char* devType;
    char* busType;
    char* testsSupported;
    Bxi2_Fru* fru;
    Bxi2_SysInfo* sysInfo;
};

/* A record with its texts (NULL counts as ""), tests supported "*".  NULL
 * when memory runs out. */
Bxi2_Device* Bxi2_I_NewDeviceRecord(uint32_t did, const char* name, const char* description,
                                    const char* osLocator, const char* hwLocator,
                                    const char* devType, const char* busType);
/* Destroys a record and frees it. */
void Bxi2_I_FreeDeviceRecord(Bxi2_Device* device);
/* Puts a new record on the list of unregistered records: 0, 27. */
int Bxi2_I_KeepNewRecord(Bxi2_Device* device, Bxi2_Device** out);
/* Sets the USB counter of Bxi2_CreateDeviceUSB back to 0 (tests). */
void Bxi2_I_ResetUsbCounter(void);
/* Replaces a record's text field with a copy: 1, or 0 (unchanged). */
int Bxi2_I_ReplaceText(char** field, const char* text);

/* The registered records (NULL when none were registered). */
CGenList* Bxi2_I_EnumerationList(void);
/* The same, created empty when there is none yet. */
CGenList* Bxi2_I_EnsureEnumerationList(void);
/* Drops the position of Bxi2_GetNextDevice (the records are gone). */
void Bxi2_I_ForgetDeviceIterator(void);
/* Number of records created and not registered. */
uint32_t Bxi2_I_UnregisteredCount(void);

/* ---- Replies ---- */

/* The DATA element of the enumeration reply from the registered records.
 * 0 or 27. */
int Bxi2_I_BuildEnumData(CGenStr* data);
/* The DATA element of the system-information reply for the registered
 * records whose locator is hwLocator.  0 or 27. */
int Bxi2_I_BuildSysInfoData(const char* moduleName, const char* destination, const char* hwLocator,
                            CGenStr* data);
int Bxi2_SendEnumInfo(void);
int Bxi2_SendSysInfo(const char* moduleName, const char* destination, const char* replyTo,
                     const char* hwLocator);

/* The first record of the device list (Bxi2_GetFirstDevice(0)) whose id is
 * deviceId, or NULL. */
Bxi2_Device* Bxi2_I_FindDeviceById(int deviceId);

/* Parses the devices of one COMPONENT element's content (its DEVICE
 * elements, or the content itself when it holds none) into new records
 * appended to list.  The number added. */
int VelkParseModuleDeviceList(const char* component, CGenList* list);

/* ---- Parameters ---- */

/* 1 when VelkSpeedIniAccess keeps file in memory. */
int Bxi2_I_IniCacheHolds(const char* file);

/* The answer of validate mode for list. 1, or 0 when memory runs out. */
int Bxi2_I_BuildValidationResults(Bxi2_ParamList* list, CGenStr* answer);

/* The current list of the module (NULL when none). */
Bxi2_ParamList* Bxi2_I_GetCurrentParamList(void);

/* Reads "senderpid=" and "reid=" from the command line; 1 when both were
 * given. */
int Bxi2_I_GetValidationSender(int argc, char** argv, uint32_t* senderPid, uint32_t* replyId);

VELK_END_DECLS

#endif
