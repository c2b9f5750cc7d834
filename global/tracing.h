/* Trace facility: one on/off flag per trace type; a trace line carries the
 * process name, id, function, source file and line.  Lines go to standard
 * error, or to a per-program trace file when one is in force.
 *
 * Switching on: the environment variable VELK_TRACE holds a comma-separated
 * list of trace type names ("pipe,mem,dll") or "all"; it is read once, on the
 * first trace call.  VELK_TRACE_FILE names a trace file for every program.
 *
 * Trace files: lines are appended (the file is opened and closed for each
 * line, so it may be removed or rotated at any time).  A new trace file is
 * made with mode 0600; the name is never followed through a symbolic link,
 * and a name that holds anything but a regular file of this user is not
 * written to (the line goes to standard error instead).  A relative file name
 * is made absolute against the current directory when it is set.
 * ProcessTracingArgs gives a program that was started with an argument
 * containing "trace" the file "<program base name><pid>_trace" in the current
 * directory, unless VELK_TRACE_FILE names one.  The argument only chooses the
 * file; which types are written is still up to VELK_TRACE or
 * VelkSetTracingType.
 *
 * A trace line is formatted into one bounded buffer (VELK_TRACE_LINE_MAX
 * bytes; longer messages are cut and end in a line feed) and written with a
 * single write, so lines from several threads do not interleave. */
#ifndef VELK_TRACING_H
#define VELK_TRACING_H

#include <stdarg.h>

#include "velk-export.h"

VELK_BEGIN_DECLS

enum VelkTraceType {
    VELK_TRACE_PIPE = 0,  /* "pipe": FIFO pipe layer */
    VELK_TRACE_PIPE2 = 1, /* "pipe2": read/write thread start and stop */
    VELK_TRACE_MEM = 2,   /* "mem": memory block tracing */
    VELK_TRACE_OWN = 3,   /* the running program's own type, by its process name */
    VELK_TRACE_DIAG = 4,  /* "diag": module side and any other program */
    VELK_TRACE_MB = 5,    /* "mb": velkcore */
    VELK_TRACE_DE = 6,    /* "de": diagengine */
    VELK_TRACE_NLS = 7,   /* "nls": nlsengine */
    VELK_TRACE_CLI = 8,   /* "cli": velkcli */
    VELK_TRACE_PV = 9,    /* "pv": module parameter handling */
    VELK_TRACE_DLL = 10   /* "dll": engine client API */
};
#define VELK_TRACE_TYPE_COUNT 11
#define VELK_TRACE_LINE_MAX 4096

void TPRINTF(int type, const char* sourcePath, int line, const char* function, const char* format,
             ...) VELK_PRINTF(5, 6);
void VTPRINTF(int type, const char* sourcePath, int line, const char* function, const char* format,
              va_list args) VELK_PRINTF(5, 0);
void TPRINTF_NH(int type, const char* sourcePath, int line, const char* format, ...)
    VELK_PRINTF(4, 5);

/* Trace at the call site: VTRACE(VELK_TRACE_PIPE, "fmt", ...). */
#define VTRACE(type, ...) TPRINTF((type), __FILE__, __LINE__, __func__, __VA_ARGS__)

int TracingTypeEnabled(int type);
int TracingTypeStrToType(const char* name); /* -1 for an unknown name */
/* Type 3 stands for the running program's own type: setting it sets that. */
void VelkSetTracingType(int type, int on);
/* The own trace type of a program by its process name (case-insensitive):
 * "velkcore" 5, "diagengine" 6, "nlsengine" 7, "velkcli" 8, any other 4. */
int VelkTraceTypeForProcessName(const char* name);
/* Parses a VELK_TRACE-style list ("pipe,mem" or "all"); 0, or -1 on an unknown name. */
int VelkSetTracingFromList(const char* list);

void ProcessTracingArgs(int argc, char** argv);
/* NULL or "" sends trace lines back to standard error. */
void SetTraceFilenameForComponent(const char* fileName);
/* The trace file in force, "" for standard error. */
const char* VelkGetTraceFilename(void);

/* Process name: base name of this process's command, "????" when unreadable. */
const char* InitProcName(void);
/* The name of process pid into buffer ("????" when unreadable); buffer. */
const char* PidToProcName(int pid, char* buffer, int size);

/* Stopwatch: VelkTimeStamp starts it, VelkTimeDiff gives the milliseconds
 * since. */
void VelkTimeStamp(void);
unsigned long VelkTimeDiff(void);

/* Opens an xterm with gdb attached to this process (nothing when xterm is
 * missing). */
void StartGdb(const char* programName, const char* commandFile);

VELK_END_DECLS

#endif
