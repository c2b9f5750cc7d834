// Trace files are private to their user and never written through whatever
// someone else planted under their name.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "tracing.h"

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class TraceFileSafetyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/velk-trace-safety-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        SetTraceFilenameForComponent(nullptr);
        for (const char* name : {"trace", "target", "link", "fifo"}) {
            unlink((dir_ + "/" + name).c_str());
        }
        rmdir(dir_.c_str());
    }
    // Writes one trace line with the trace file set to path.
    static void TraceInto(const std::string& path) {
        SetTraceFilenameForComponent(path.c_str());
        VelkSetTracingType(VELK_TRACE_DIAG, 1);
        VTRACE(VELK_TRACE_DIAG, "secret\n");
        VelkSetTracingType(VELK_TRACE_DIAG, 0);
    }
    std::string dir_;
};

TEST_F(TraceFileSafetyTest, NewTraceFileIsReadableByItsUserOnly) {
    mode_t previous = umask(0);
    TraceInto(dir_ + "/trace");
    umask(previous);
    struct stat status {};
    ASSERT_EQ(lstat((dir_ + "/trace").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    EXPECT_NE(ReadFile(dir_ + "/trace").find("secret"), std::string::npos);
}

TEST_F(TraceFileSafetyTest, NothingIsWrittenThroughALinkOrIntoAFifo) {
    const std::string target = dir_ + "/target";
    close(open(target.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600));
    ASSERT_EQ(symlink(target.c_str(), (dir_ + "/link").c_str()), 0);
    TraceInto(dir_ + "/link");
    EXPECT_EQ(ReadFile(target), "") << "the line went through the link";

    ASSERT_EQ(mkfifo((dir_ + "/fifo").c_str(), 0600), 0);
    int reader = open((dir_ + "/fifo").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    TraceInto(dir_ + "/fifo");
    char byte = 0;
    EXPECT_LE(read(reader, &byte, 1), 0) << "the line went into the FIFO";
    close(reader);
}

}  // namespace
