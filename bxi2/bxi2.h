/* The module interface: what a diagnostic module executable links to talk to
 * the diagnostic engine.
 *
 * A module's main registers its callbacks and hands control to Bxi2_Main:
 *
 *   int main(int argc, char** argv) {
 *       Bxi2_Registration* reg = Bxi2_CreateRegistrationStructure();
 *       Bxi2_AddRegistrationStructureCallback(reg, BXI2_SLOT_ENUMERATE,
 *                                             BXI2_CALLBACK(Enumerate));
 *       Bxi2_AddRegistrationStructureCallback(reg, BXI2_SLOT_RUN, BXI2_CALLBACK(Run));
 *       Bxi2_Version(1, 0, 0);
 *       int status = Bxi2_Main(argc, argv, reg);
 *       Bxi2_FreeRegistrationStructure(reg);
 *       return status;
 *   }
 *
 * The engine launches the module with one mode word ("enumerate", "run",
 * "validate", "sysinfo") and its arguments; Bxi2_Main opens the connection to
 * the engine, runs the mode by calling the module's callbacks, sends the reply
 * or the test result and closes the connection.  During a run the module
 * reports progress and events and polls Bxi2_CheckForStop.
 *
 * Everything runs on the module's main thread (the transport's read/write
 * thread only moves bytes).  Unless stated otherwise a function returns 0 for
 * success or one of the BXI2_E_* codes. */
#ifndef BXI2_H
#define BXI2_H

#include <stdint.h>

#include "gen-list.h"
#include "gen-str.h"
#include "velk-export.h"

VELK_BEGIN_DECLS

/* ------------------------------------------------------------------------ */
/* Status codes                                                             */
/* ------------------------------------------------------------------------ */

#define BXI2_OK 0
#define BXI2_E_BAD_ARGUMENT 22 /* null device, unknown notification kind or device type */
#define BXI2_E_STARTUP 23      /* the startup notification could not be sent */
#define BXI2_E_COMMS 24        /* connection, send or reply in time failed */
#define BXI2_E_MESSAGE 25      /* a message could not be built (or does not fit) */
#define BXI2_E_HEADER 26       /* a message header could not be built */
#define BXI2_E_NO_MEMORY 27    /* out of memory */
#define BXI2_E_REGISTRATION 28 /* bad registration structure or slot */
#define BXI2_E_START_COMMS 29  /* a mode could not start its communications */
#define BXI2_E_MODE 30         /* unknown mode, or the mode's callback is missing */
#define BXI2_E_PARAMETERS 31   /* the parameter list could not be built or filled */

/* ------------------------------------------------------------------------ */
/* Test results (slot-3 callback) and their names in the result notice      */
/* ------------------------------------------------------------------------ */

#define BXI2_RESULT_PASS 0           /* "PASS" */
#define BXI2_RESULT_SETUPERROR 1     /* "SETUPERROR"; also every unknown code */
#define BXI2_RESULT_FAIL 2           /* "FAIL" */
#define BXI2_RESULT_BUSY 3           /* "BUSY" */
#define BXI2_RESULT_PRIVILEGEERROR 4 /* "PRIVILEGEERROR" */
#define BXI2_RESULT_NOTAPPLICABLE 5  /* "NOTAPPLICABLE" */
#define BXI2_RESULT_BADPARAMS 6      /* "BADPARAMS" */
#define BXI2_RESULT_NOMEDIA 7        /* "NOMEDIA" */
#define BXI2_RESULT_DISCONTINUED 8   /* "DISCONTINUED" */

/* The name sent for a result code. */
const char* Bxi2_ResultCodeToName(int code);

/* ------------------------------------------------------------------------ */
/* Registration                                                             */
/* ------------------------------------------------------------------------ */

/* Value of the size field of a valid registration structure.  It is the
 * structure's size in the original 32-bit layout (a 32-bit word and twelve
 * pointers) and serves as its version mark; a structure whose field is below
 * it refuses callbacks. */
#define BXI2_REGISTRATION_SIZE 52u
#define BXI2_SLOT_COUNT 12

/* Slots the interface calls; 4 to 11 are stored and never called. */
#define BXI2_SLOT_ENUMERATE 1 /* int (void): creates and adds the device records */
#define BXI2_SLOT_VALIDATE 2  /* int (int test, Bxi2_Device*): sets the valid flags */
#define BXI2_SLOT_RUN 3       /* int (int test, Bxi2_Device*): the test result */
#define BXI2_SLOT_SYSINFO 12  /* int (Bxi2_Device*, const char*): adds system information */

typedef struct Bxi2_Device Bxi2_Device;

typedef int (*Bxi2_EnumerateCallback)(void);
typedef int (*Bxi2_ValidateCallback)(int test, Bxi2_Device* device);
typedef int (*Bxi2_RunCallback)(int test, Bxi2_Device* device);
typedef int (*Bxi2_SysInfoCallback)(Bxi2_Device* device, const char* parameters);
/* The stored form of every callback; the interface calls each slot through
 * its own type above. */
