// The FIFO pipe layer on real FIFOs: bytes on the wire, reassembly, queues,
// FIFO creation and a reader that must survive any input.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "pipe-lowlevel.h"
#include "transport_harness.h"
#include "transport_samples.h"

namespace {

using velk::test::Delimiter;
using velk::test::Frame;
using velk::test::ReadRaw;
using velk::test::WriteRaw;
using PipeFifoTest = velk::test::PipeLayerTest;

constexpr int kWaitMs = 10000;

std::string Pattern(size_t length) {
    std::string text(length, '\0');
    for (size_t i = 0; i < length; ++i) {
        text[i] = static_cast<char>('A' + (i * 7) % 26);
    }
    return text;
}

TEST_F(PipeFifoTest, ExampleCommandTravelsAsOneFrameOfItsWritersFirstMessage) {
    const std::string example(velk::test::kExampleCommand);
    std::string path = MakeFifo("example");
    int reader = OpenRaw(path, O_RDONLY);
    velk::test::ChildProcess writer(VELK_PEER_PATH, {"write-example", path}, {}, Child("peer"));
    std::string expected = Delimiter(1, writer.Pid(), 1, 1, 157, 157) + example;
    std::string bytes = ReadRaw(reader, expected.size(), kWaitMs);
    std::optional<int> status = writer.WaitForExit(kWaitMs);
    EXPECT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(ReadRaw(reader, 1, 50), "") << "nothing follows the frame";
}

TEST_F(PipeFifoTest, LongMessagesLeaveAsPiecesOf4020BytesAndComeBackWhole) {
    for (size_t total : {size_t{9000}, size_t{8040}}) {
        SCOPED_TRACE(total);
        std::string path = MakeFifo("long" + std::to_string(total));
        int rawReader = OpenRaw(path, O_RDONLY);
        int writer = VelkPipeOpen(path.c_str(), 1);
        std::string message = Pattern(total);
        ASSERT_EQ(VelkPipeWrite(writer, message.data(), static_cast<int>(total)),
                  static_cast<int>(total));
        std::string bytes = ReadRaw(rawReader, 1 << 16, 200);
        unsigned long sequence = std::stoul(bytes.substr(6, bytes.find(':', 6) - 6));
        std::string expected;
        for (size_t offset = 0, piece = 1; offset < total; offset += 4020, ++piece) {
            size_t length = std::min<size_t>(4020, total - offset);
            expected += Delimiter(sequence, getpid(), static_cast<int>(piece),
                                  static_cast<int>((total + 4019) / 4020), length, total) +
                        message.substr(offset, length);
        }
        EXPECT_EQ(bytes, expected);

        auto fed = MakeFedReader("again" + std::to_string(total));
        WriteRaw(fed.rawWriter, bytes);
        EXPECT_EQ(ReadMessages(fed.layerReader), message);
        EXPECT_EQ(VelkPipeClose(writer), 0);
    }
}

TEST_F(PipeFifoTest, SelectReportsWaitingMessagesAndOneReadTakesThemAll) {
    auto fed = MakeFedReader("two");
    EXPECT_EQ(VelkPipeSelect(fed.layerReader, -1, 20), 0);
    WriteRaw(fed.rawWriter, Frame(1, 4242, "first\r\n") + Frame(2, 4242, "second\r\n"));
    EXPECT_EQ(VelkPipeSelect(fed.layerReader, -1, kWaitMs), 1);
    EXPECT_EQ(VelkPipeSelect(fed.layerReader, -1, kWaitMs), 1);
    EXPECT_EQ(ReadMessages(fed.layerReader), "first\r\nsecond\r\n");
    EXPECT_EQ(ReadMessages(fed.layerReader), "");
}

TEST_F(PipeFifoTest, DescriptorsAreNonBlockingCloseOnExecAndOnlyListedOnesAreUsed) {
    std::string path = MakeFifo("flags");
    int rawReader = OpenRaw(path, O_RDONLY);
    int rawWriter = OpenRaw(path, O_WRONLY);
    int reader = VelkPipeOpen(path.c_str(), 0);
    int writer = VelkPipeOpen(path.c_str(), 1);
    for (int fd : {reader, writer}) {
        EXPECT_NE(fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
        EXPECT_NE(fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
    }
    EXPECT_EQ(VelkPipeIsListed(writer, path.c_str()), 1);
    EXPECT_EQ(VelkPipeIsListed(writer, "/elsewhere"), 0);
    for (int fd : {rawWriter, reader, 12345}) {
        EXPECT_EQ(VelkPipeWrite(fd, "hello", 5), -1) << fd;
    }
    EXPECT_EQ(ReadRaw(rawReader, 1, 50), "");
    EXPECT_EQ(VelkPipeClose(rawWriter), 0);
    EXPECT_NE(fcntl(rawWriter, F_GETFD), -1) << "closed a descriptor it does not own";
}

TEST_F(PipeFifoTest, OnlyAGoneReaderClosesTheFifoNotA32ByteMessage) {
    std::string path = MakeFifo("gone");
    int rawReader = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    int writer = VelkPipeOpen(path.c_str(), 1);
    std::string message = "<STOP><PID>123456</PID></STOP>\r\n";  // 32 bytes, as EPIPE
    EXPECT_EQ(VelkPipeWrite(writer, message.data(), 32), 32);
    EXPECT_EQ(VelkPipeIsListed(writer, path.c_str()), 1);
    EXPECT_NE(ReadRaw(rawReader, 1 << 16, 200).find(message), std::string::npos);
    close(rawReader);
    EXPECT_EQ(VelkPipeWrite(writer, "lost", 4), 0);
    EXPECT_EQ(VelkPipeIsListed(writer, path.c_str()), 0);
    EXPECT_EQ(VelkPipeWrite(writer, "lost", 4), -1);
}

TEST_F(PipeFifoTest, MkFifoMakesMode0660ReusesOnlyAFifoAndLeavesEverythingElseAlone) {
    mode_t previous = umask(077);
    EXPECT_EQ(VelkPipeMkFifo(Child("fresh").c_str()), 0);
    EXPECT_EQ(umask(previous), 077u) << "the mask is not touched";
    struct stat status {};
    ASSERT_EQ(lstat(Child("fresh").c_str(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));
    EXPECT_EQ(status.st_mode & 07777, 0660u);
    EXPECT_EQ(VelkPipeMkFifo(Child("fresh").c_str()), 0);

    close(open(Child("file").c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600));
    ASSERT_EQ(symlink(Child("fresh").c_str(), Child("link").c_str()), 0);
    for (const char* planted : {"file", "link"}) {
        EXPECT_EQ(VelkPipeMkFifo(Child(planted).c_str()), -1) << planted;
        EXPECT_EQ(VelkPipeOpen(Child(planted).c_str(), 0), -1) << planted;
        EXPECT_EQ(VelkPipeOpen(Child(planted).c_str(), 1), -1) << planted;
        ASSERT_EQ(lstat(Child(planted).c_str(), &status), 0);
        EXPECT_FALSE(S_ISFIFO(status.st_mode));
    }

    // A directory others may write needs the sticky bit.
    ASSERT_EQ(mkdir(Child("open").c_str(), 0700), 0);
    ASSERT_EQ(chmod(Child("open").c_str(), 0777), 0);
    EXPECT_EQ(VelkPipeMkFifo(Child("open/f").c_str()), -1);
    ASSERT_EQ(chmod(Child("open").c_str(), 01777), 0);
    EXPECT_EQ(VelkPipeMkFifo(Child("open/f").c_str()), 0);
}

TEST_F(PipeFifoTest, ReaderDeliversExactlyTheGoodFrameWhateverPrecedesIt) {
    const std::string start = "|\x01\x01\x01";
    const std::string end = "\x01\x01\x01|";
    const std::vector<std::string> junk = {
        "plain garbage",
        "|\x01\x01 almost a marker",
        start + "H:1:500:1:1:5:abc:" + end,               // bad number
        start + "H:9:500:1:5000:10:17000000:" + end,      // absurd total
        start + "H:9:500:1:1:50:10:" + end,               // piece longer than message
        Delimiter(9, 500, 2, 2, 4, 8) + "ZZZZ",           // piece of an unknown message
        start + "H:" + std::string(60, '1') + ":" + end,  // delimiter too long
        std::string("\0\0\0|", 4),
    };
    for (const std::string& bytes : junk) {
        SCOPED_TRACE(bytes);
        auto fed = MakeFedReader("junk");
        WriteRaw(fed.rawWriter, bytes + Frame(1, 500, "good\r\n"));
        EXPECT_EQ(ReadMessages(fed.layerReader), "good\r\n");
        VelkPipeClose(fed.layerReader);
        unlink(Child("junk").c_str());
    }
}

TEST_F(PipeFifoTest, FrameSplitAcrossReadsIsCompletedAndAShortOneNeverDelivered) {
    auto fed = MakeFedReader("split");
    std::string frame = Frame(1, 600, "split message\r\n");
    for (size_t cut : {size_t{2}, size_t{17}, frame.size() - 3}) {
        SCOPED_TRACE(cut);
        WriteRaw(fed.rawWriter, frame.substr(0, cut));
        EXPECT_EQ(ReadMessages(fed.layerReader), "");
        WriteRaw(fed.rawWriter, frame.substr(cut));
        EXPECT_EQ(ReadMessages(fed.layerReader), "split message\r\n");
    }
    WriteRaw(fed.rawWriter, Delimiter(1, 700, 1, 1, 100, 100) + "only ten b");
    EXPECT_EQ(ReadMessages(fed.layerReader), "");
    EXPECT_EQ(VelkPipeSelect(fed.layerReader, -1, 0), 0);
}

TEST_F(PipeFifoTest, FullFifoKeepsFramesQueuedAndInOrder) {
    std::string path = MakeFifo("full");
    int rawReader = OpenRaw(path, O_RDONLY);
    int writer = VelkPipeOpen(path.c_str(), 1);
    std::string expected;
    for (int i = 0; i < 40; ++i) {
        std::string message = (std::to_string(i) + ":" + Pattern(4000)).substr(0, 4000);
        ASSERT_EQ(VelkPipeWrite(writer, message.data(), 4000), 4000);
        expected += message;
    }
    EXPECT_GT(VelkFlushWritePipe(writer, 0), 0) << "a 64 KiB FIFO cannot hold 160 KB";

    std::string bytes;
    do {
        bytes += ReadRaw(rawReader, 1 << 20, 20);
    } while (VelkFlushWritePipe(writer, 10) > 0);
    bytes += ReadRaw(rawReader, 1 << 20, 50);

    auto fed = MakeFedReader("full-again");
    std::string received;
    for (size_t done = 0; done < bytes.size(); done += 32768) {
        WriteRaw(fed.rawWriter, bytes.substr(done, 32768));
        received += ReadMessages(fed.layerReader);
    }
    EXPECT_TRUE(received == expected) << received.size() << " of " << expected.size();
}

TEST_F(PipeFifoTest, ReaderStaysWithinItsBytesForAnyInput) {
    // Random bytes rich in markers, delimiter pieces and digits; the reader
    // must neither crash nor deliver more than it was given.
    const std::string alphabet[] = {"|\x01\x01\x01", "\x01\x01\x01|", "H:", "F:",   ":", "1", "9",
                                    "4020",          "999999999",     "x",  "\r\n", "|"};
    auto fed = MakeFedReader("random");
    unsigned state = 12345;
    size_t written = 0;
    size_t delivered = 0;
    for (int round = 0; round < 300; ++round) {
        std::string bytes;
        while (bytes.size() < 600) {
            state = state * 1103515245u + 12345u;
            bytes += alphabet[(state >> 16) % (sizeof alphabet / sizeof alphabet[0])];
        }
        WriteRaw(fed.rawWriter, bytes);
        written += bytes.size();
        delivered += ReadMessages(fed.layerReader).size();
        EXPECT_LE(delivered, written);
    }
}

}  // namespace
