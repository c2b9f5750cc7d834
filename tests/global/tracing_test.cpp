// Trace types, switching tracing on, trace lines, trace files and process
// names.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "TestDirectory.h"
#include "process-helpers.h"
#include "tracing.h"

namespace {

using velk::testsupport::ReadFile;

// Sends trace lines to a fresh file for the life of the object.
class TraceFile {
  public:
    TraceFile() {
        char pattern[] = "/tmp/velk-trace-XXXXXX";
        int descriptor = mkstemp(pattern);
        close(descriptor);
        path_ = pattern;
        SetTraceFilenameForComponent(path_.c_str());
    }
    ~TraceFile() {
        SetTraceFilenameForComponent(nullptr);
        unlink(path_.c_str());
    }
    std::string text() const { return ReadFile(path_); }

  private:
    std::string path_;
};

std::string Header(const char* function, int line) {
    return std::string(InitProcName()) + "(" + std::to_string(getpid()) + "):" + function +
           "():tracing_test.cpp:" + std::to_string(line) + " ";
}

}  // namespace

TEST(TraceTypes, NamesParseCaseInsensitively) {
    const char* names[] = {"pipe", "pipe2", "mem", nullptr, "diag", "mb",
                           "de",   "nls",   "cli", "pv",    "dll"};
    for (int type = 0; type < VELK_TRACE_TYPE_COUNT; ++type) {
        if (names[type] == nullptr) {
            continue;
        }
        std::string upper = names[type];
        for (char& c : upper) {
            c = (char)toupper(c);
        }
        EXPECT_EQ(TracingTypeStrToType(names[type]), type);
        EXPECT_EQ(TracingTypeStrToType(upper.c_str()), type);
    }
    EXPECT_EQ(TracingTypeStrToType("pipes"), -1);
    EXPECT_EQ(TracingTypeStrToType(""), -1);
    EXPECT_EQ(TracingTypeStrToType(nullptr), -1);
}

TEST(TraceTypes, OwnTypeFollowsTheProcessName) {
    EXPECT_EQ(VelkTraceTypeForProcessName("velkcore"), VELK_TRACE_MB);
    EXPECT_EQ(VelkTraceTypeForProcessName("DiagEngine"), VELK_TRACE_DE);
    EXPECT_EQ(VelkTraceTypeForProcessName("NLSENGINE"), VELK_TRACE_NLS);
    EXPECT_EQ(VelkTraceTypeForProcessName("velkcli"), VELK_TRACE_CLI);
    EXPECT_EQ(VelkTraceTypeForProcessName("VeLkHardDrive"), VELK_TRACE_DIAG);
    EXPECT_EQ(VelkTraceTypeForProcessName(nullptr), VELK_TRACE_DIAG);

    // This test program counts as "any other program".
    VelkSetTracingType(VELK_TRACE_DIAG, 1);
    EXPECT_EQ(TracingTypeEnabled(VELK_TRACE_OWN), 1);
    VelkSetTracingType(VELK_TRACE_OWN, 0);
    EXPECT_EQ(TracingTypeEnabled(VELK_TRACE_DIAG), 0);
}

TEST(TraceTypes, ListSwitchesNamedTypesOn) {
    VelkSetTracingType(11, 1);  // no such type
    EXPECT_EQ(TracingTypeEnabled(11), 0);
    EXPECT_EQ(TracingTypeEnabled(-1), 0);
    EXPECT_EQ(VelkSetTracingFromList(" pipe2 , MEM"), 0);
    EXPECT_EQ(TracingTypeEnabled(VELK_TRACE_PIPE2), 1);
    EXPECT_EQ(TracingTypeEnabled(VELK_TRACE_MEM), 1);
    EXPECT_EQ(TracingTypeEnabled(VELK_TRACE_PIPE), 0);
    EXPECT_EQ(VelkSetTracingFromList("dll,bogus"), -1);
    EXPECT_EQ(TracingTypeEnabled(VELK_TRACE_DLL), 1);
    EXPECT_EQ(VelkSetTracingFromList("all"), 0);
    for (int type = 0; type < VELK_TRACE_TYPE_COUNT; ++type) {
        EXPECT_EQ(TracingTypeEnabled(type), 1) << type;
    }
    for (int type = 0; type < VELK_TRACE_TYPE_COUNT; ++type) {
        VelkSetTracingType(type, 0);
    }
}