typedef void (*Bxi2_GenericCallback)(void);
#define BXI2_CALLBACK(function) ((Bxi2_GenericCallback)(function))

typedef struct Bxi2_Registration {
    uint32_t uSize;                                /* BXI2_REGISTRATION_SIZE */
    Bxi2_GenericCallback pfnSlot[BXI2_SLOT_COUNT]; /* slot n at index n - 1 */
} Bxi2_Registration;

/* A zeroed structure with its size field set, or NULL. */
Bxi2_Registration* Bxi2_CreateRegistrationStructure(void);
/* 0, or 28 for NULL. */
int Bxi2_FreeRegistrationStructure(Bxi2_Registration* reg);
/* 0, or 28 when reg is NULL, its size field is below BXI2_REGISTRATION_SIZE
 * or slot is outside 1 to 12. */
int Bxi2_AddRegistrationStructureCallback(Bxi2_Registration* reg, int slot,
                                          Bxi2_GenericCallback callback);

/* ------------------------------------------------------------------------ */
/* Main and modes                                                           */
/* ------------------------------------------------------------------------ */

#define BXI2_MODE_NONE 0
#define BXI2_MODE_VALIDATE 1
#define BXI2_MODE_ENUMERATE 2
#define BXI2_MODE_RUN 3
#define BXI2_MODE_SYSINFO 4

/* Bounds of the module state's copies of the command line (bytes, NUL
 * included); longer values are cut, except that a server FIFO name that
 * does not fit is ignored (a cut path would name another file). */
#define BXI2_REFERENCE_SIZE 80
#define BXI2_DEFFILE_SIZE 4096
#define BXI2_PROCESS_ID_SIZE 64
#define BXI2_SFIFO_SIZE 4096

/* Records the module version, reported at startup and by a bare call. */
void Bxi2_Version(int major, int minor, int build);

/* Runs the mode of the command line.  With argc 1 it prints "name x.y.z" to
 * standard error and returns 0.  The mode's status: 0, 28 without a
 * registration structure, 30 for an unknown mode, or the mode's failure. */
int Bxi2_Main(int argc, char** argv, Bxi2_Registration* reg);

/* Reads the command line (argv[0] included, in order; the last mode word
 * wins): mode words, "ref=", "deffile=", "device=", "test=", "percent="
 * (0 or less, above 100 or not a number: 100.0), "errlimit=" (negative:
 * 10000), and into the module state "process=" and "sfifo=".  *mode starts at
 * 0; the other outputs (each may be NULL) are written only when their
 * argument is present.  Always 0. */
int Bxi2_ParseCommandLine(int argc, char** argv, int* mode, char* reference, uint32_t referenceSize,
                          char* defFile, uint32_t defFileSize, int* device, int* test,
                          float* percent, int* errorLimit);

/* Opens the connection to the engine and sends the startup notification with
 * reference: 0, 24 (connection) or 23 (startup notice). */
int Bxi2_StartCommunications(const char* reference);
/* Frees the device records, flushes, sends the shutdown notification and
 * closes the connection; 0. */
int Bxi2_StopCommunications(void);

#define BXI2_NOTIFY_STARTUP 0  /* argument: const char* reference */
#define BXI2_NOTIFY_SHUTDOWN 1 /* no argument */
#define BXI2_NOTIFY_RESULT 2   /* argument: int result code */
/* 0, 22 for an unknown kind, 26, 25 or 24. */
int Bxi2_SendNotification(int kind, ...);

/* Module state read by the module. */
float Bxi2_GetFloatPercentageToTest(void);
int Bxi2_GetPercentageToTest(void); /* the float truncated */
int Bxi2_GetErrorLimit(void);       /* 10000 unless "errlimit=" gives one */
/* The module name: the executable's name with ".linux" replaced by ".vkm"
 * ("hdd.linux" gives "hdd.vkm"), or NULL when it cannot be told. */
const char* Bxi2_GetModuleName(void);
/* The same read from /proc/<pid>/cmdline, kept in one module-wide buffer. */
const char* pidToProcName(int pid);

/* ------------------------------------------------------------------------ */
/* Events and engine commands                                               */
/* ------------------------------------------------------------------------ */

/* Event texts are formatted with printf rules and inserted unescaped: text
 * that may hold "<", ">" or "@" should be escaped or be an NLS tag.  A text
 * longer than the 8192-byte event area is cut; a message that does not fit
 * its 2048-byte area is not sent (25). */
int Bxi2_SetPercentDone(int percent); /* nothing is sent for the value last sent */
int Bxi2_SetProgressInformation(const char* format, ...) VELK_PRINTF(1, 2);
/* Sends only when intervalMs have passed since the last timed send. */
int Bxi2_SetProgressInformationTimed(uint32_t intervalMs, const char* format, ...)
    VELK_PRINTF(2, 3);
