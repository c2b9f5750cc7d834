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

/* Starts the program at path without waiting for it.  arguments is split at
 * blanks (runs of blanks count as one, leading and trailing ones are dropped)
 * into at most 19 arguments; any further ones are ignored.  The child keeps
 * no descriptor opened close-on-exec and starts with an empty signal mask and
 * the default SIGPIPE action.  Returns the child's process id (reap it, for
 * example with VelkClientTerminated), or -1 with *errorDetail (may be NULL)
 * set to VELK_EXEC_NOT_FOUND, VELK_EXEC_NAME_TOO_LONG, or 0 for any other
 * failure (reported with perror), and no child left behind. */
int VelkVerboseExec(const char* path, const char* arguments, int* errorDetail);
int VelkExec(const char* path, const char* arguments);
void VelkPrintExecError(const char* path, int errorDetail);

uint32_t VelkGetClientPid(void); /* cached on first use */
uint32_t VelkGetPid(void);       /* fresh getpid */
int VelkWaitPid(int pid, int* status, int options);
/* 1 when the child has ended (it is then reaped) or no process pid exists any
 * more; 0 while it runs and for ids of 0 or below. */
int VelkClientTerminated(int pid);

/* Directories: a path starting with "." is taken relative to the current
 * directory.  The bin directory must hold an executable "velkcore" and the
 * pipe directory must be a searchable directory; otherwise the directory
 * becomes "" and a notice goes to standard error.  VelkGetPipeDirectory takes
 * the environment variable VELK_TMP on every call when it is set; otherwise
 * the directory set before, or else the current directory. */
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
/* The text of errno (kept per thread); *errorNumber (may be NULL) gets errno. */
const char* GetLastErrnoError(int* errorNumber);

VELK_END_DECLS

#endif
