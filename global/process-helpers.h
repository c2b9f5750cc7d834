/* Process-level services: launching component programs, the process id that
 * names this process in messages and FIFO names, the bin and pipe
 * directories, and file-name helpers. */
#ifndef VELK_PROCESS_HELPERS_H
#define VELK_PROCESS_HELPERS_H

#include <stddef.h>
#include <stdint.h>

#include "velk-export.h"

VELK_BEGIN_DECLS

#define VELK_MAX_DIR 4096

/* Error details of VelkVerboseExec. */
#define VELK_EXEC_NOT_FOUND (-1)
#define VELK_EXEC_NAME_TOO_LONG (-2)
#define VELK_EXEC_TIMED_OUT (-3)

int VelkExec(const char* path, const char* arguments);
/* The child's process id, or -1 with *errorDetail set (may be NULL). */
int VelkVerboseExec(const char* path, const char* arguments, int* errorDetail);
void VelkPrintExecError(const char* path, int errorDetail);

uint32_t VelkGetClientPid(void); /* cached on first use */
uint32_t VelkGetPid(void);       /* fresh getpid */
int VelkWaitPid(int pid, int* status, int options);
int VelkClientTerminated(int pid); /* 1 when the child has ended (and is reaped) */

const char* VelkGetBinDirectory(void);
void VelkSetBinDirectory(const char* path);
const char* VelkGetPipeDirectory(void);
void VelkSetPipeDirectory(const char* path);
char* VelkGetCwd(char* buffer, size_t size);
int VelkChDir(const char* path);
int VelkGetStdInFileNo(void);

/* Each out buffer (may be NULL) must hold strlen(path) + 1 bytes. */
void SplitFilename(const char* path, char* directory, char* baseName, char* extension);
void GetPathFilename(const char* path, char* fileName);
/* out must hold at least 32 bytes. */
void VelkSizeInAppropriateUnits(float bytes, char* out);
/* out must hold strlen(line) + 1 bytes.  1 and the field, or 0 and "". */
int VelkGetField(const char* line, int index, char* out);
const char* GetLastErrnoError(int* errorNumber);

VELK_END_DECLS

#endif