int Bxi2_Informative(const char* format, ...) VELK_PRINTF(1, 2);
int Bxi2_Warning(int eventCode, const char* format, ...) VELK_PRINTF(2, 3);
int Bxi2_Error(int eventCode, const char* format, ...) VELK_PRINTF(2, 3);
int Bxi2_SetTimeOut(int value);
/* Asks the engine for the time-out: 0 and *value, or 24 when none arrives
 * within 2000 ms (*value is then 0) or value is NULL. */
int Bxi2_GetTimeOut(int* value);
int Bxi2_ClearTimeOutCount(void);

/* Reads the engine's commands waiting for the module (STOPTESTING,
 * SENDINGTIMEOUT); other messages are discarded.  0. */
int Bxi2_CheckForIncomingMessages(void);
/* Non-zero once the engine asked the module to stop. */
int Bxi2_CheckForStop(void);

/* ------------------------------------------------------------------------ */
/* Device records                                                           */
/* ------------------------------------------------------------------------ */

typedef struct Bxi2_Fru Bxi2_Fru;
typedef struct Bxi2_FruAdditionalInfo Bxi2_FruAdditionalInfo;
typedef struct Bxi2_SysInfo Bxi2_SysInfo;

/* Number used in the "MOUSE:%u" locator of Bxi2_CreateDeviceSys, whose
 * arguments carry none. */
#define BXI2_SYS_MOUSE_NUMBER 0u

/* Creators: device type code, device id, name, OS locator, description, the
 * locator numbers, and a pointer that receives the record (may be NULL).  The
 * record is kept on the module's list of unregistered records until
 * Bxi2_AddDevice.  0, 22 for a NULL or (where checked) unknown type code, 27
 * without memory.  NULL texts count as empty. */
int Bxi2_CreateDeviceBus(const char* devType, uint32_t did, const char* name, const char* osLocator,
                         const char* description, uint32_t number, Bxi2_Device** device);
int Bxi2_CreateDeviceModem(const char* devType, uint32_t did, const char* name,
                           const char* osLocator, const char* description, uint32_t port,
                           Bxi2_Device** device);
int Bxi2_CreateDeviceFD(const char* devType, uint32_t did, const char* name, const char* osLocator,
                        const char* description, uint32_t number, Bxi2_Device** device);
int Bxi2_CreateDeviceSCSI(const char* devType, uint32_t did, const char* name,
                          const char* osLocator, const char* description, uint32_t host,
                          uint32_t channel, uint32_t target, uint32_t lun, Bxi2_Device** device);
int Bxi2_CreateDevice1394(const char* devType, uint32_t did, const char* name,
                          const char* osLocator, const char* description, uint32_t first,
                          uint32_t second, uint32_t third, Bxi2_Device** device);
int Bxi2_CreateDeviceIDE(const char* devType, uint32_t did, const char* name, const char* osLocator,
                         const char* description, uint32_t channel, uint32_t position,
                         Bxi2_Device** device);
/* "USB:<counter>:<number>" with a module-wide counter raised by each call. */
int Bxi2_CreateDeviceUSB(const char* devType, uint32_t did, const char* name, const char* osLocator,
                         const char* description, uint32_t number, Bxi2_Device** device);
int Bxi2_CreateDeviceUSBEx(const char* devType, uint32_t did, const char* name,
                           const char* osLocator, const char* description, uint32_t bus,
                           uint32_t number, Bxi2_Device** device);
/* Six byte values (each taken modulo 256). */
int Bxi2_CreateDeviceNet(const char* devType, uint32_t did, const char* name, const char* osLocator,
                         const char* description, unsigned int b0, unsigned int b1, unsigned int b2,
                         unsigned int b3, unsigned int b4, unsigned int b5, Bxi2_Device** device);
/* Type "COM", "LPT" or "IR". */
int Bxi2_CreateDevicePort(const char* devType, uint32_t did, const char* name,
                          const char* osLocator, const char* description, uint32_t number,
                          unsigned long ioAddress, Bxi2_Device** device);
int Bxi2_CreateDeviceCOM(const char* devType, uint32_t did, const char* name, const char* osLocator,
                         const char* description, uint32_t number, unsigned long ioAddress,
                         Bxi2_Device** device);
int Bxi2_CreateDevicePrinter(const char* devType, uint32_t did, const char* name,
                             const char* osLocator, const char* description, uint32_t number,
                             Bxi2_Device** device);
int Bxi2_CreateDeviceCPU(const char* devType, uint32_t did, const char* name, const char* osLocator,
                         const char* description, uint32_t number, Bxi2_Device** device);
int Bxi2_CreateDeviceMemory(const char* devType, uint32_t did, const char* name,
                            const char* osLocator, const char* description, uint32_t number,
                            Bxi2_Device** device);
int Bxi2_CreateDeviceMonitor(const char* devType, uint32_t did, const char* name,
                             const char* osLocator, const char* description, uint32_t number,
                             Bxi2_Device** device);
