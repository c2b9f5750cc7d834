// Process launch, the bin and pipe directories and the file-name helpers.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "TestDirectory.h"
#include "process-helpers.h"
#include "test-common.h"

namespace {

using velk::testsupport::MakePrivateDirectory;
using velk::testsupport::ReadFile;
using velk::testsupport::RemoveTree;

// A private directory, removed with everything in it.
class TempDir {
  public:
    TempDir() : path_(MakePrivateDirectory("velk-proc")) {}
    ~TempDir() { RemoveTree(path_); }
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

void WriteFile(const std::string& path, const std::string& text, mode_t mode) {
    std::ofstream(path) << text;
    chmod(path.c_str(), mode);
}

// Waits for a child started by the code under test and returns its status.
int Reap(int pid) {
    int status = 0;
    EXPECT_EQ(waitpid(pid, &status, 0), pid);
    return status;
}

bool HasNoChildren() {
    return waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD;
}

// A shell script that writes its arguments, each followed by "|", to $1.
std::string ArgumentWriter(const TempDir& dir) {
    std::string script = dir.file("args.sh");
    WriteFile(script, "#!/bin/sh\nout=$1\nshift\nprintf '%s|' \"$@\" > \"$out\"\n", 0755);
    return script;
}

}  // namespace

TEST(VelkExec, MissingOrOverlongProgramStartsNothing) {
    int detail = 0;
    EXPECT_EQ(VelkVerboseExec("/nonexistent/velkcore", "-dew", &detail), -1);
    EXPECT_EQ(detail, VELK_EXEC_NOT_FOUND);
    std::string path = "/tmp/" + std::string(NAME_MAX + 10, 'x');
    EXPECT_EQ(VelkVerboseExec(path.c_str(), "", &detail), -1);
    EXPECT_EQ(detail, VELK_EXEC_NAME_TOO_LONG);
    EXPECT_TRUE(HasNoChildren());
}

TEST(VelkExec, FileThatCannotBeExecutedIsAFailureWithoutChild) {
    TempDir dir;
    std::string text = dir.file("plain.txt");
    WriteFile(text, "not a program\n", 0644);
    int detail = 7;
    testing::internal::CaptureStderr();
    EXPECT_EQ(VelkVerboseExec(text.c_str(), "", &detail), -1);
    std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(detail, 0);
    EXPECT_NE(errors.find("Unhandled Exec Error:"), std::string::npos);
    EXPECT_TRUE(HasNoChildren());
}

TEST(VelkExec, SplitsArgumentsAtBlanksAndPassesAtMostNineteen) {
    TempDir dir;
    std::string out = dir.file("out");
    std::string arguments = "   " + out + " trace  --multi -dew ";
    EXPECT_EQ(Reap(VelkVerboseExec(ArgumentWriter(dir).c_str(), arguments.c_str(), nullptr)), 0);
    EXPECT_EQ(ReadFile(out), "trace|--multi|-dew|");
    // The output file itself is the first of the nineteen.
    std::string expected;
    for (int i = 1; i <= 25; ++i) {
        out += " a" + std::to_string(i);
        expected += i <= 18 ? "a" + std::to_string(i) + "|" : "";
    }
    EXPECT_EQ(Reap(VelkExec(ArgumentWriter(dir).c_str(), out.c_str())), 0);
    EXPECT_EQ(ReadFile(dir.file("out")), expected);
}

TEST(VelkExec, ChildKeepsOnlyDescriptorsWithoutCloseOnExec) {
    TempDir dir;
    std::string out = dir.file("fds");
    std::string script = dir.file("fds.sh");
    WriteFile(script, "#!/bin/sh\nls /proc/$$/fd > \"$1\"\n", 0755);
    int closed = open("/dev/null", O_RDONLY | O_CLOEXEC);
    int inherited = open("/dev/null", O_RDONLY);
    ASSERT_GE(closed, 0);
    ASSERT_GE(inherited, 0);
    int pid = VelkExec(script.c_str(), out.c_str());
    ASSERT_GT(pid, 0);
    Reap(pid);
    close(closed);
    close(inherited);
    std::string listing = "\n" + ReadFile(out);
    EXPECT_EQ(listing.find("\n" + std::to_string(closed) + "\n"), std::string::npos);
    EXPECT_NE(listing.find("\n" + std::to_string(inherited) + "\n"), std::string::npos);
}

TEST(VelkClientTerminated, EndedRunningAndInvalidIds) {
    int ended = VelkExec("/bin/true", "");
    int running = VelkExec("/bin/sleep", "30");
    ASSERT_GT(ended, 0);
    ASSERT_GT(running, 0);
    siginfo_t info{};
    // Wait for the exit without reaping, so that the function does the reaping.
    ASSERT_EQ(waitid(P_PID, (id_t)ended, &info, WEXITED | WNOWAIT), 0);
    EXPECT_EQ(VelkClientTerminated(ended), 1);
    EXPECT_EQ(VelkClientTerminated(ended), 1);  // gone: still reported as ended
    EXPECT_EQ(VelkClientTerminated(running), 0);
    EXPECT_EQ(VelkClientTerminated(0), 0);
    EXPECT_EQ(VelkClientTerminated(-1), 0);  // must not reap some other child
    EXPECT_EQ(VelkClientTerminated(1), 0);   // alive, not ours
    kill(running, SIGKILL);
    Reap(running);
    EXPECT_TRUE(HasNoChildren());
}

TEST(VelkPrintExecError, PrintsTheTextOfEachDetail) {
    testing::internal::CaptureStdout();
    VelkPrintExecError("velkcore", VELK_EXEC_NOT_FOUND);
    VelkPrintExecError("velkcore", VELK_EXEC_NAME_TOO_LONG);
    VelkPrintExecError("velkcore", VELK_EXEC_TIMED_OUT);
    VelkPrintExecError("velkcore", 5);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Error executing velkcore: Component Not Found\n"
              "Error executing velkcore: Component Name is Too Long\n"
              "Error executing velkcore: Component Timed Out\n");
}

