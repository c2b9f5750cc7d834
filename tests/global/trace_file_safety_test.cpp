// Trace files are private to their user and never written through whatever
// someone else planted under their name.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "TestDirectory.h"
#include "tracing.h"

namespace {

class TraceFileSafetyTest : public ::testing::Test {
  protected:
    void TearDown() override {
        SetTraceFilenameForComponent(nullptr);
        velk::testsupport::RemoveTree(dir_);
    }
    std::string Path(const char* name) const { return dir_ + "/" + name; }
    // Writes one trace line with the trace file set to name; what the file
    // read then holds.
    std::string TraceInto(const char* name, const char* read) {
        SetTraceFilenameForComponent(Path(name).c_str());
        VelkSetTracingType(VELK_TRACE_DIAG, 1);
        VTRACE(VELK_TRACE_DIAG, "secret\n");
        VelkSetTracingType(VELK_TRACE_DIAG, 0);
        return velk::testsupport::ReadFile(Path(read));
    }
    std::string dir_ = velk::testsupport::MakePrivateDirectory("velk-trace-safety");
};

TEST_F(TraceFileSafetyTest, NewTraceFileIsReadableByItsUserOnly) {
    mode_t previous = umask(0);
    EXPECT_NE(TraceInto("trace", "trace").find("secret"), std::string::npos);
    umask(previous);
    struct stat status {};
    ASSERT_EQ(lstat(Path("trace").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
}

TEST_F(TraceFileSafetyTest, NothingIsWrittenThroughALinkOrIntoAFifo) {
    close(open(Path("target").c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600));
    ASSERT_EQ(symlink(Path("target").c_str(), Path("link").c_str()), 0);
    EXPECT_EQ(TraceInto("link", "target"), "") << "the line went through the link";

    ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0600), 0);
    int reader = open(Path("fifo").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    TraceInto("fifo", "target");
    char byte = 0;
    EXPECT_LE(read(reader, &byte, 1), 0) << "the line went into the FIFO";
    close(reader);
}

}  // namespace