int Bxi2_CreateDeviceMouse(const char* devType, uint32_t did, const char* name,
                           const char* osLocator, const char* description, uint32_t number,
                           Bxi2_Device** device);
int Bxi2_CreateDevicePCI(const char* devType, uint32_t did, const char* name, const char* osLocator,
                         const char* description, uint32_t bus, uint32_t slot, uint32_t function,
                         Bxi2_Device** device);
int Bxi2_CreateDeviceAGP(const char* devType, uint32_t did, const char* name, const char* osLocator,
                         const char* description, uint32_t bus, uint32_t slot, uint32_t function,
                         Bxi2_Device** device);
/* Type "KBD" or "MOUSE". */
int Bxi2_CreateDevicePS2(const char* devType, uint32_t did, const char* name, const char* osLocator,
                         const char* description, Bxi2_Device** device);
/* Type "RTC", "CMOS", "KBD", "SYSTEM", "SYSTEMBOARD" or "MOUSE". */
int Bxi2_CreateDeviceSys(const char* devType, uint32_t did, const char* name, const char* osLocator,
                         const char* description, Bxi2_Device** device);
/* Type "GAMEINPUT", "MICROPHONE", "CAMERA", "SCANNER" or "WAV". */
int Bxi2_CreateDeviceMM(const char* devType, uint32_t did, const char* name, const char* osLocator,
                        const char* description, uint32_t number, Bxi2_Device** device);
/* The description comes before the OS locator here; locator and bus type as
 * given. */
int Bxi2_CreateDeviceGenericEx(const char* devType, uint32_t did, const char* name,
                               const char* description, const char* osLocator,
                               const char* hwLocator, const char* busType, Bxi2_Device** device);
int Bxi2_CreateDeviceGeneric(const char* devType, uint32_t did, const char* name,
                             const char* description, const char* osLocator, const char* hwLocator,
                             const char* busType, Bxi2_Device** device);
int Bxi2_CreateDeviceISA(const char* devType, uint32_t did, const char* name,
                         const char* description, const char* osLocator, const char* hwLocator,
                         const char* busType, Bxi2_Device** device);

/* Registers a record for the enumeration reply (the interface owns it from
 * then on); a record already registered is not added twice.  0 or 22. */
int Bxi2_AddDevice(Bxi2_Device* device);
/* Replaces the FRU data: 0, 22, 27.  NULL texts count as empty. */
int Bxi2_AddFruToDevice(Bxi2_Device* device, const char* manufacturer, const char* modelNumber,
                        const char* serialNumber, const char* firmwareRevision,
                        const char* firmwareDate, const char* physicalAddress);
/* Appends an additional FRU entry (creating empty FRU data when the device
 * has none): 0, 22, 27. */
int Bxi2_AddFruAdditionalInfoToDevice(Bxi2_Device* device, const char* field,
                                      const char* description, const char* value);
int Bxi2_AddFruAdditionalInfoToFru(Bxi2_Fru* fru, const char* field, const char* description,
                                   const char* value);
/* Appends a system-information entry: 0, 22, 27. */
int Bxi2_AddSysInfoToDevice(Bxi2_Device* device, const char* key, const char* value,
                            const char* description);
/* Replaces the tests-supported text ("*": all; else test indexes separated
 * by commas): 0, 22, 27. */
int Bxi2_AddTestsToDevice(Bxi2_Device* device, const char* tests);
/* Gives the record the name its type code calls for ("Hard Drive IDE:0:0",
 * "CPU 3", ...): 0, 22, 27. */
int Bxi2_I_GenerateDeviceName(Bxi2_Device* device);

/* Getters: NULL (or -1 for the id) for a NULL record. */
int64_t Bxi2_GetDeviceId(const Bxi2_Device* device);
const char* Bxi2_GetDeviceName(const Bxi2_Device* device);
const char* Bxi2_GetDeviceDescription(const Bxi2_Device* device);
const char* Bxi2_GetDeviceOsLocator(const Bxi2_Device* device);
const char* Bxi2_GetDeviceHwLocator(const Bxi2_Device* device);
const char* Bxi2_GetDeviceDevType(const Bxi2_Device* device);
const char* Bxi2_GetDeviceBusType(const Bxi2_Device* device);
const char* Bxi2_GetDeviceTestsSupported(const Bxi2_Device* device);
Bxi2_Fru* Bxi2_GetDeviceFruInfo(const Bxi2_Device* device);
Bxi2_SysInfo* Bxi2_GetDeviceSysInfo(const Bxi2_Device* device);