TEST(TraceTypes, EnvironmentIsReadOnFirstUse) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The child runs this test from its start in a fresh process.
    setenv("VELK_TRACE", "nls,cli", 1);
    setenv("VELK_TRACE_FILE", "/tmp/velk-env-trace", 1);
    EXPECT_EXIT(
        {
            bool ok = TracingTypeEnabled(VELK_TRACE_NLS) && TracingTypeEnabled(VELK_TRACE_CLI) &&
                      !TracingTypeEnabled(VELK_TRACE_DLL) &&
                      std::string(VelkGetTraceFilename()) == "/tmp/velk-env-trace";
            std::exit(ok ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
    unsetenv("VELK_TRACE");
    unsetenv("VELK_TRACE_FILE");
}

TEST(TraceLines, GoToTheTraceFileWithHeader) {
    TraceFile file;
    VelkSetTracingType(VELK_TRACE_DLL, 1);
    int line = __LINE__ + 1;
    VTRACE(VELK_TRACE_DLL, "value %d of %s\n", 42, "x");
    VTRACE(VELK_TRACE_PIPE, "not on\n");
    TPRINTF(VELK_TRACE_DLL, "global/message-read.c", 7, "Reader", "second\n");
    VelkSetTracingType(VELK_TRACE_DLL, 0);
    VTRACE(VELK_TRACE_DLL, "off again\n");
    EXPECT_EQ(file.text(), Header("TestBody", line) + "value 42 of x\n" + InitProcName() + "(" +
                               std::to_string(getpid()) + "):Reader():message-read.c:7 second\n");
}

TEST(TraceLines, LongMessageIsCutAndEndsTheLineAndErrnoIsKept) {
    TraceFile file;
    VelkSetTracingType(VELK_TRACE_DLL, 1);
    std::string longText(3 * VELK_TRACE_LINE_MAX, 'y');
    errno = EAGAIN;
    VTRACE(VELK_TRACE_DLL, "%s\n", longText.c_str());
    EXPECT_EQ(errno, EAGAIN);
    VelkSetTracingType(VELK_TRACE_DLL, 0);
    std::string text = file.text();
    EXPECT_EQ(text.size(), (size_t)VELK_TRACE_LINE_MAX - 1);
    EXPECT_EQ(text.back(), '\n');
}

TEST(TraceLines, LinesFromThreadsStayWhole) {
    TraceFile file;
    VelkSetTracingType(VELK_TRACE_PIPE, 1);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 200; ++i) {
                VTRACE(VELK_TRACE_PIPE, "thread %d line %d %s\n", t, i,
                       std::string(300, 'z').c_str());
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    VelkSetTracingType(VELK_TRACE_PIPE, 0);
    std::istringstream lines(file.text());
    const std::string prefix = std::string(InitProcName()) + "(" + std::to_string(getpid()) +
                               "):operator()():tracing_test.cpp:";
    const std::string tail = " " + std::string(300, 'z');
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        // "<header with line number> thread <t> line <i> zzz...z"
        bool whole = line.compare(0, prefix.size(), prefix) == 0 &&
                     line.find(" thread ", prefix.size()) != std::string::npos &&
                     line.size() > tail.size() &&
                     line.compare(line.size() - tail.size(), tail.size(), tail) == 0 &&
                     line.find('z') == line.size() - 300;
        EXPECT_TRUE(whole) << line;
        ++count;
    }
    EXPECT_EQ(count, 800);
}

TEST(TraceFiles, RelativeNameIsMadeAbsolute) {
    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    SetTraceFilenameForComponent("velk_rel_trace");
    EXPECT_EQ(std::string(VelkGetTraceFilename()), std::string(cwd) + "/velk_rel_trace");
    SetTraceFilenameForComponent("");
    EXPECT_STREQ(VelkGetTraceFilename(), "");
}

TEST(TraceFiles, TraceArgumentNamesTheProgramFile) {
    if (getenv("VELK_TRACE_FILE") != nullptr) {
        GTEST_SKIP() << "VELK_TRACE_FILE takes precedence";
    }
    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    char program[] = "/opt/Velkor/bin/velkcore.bin";
    char other[] = "-dew";
    char trace[] = "--trace";
    char* without[] = {program, other, nullptr};
    ProcessTracingArgs(2, without);
    EXPECT_STREQ(VelkGetTraceFilename(), "");
    char* with[] = {program, other, trace, nullptr};
    ProcessTracingArgs(3, with);
    EXPECT_EQ(std::string(VelkGetTraceFilename()),
              std::string(cwd) + "/velkcore" + std::to_string(getpid()) + "_trace");
    SetTraceFilenameForComponent(nullptr);
}

TEST(ProcessNames, OwnAndOtherProcesses) {
    EXPECT_STREQ(InitProcName(), "tracing_test");
    char name[64];
    EXPECT_STREQ(PidToProcName(getpid(), name, sizeof name), "tracing_test");
    EXPECT_STREQ(PidToProcName(-5, name, sizeof name), "????");
    char small[5];
    EXPECT_STREQ(PidToProcName(getpid(), small, sizeof small), "trac");
}