TEST(Directories, BinDirectoryNeedsAnExecutableVelkcore) {
    TempDir dir;
    testing::internal::CaptureStderr();
    VelkSetBinDirectory(dir.path().c_str());
    EXPECT_STREQ(VelkGetBinDirectory(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "*****************\nCannot Acces velkcore in " + dir.path() + "\n****************\n");

    WriteFile(dir.file("velkcore"), "#!/bin/sh\n", 0755);
    VelkSetBinDirectory(dir.path().c_str());
    EXPECT_EQ(VelkGetBinDirectory(), dir.path());
}

TEST(Directories, DotPathsAreRelativeToTheCurrentDirectory) {
    TempDir dir;
    mkdir(dir.file("sub").c_str(), 0700);
    char previous[PATH_MAX];
    ASSERT_NE(VelkGetCwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(VelkChDir(dir.file("sub").c_str()), 0);
    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);

    VelkSetPipeDirectory(".");
    EXPECT_EQ(std::string(VelkGetPipeDirectory()), cwd);
    VelkSetPipeDirectory("../sub");
    EXPECT_EQ(std::string(VelkGetPipeDirectory()), std::string(cwd) + "/../sub");
    ASSERT_EQ(VelkChDir(".."), 0);
    VelkSetPipeDirectory("./sub");
    EXPECT_EQ(std::string(VelkGetPipeDirectory()), std::string(cwd));
    VelkChDir(previous);
}

TEST(Directories, PipeDirectoryFollowsVelkTmp) {
    TempDir dir;
    std::string notADirectory = dir.file("file");
    WriteFile(notADirectory, "", 0600);

    setenv("VELK_TMP", dir.path().c_str(), 1);
    EXPECT_EQ(VelkGetPipeDirectory(), dir.path());

    for (const std::string& bad : {notADirectory, dir.file("missing")}) {
        setenv("VELK_TMP", bad.c_str(), 1);
        testing::internal::CaptureStderr();
        EXPECT_STREQ(VelkGetPipeDirectory(), "");
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "*****************\nCannot Acces " + bad + "\n****************\n");
    }
    if (geteuid() != 0) {  // root searches any directory
        mkdir(dir.file("locked").c_str(), 0);
        setenv("VELK_TMP", dir.file("locked").c_str(), 1);
        testing::internal::CaptureStderr();
        EXPECT_STREQ(VelkGetPipeDirectory(), "");
        testing::internal::GetCapturedStderr();
    }

    setenv("VELK_TMP", dir.path().c_str(), 1);
    VelkGetPipeDirectory();
    unsetenv("VELK_TMP");
    EXPECT_EQ(VelkGetPipeDirectory(), dir.path());  // kept once set

    testing::internal::CaptureStderr();
    VelkSetPipeDirectory(dir.file("missing").c_str());
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "*****************\nCannot Access " + dir.file("missing") + "\n****************\n");
}

TEST(PathNames, SplitFilename) {
    const char* cases[][5] = {{"a/b/c.tar.gz", "a/b/", "c", ".tar.gz", "c.tar.gz"},
                              {"prog", "", "prog", "", "prog"},
                              {"/opt/Velkor/bin/", "/opt/Velkor/bin/", "", "", ""}};
    for (const auto& c : cases) {
        char directory[64], base[64], extension[64], name[64];
        SplitFilename(c[0], directory, base, extension);
        EXPECT_STREQ(directory, c[1]);
        EXPECT_STREQ(base, c[2]);
        EXPECT_STREQ(extension, c[3]);
        GetPathFilename(c[0], name);
        EXPECT_STREQ(name, c[4]);
    }
    SplitFilename("a/b.c", nullptr, nullptr, nullptr);  // every part may be left out
}

TEST(PathNames, SizeInAppropriateUnits) {
    const struct {
        float bytes;
        const char* text;
    } cases[] = {
        {0, "0.00 B"},
        {900, "900.00 B"},
        {1000, "0.98 KB"},
        {943719, "0.90 MB"},
        {943718, "921.60 KB"},
        {1099511627776.0f, "1.00 TB"},
        {1125899906842624.0f, "1024.00 TB"},
    };
    for (const auto& each : cases) {
        char text[32];
        VelkSizeInAppropriateUnits(each.bytes, text);
        EXPECT_STREQ(text, each.text) << each.bytes;
    }
}

TEST(PathNames, GetFieldHandlesBlanksAndQuotes) {
    const char* line = "  one\t\"two three\"  four\n\"five";
    const char* expected[] = {"one", "two three", "four", "five"};
    char field[64];
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(VelkGetField(line, i, field), 1);
        EXPECT_STREQ(field, expected[i]);
    }
    EXPECT_EQ(VelkGetField(line, 4, field), 0);
    EXPECT_STREQ(field, "");
    EXPECT_EQ(VelkGetField(line, -1, field), 0);
    EXPECT_EQ(VelkGetField("\"\" x", 0, field), 1);
    EXPECT_STREQ(field, "");
}