const char* Bxi2_GetFruManufacturer(const Bxi2_Fru* fru);
const char* Bxi2_GetFruModelNumber(const Bxi2_Fru* fru);
const char* Bxi2_GetFruSerialNumber(const Bxi2_Fru* fru);
const char* Bxi2_GetFruFirmwareRevision(const Bxi2_Fru* fru);
const char* Bxi2_GetFruFirmwareDate(const Bxi2_Fru* fru);
const char* Bxi2_GetFruPhysicalAddress(const Bxi2_Fru* fru);
/* Iterate the additional entries of one FRU record. */
Bxi2_FruAdditionalInfo* Bxi2_GetFirstFruAdditionalInfo(Bxi2_Fru* fru);
Bxi2_FruAdditionalInfo* Bxi2_GetNextFruAdditionalInfo(Bxi2_Fru* fru);
const char* Bxi2_GetFruAdditionalInfoField(const Bxi2_FruAdditionalInfo* info);
const char* Bxi2_GetFruAdditionalInfoDescription(const Bxi2_FruAdditionalInfo* info);
const char* Bxi2_GetFruAdditionalInfoValue(const Bxi2_FruAdditionalInfo* info);

const char* Bxi2_GetSysInfoKey(const Bxi2_SysInfo* entry);
const char* Bxi2_GetSysInfoValue(const Bxi2_SysInfo* entry);
const char* Bxi2_GetSysInfoDescription(const Bxi2_SysInfo* entry);
Bxi2_SysInfo* Bxi2_GetNextSysInfo(const Bxi2_SysInfo* entry);

/* Iterate the device list: the module's own records in enumerate mode,
 * otherwise the list the engine enumerated for this module, fetched once
 * ("LIST_DEVICES:<module>", or "LIST_SYSINFO_DEVICES:<module>" when sysinfo
 * is non-zero).  NULL at the end. */
Bxi2_Device* Bxi2_GetFirstDevice(int sysinfo);
Bxi2_Device* Bxi2_GetNextDevice(void);
/* Destroys every record, registered or not. */
void Bxi2_KillDeviceList(void);

/* For a module that opened its device: 1 when handle is not -1.  For -1 it
 * sends a warning after errno (EBUSY: code 150 and *result 3; EACCES: 151 and
 * 4; otherwise 152 and 1) and returns 0. */
int CheckDeviceHandle(int handle, int* result);

/* ------------------------------------------------------------------------ */
/* Whole-machine device lists (tools built on the module interface)         */
/* ------------------------------------------------------------------------ */

/* The engine's "LIST_DEVICES" reply into reply: 0, 1 NULL, 3 no command,
 * 4 no reply. */
int Bxi2_I_GetXMLDeviceList(CGenStr* reply);
/* Parses every device of the "LIST_DEVICES" reply into records appended to
 * list, which must own its data with the destructor
 * Bxi2_I_DestroyDeviceRecord.  0, 1 for NULL, 4 no reply. */
int Bxi2_I_GetAllDevicesList(CGenList* list);
/* "<DEVICELIST>" with every device and its system information.  0, -1 when
 * the engine asked the module to stop, or the device-list failure. */
int Bxi2_I_GetSysInfo(CGenStr* out);
/* Frees a record's texts and data (not the record itself): the destructor
 * for lists of records. */
void Bxi2_I_DestroyDeviceRecord(void* device);

/* ------------------------------------------------------------------------ */
/* Module NLS tags                                                          */
/* ------------------------------------------------------------------------ */

/* "<NLS mod=<module> id=<id> />" in a module-wide buffer that the next call
 * overwrites; NULL when it does not fit. */
const char* Bxi2_NlsTagToTokenMod(const char* module, const char* id);
/* The same with the module's own name. */
const char* Bxi2_NlsTagToToken(const char* id);
/* The same with variables: name/value pairs of texts ended by a NULL name. */
const char* Bxi2_NlsTagToTokenVar(const char* id, ...);
const char* Bxi2_NlsTagToTokenVarMod(const char* module, const char* id, ...);
/* Lookups through the NLS engine (see nls-access.h). */
char* Bxi2_NlsGetStringWithId(const char* id, char* buffer, uint32_t size);
char* Bxi2_NlsGetStringWithIdEx(const char* module, const char* id, const char* lang, char* buffer,
                                uint32_t size);
int Bxi2_NlsGetStringWithXmlTag(const char* tag, const char* lang, char* returnedLang,
                                CGenStr* text);
int Bxi2_NlsAddVariableToTag(char* tag, uint32_t size, const char* name, const char* value);

/* ------------------------------------------------------------------------ */
/* Parameters                                                               */
/* ------------------------------------------------------------------------ */

/* Id of the predefined parameter that carries the percentage to test; the
 * interface consumes it and hides it from Bxi2_GetFirstParameter. */
#define BXI2_PERCENT_TO_TEST_ID "VELK_BXI2_PERCENT_TO_TEST"

/* Types and valid flags: the VELK_PARAM_* values of param-valid.h. */
typedef struct Bxi2_Parameter {
    CGenStr id;
    CGenStr name;
    CGenStr description;
    int32_t type;      /* -1 while unset */
    int32_t validFlag; /* 0 valid, 1 id not recognized, 2 too big, 3 too small, 4 bad */
    int32_t mustBeSet;
    int32_t recommendValidate;
    CGenStr mask;
    CGenStr value;
    int32_t hasDefault;
    CGenStr defaultValue;
    int32_t hasMin;
    CGenStr minValue;
    int32_t hasMax;
    CGenStr maxValue;
} Bxi2_Parameter;

/* Sets up a record in the caller's storage: 1, or 0 when memory runs out
 * (nothing to destruct then). */
int Bxi2_InitParameter(Bxi2_Parameter* parameter);
/* Releases the texts of a record set up by Bxi2_InitParameter. */
void Bxi2_DestructParameter(Bxi2_Parameter* parameter);
/* A new record on the heap for Bxi2_AddParameter, or NULL. */
Bxi2_Parameter* Bxi2_CreateParameter(void);

/* Text fields; the setters give 1, or 0 when memory runs out. */
const char* Bxi2_GetParameterId(const Bxi2_Parameter* parameter);
int Bxi2_SetParameterId(Bxi2_Parameter* parameter, const char* id);
const char* Bxi2_GetParameterName(const Bxi2_Parameter* parameter);
int Bxi2_SetParameterName(Bxi2_Parameter* parameter, const char* name);
const char* Bxi2_GetParameterDescription(const Bxi2_Parameter* parameter);
int Bxi2_SetParameterDescription(Bxi2_Parameter* parameter, const char* description);
const char* Bxi2_GetParameterMask(const Bxi2_Parameter* parameter);
int Bxi2_SetParameterMask(Bxi2_Parameter* parameter, const char* mask);
int Bxi2_GetParameterType(const Bxi2_Parameter* parameter);
void Bxi2_SetParameterType(Bxi2_Parameter* parameter, int type);
int Bxi2_GetParameterValidFlag(const Bxi2_Parameter* parameter);
void Bxi2_SetParameterValidFlag(Bxi2_Parameter* parameter, int flag);
int Bxi2_GetParameterMustBeSet(const Bxi2_Parameter* parameter);
void Bxi2_SetParameterMustBeSet(Bxi2_Parameter* parameter, int mustBeSet);
int Bxi2_GetParameterRecommendValidate(const Bxi2_Parameter* parameter);
void Bxi2_SetParameterRecommendValidate(Bxi2_Parameter* parameter, int recommend);
int Bxi2_GetParameterHasDefaultValue(const Bxi2_Parameter* parameter);
int Bxi2_GetParameterHasMinVal(const Bxi2_Parameter* parameter);
int Bxi2_GetParameterHasMaxVal(const Bxi2_Parameter* parameter);

/* Typed access to value, default, minimum and maximum.  Reading: int32 by
 * base-10 strtol, uint32 by atoul, bool by StrToBool, float by strtod;
 * writing "%i", "%u", "true"/"false", "%f", or the text.  Setting a default,
 * minimum or maximum sets its flag.  Setters give 1, or 0 when memory runs
 * out. */
int32_t Bxi2_GetParameterValAsInt32(const Bxi2_Parameter* parameter);
int Bxi2_SetParameterValFromInt32(Bxi2_Parameter* parameter, int32_t value);
uint32_t Bxi2_GetParameterValAsUInt32(const Bxi2_Parameter* parameter);
int Bxi2_SetParameterValFromUInt32(Bxi2_Parameter* parameter, uint32_t value);
int Bxi2_GetParameterValAsBool(const Bxi2_Parameter* parameter);
int Bxi2_SetParameterValFromBool(Bxi2_Parameter* parameter, int value);
float Bxi2_GetParameterValAsFloat(const Bxi2_Parameter* parameter);
int Bxi2_SetParameterValFromFloat(Bxi2_Parameter* parameter, float value);
const char* Bxi2_GetParameterValAsStr(const Bxi2_Parameter* parameter);
int Bxi2_SetParameterValFromStr(Bxi2_Parameter* parameter, const char* value);

int32_t Bxi2_GetParameterDefaultValAsInt32(const Bxi2_Parameter* parameter);
int Bxi2_SetParameterDefaultValFromInt32(Bxi2_Parameter* parameter, int32_t value);
uint32_t Bxi2_GetParameterDefaultValAsUInt32(const Bxi2_Parameter* parameter);
int Bxi2_SetParameterDefaultValFromUInt32(Bxi2_Parameter* parameter, uint32_t value);
int Bxi2_GetParameterDefaultValAsBool(const Bxi2_Parameter* parameter);
int Bxi2_SetParameterDefaultValFromBool(Bxi2_Parameter* parameter, int value);
float Bxi2_GetParameterDefaultValAsFloat(const Bxi2_Parameter* parameter);
int Bxi2_SetParameterDefaultValFromFloat(Bxi2_Parameter* parameter, float value);
const char* Bxi2_GetParameterDefaultValAsStr(const Bxi2_Parameter* parameter);
int Bxi2_SetParameterDefaultValFromStr(Bxi2_Parameter* parameter, const char* value);

int32_t Bxi2_GetParameterMinValAsInt32(const Bxi2_Parameter* parameter);
int Bxi2_SetParameterMinValFromInt32(Bxi2_Parameter* parameter, int32_t value);
uint32_t Bxi2_GetParameterMinValAsUInt32(const Bxi2_Parameter* parameter);
int Bxi2_SetParameterMinValFromUInt32(Bxi2_Parameter* parameter, uint32_t value);
int Bxi2_GetParameterMinValAsBool(const Bxi2_Parameter* parameter);
int Bxi2_SetParameterMinValFromBool(Bxi2_Parameter* parameter, int value);
float Bxi2_GetParameterMinValAsFloat(const Bxi2_Parameter* parameter);
int Bxi2_SetParameterMinValFromFloat(Bxi2_Parameter* parameter, float value);
const char* Bxi2_GetParameterMinValAsStr(const Bxi2_Parameter* parameter);
int Bxi2_SetParameterMinValFromStr(Bxi2_Parameter* parameter, const char* value);

int32_t Bxi2_GetParameterMaxValAsInt32(const Bxi2_Parameter* parameter);
int Bxi2_SetParameterMaxValFromInt32(Bxi2_Parameter* parameter, int32_t value);
uint32_t Bxi2_GetParameterMaxValAsUInt32(const Bxi2_Parameter* parameter);
int Bxi2_SetParameterMaxValFromUInt32(Bxi2_Parameter* parameter, uint32_t value);
int Bxi2_GetParameterMaxValAsBool(const Bxi2_Parameter* parameter);
int Bxi2_SetParameterMaxValFromBool(Bxi2_Parameter* parameter, int value);
float Bxi2_GetParameterMaxValAsFloat(const Bxi2_Parameter* parameter);
int Bxi2_SetParameterMaxValFromFloat(Bxi2_Parameter* parameter, float value);
const char* Bxi2_GetParameterMaxValAsStr(const Bxi2_Parameter* parameter);
int Bxi2_SetParameterMaxValFromStr(Bxi2_Parameter* parameter, const char* value);

/* A list that owns its records, with one iterator. */
typedef struct Bxi2_ParamList {
    CGenList list;
    CGenListIter iterator;
} Bxi2_ParamList;

/* 1, or 0 when memory runs out. */
int Bxi2_ParamListConstruct(Bxi2_ParamList* list);
/* Destroys every record of the list. */
void Bxi2_ParamListDestruct(Bxi2_ParamList* list);
/* Appends a record made by Bxi2_CreateParameter; the list owns it from then
 * on (also when the append fails: it is then destroyed).  1 or 0. */
int Bxi2_AddParameter(Bxi2_ParamList* list, Bxi2_Parameter* parameter);

/* The parameters of the current run or validation, without the predefined
 * percentage parameter; NULL at the end. */
Bxi2_Parameter* Bxi2_GetFirstParameter(void);
Bxi2_Parameter* Bxi2_GetNextParameter(void);
/* Destroys the current record and returns the next one. */
Bxi2_Parameter* Bxi2_DeleteCurrentParameter(void);
/* Every record of a list, the predefined one included. */
Bxi2_Parameter* Bxi2_I_GetFirstParameter(Bxi2_ParamList* list);
Bxi2_Parameter* Bxi2_I_GetNextParameter(Bxi2_ParamList* list);
/* Chooses the list of the current run (NULL: none). */
void Bxi2_I_SetCurrentParamList(Bxi2_ParamList* list);

/* Parameter strings: tokens "param=<id>,<value>" separated by ':'.  1, or 0
 * on the first token that fails (records added before stay). */
int AssignParamListFromStr(Bxi2_ParamList* list, const CGenStr* text);
int AssignParamListFromC_Str(Bxi2_ParamList* list, const char* text);
/* One token; a token that is not "param=..." or has an empty id adds
 * nothing and succeeds. */
int AddParamToParamListFromToken(Bxi2_ParamList* list, const CGenStr* token);
int AddParamToParamListFromTokenC_Str(Bxi2_ParamList* list, const char* token);
int AddParamToParamListFromTokenStrings(Bxi2_ParamList* list, const char* id, const char* value);
/* Splits a token: *isParam 1 with id and value when the token is "param=..."
 * (id before the first ',', value after it, "" without one).  1, or 0 when
 * memory runs out. */
int ParseParamValidToken(const char* token, int* isParam, CGenStr* id, CGenStr* value);
/* Adds every "param=" argument of the command line.  1 or 0. */
int GetParamsFromCommandLine(int argc, char** argv, Bxi2_ParamList* list);
/* Applies the predefined percentage parameter: limits 0 and 100; a value
 * 0 < v <= 100 is stored in *percent, else the flag becomes 3 (v <= 0), 2
 * (v > 100) or 4 (not a number).  1 when every such parameter was accepted,
 * else 0. */
int ProcessPredefinedParameters(Bxi2_ParamList* list, float* percent);

/* A test execution request "<module>:<test>:<device>[:%<percent>][:<params>]". */
typedef struct Bxi2_TestExecRequest {
    CGenStr moduleName;
    int32_t test;   /* -1 when missing */
    int32_t device; /* -1 when missing */
    float percentage;
    Bxi2_ParamList parameters;
} Bxi2_TestExecRequest;

int TestExecRequestConstruct(Bxi2_TestExecRequest* request); /* 1 or 0 */
void TestExecRequestDestruct(Bxi2_TestExecRequest* request);
const char* TestExecRequestGetModuleName(const Bxi2_TestExecRequest* request);
int TestExecRequestSetModuleName(Bxi2_TestExecRequest* request, const char* name);
int32_t TestExecRequestGetTest(const Bxi2_TestExecRequest* request);
void TestExecRequestSetTest(Bxi2_TestExecRequest* request, int32_t test);
int32_t TestExecRequestGetDevice(const Bxi2_TestExecRequest* request);
void TestExecRequestSetDevice(Bxi2_TestExecRequest* request, int32_t device);
float TestExecRequestGetPercentage(const Bxi2_TestExecRequest* request);
void TestExecRequestSetPercentage(Bxi2_TestExecRequest* request, float percentage);
Bxi2_ParamList* TestExecRequestGetParamList(Bxi2_TestExecRequest* request);
/* Fills request from text.  1, or 0 when the parameters cannot be parsed. */
int AssignTestExecRequestFromStr(Bxi2_TestExecRequest* request, const char* text);

/* Reads one PARAMETER element's content (ID required, VALID_FLAG, MIN_VALUE,
 * MAX_VALUE) into parameter; *found is set to 1 when all four were there.
 * 0, or 1 without ID (the record is then unchanged). */
int Bxi2_AssignParameterFromXML(Bxi2_Parameter* parameter, const char* text, int* found);

/* ------------------------------------------------------------------------ */
/* Definitions file (INI)                                                   */
/* ------------------------------------------------------------------------ */

/* Longest line taken into account; the rest of a longer line is ignored. */
#define VELK_INI_MAX_LINE 511

/* Reads key of section from file.  The value runs from the character after
 * '=' to the end of the line.  It is copied into buffer (bounded by size) or,
 * when buffer is NULL and allocated is not, into a new allocation that the
 * caller releases with free().  Not found: the default (or "") is copied the
 * same way.  With key NULL: 1 when the section exists, else 0.  The result is
 * the length of the value (or default), or -1 when the file cannot be read
 * (buffer and *allocated are then untouched). */
long Velk_I_GetPrivateProfileString(const char* section, const char* key, const char* defaultValue,
                                    char* buffer, uint32_t size, const char* file,
                                    char** allocated);
long VelkGetPrivateProfileString(const char* section, const char* key, const char* defaultValue,
                                 char* buffer, uint32_t size, const char* file);
/* 1 when key exists in section, 0 when not, -1 when the file cannot be
 * read. */
int VelkIniKeyExists(const char* file, const char* section, const char* key);
/* A new copy of the value (release with free()), or NULL when the key is
 * missing or the file cannot be read. */
char* VelkGetIniString(const char* file, const char* section, const char* key);
/* The value as a decimal integer (defaultValue when missing), -1 when the
 * file cannot be read. */
int VelkGetIniInt(const char* file, const char* section, const char* key, int defaultValue);
/* The same for a 16-bit hexadecimal value; defaultValue when the file cannot
 * be read. */
uint16_t GetIniWord(const char* file, const char* section, const char* key, uint16_t defaultValue);
/* Keeps file in memory for a series of reads of that file: 1, or 0 when it
 * cannot be read. */
int VelkSpeedIniAccess(const char* file);
void VelkEndSpeedIniAccess(void);

/* Parameter definitions in section "Module": keys "<base>[<test>][<index>]". */
long Bxi2GetParamPrivateProfileString(const char* file, const char* base, uint32_t test,
                                      uint32_t index, char* buffer, uint32_t size);
/* Index of the parameter id of test in file, -1 when none. */
int GetParamIndex(const char* file, uint32_t test, const char* id);
/* Fills type, name, description, flags, mask, default and limits of the
 * parameter index of test.  1, or 0 when memory runs out. */
int AssignParameterFieldsFromIniFileByIndex(const char* file, uint32_t test, uint32_t index,
                                            Bxi2_Parameter* parameter);
/* The same found by the parameter's id; an id the file does not define gets
 * the valid flag 1 (id not recognized).  1 or 0. */
int AssignParameterFieldsFromIniFile(const char* file, uint32_t test, Bxi2_Parameter* parameter);
/* AssignParameterFieldsFromIniFile for every record but the predefined one.
 * 1, or 0 on the first failure. */
int GetParamIniInfo(const char* file, uint32_t test, Bxi2_ParamList* list);

VELK_END_DECLS

#endif
