// Test harness for processes that talk over FIFOs: private directories,
// child processes stopped by pid, the real broker, and raw FIFO access.
#pragma once

#include <sys/types.h>

#include <csignal>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "TestDirectory.h"
#include "TestProcess.h"
#include "TestWait.h"

namespace velk::test {

using testsupport::ChildProcess;

// Reads raw bytes from fd until count bytes, or until they contain
// terminator when one is given, or timeoutMs passes.
std::string ReadRaw(int fd, size_t count, int timeoutMs, const std::string& terminator = "");
// Writes all bytes to fd (waiting on a full FIFO).
void WriteRaw(int fd, const std::string& bytes);

// The delimiter of a frame, built independently of the pipe layer.
std::string Delimiter(unsigned long sequence, int pid, int piece, int count,
                      unsigned long pieceLength, unsigned long totalLength);
// A whole message as one frame from writer pid.
std::string Frame(unsigned long sequence, int pid, const std::string& message);

// An enveloped command (type DE_COMMAND) to addressee with payload data;
// *id receives its message number.
std::string Request(const std::string& addressee, const std::string& data, uint32_t* id);
// The content of the element at path in message ("" when absent).
std::string FieldOf(const std::string& message, const char* path);

// The pipe layer of this process on FIFOs in a private directory.
class PipeLayerTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    std::string Child(const std::string& name) const { return dir_ + "/" + name; }
    // A FIFO made with VelkPipeMkFifo in the private directory.
    std::string MakeFifo(const std::string& name);
    // Opened without the layer; closed at TearDown.
    int OpenRaw(const std::string& path, int flags);

    // A FIFO read through the layer, fed raw bytes by the test.
    struct FedReader {
        int layerReader;
        int rawWriter;
    };
    FedReader MakeFedReader(const std::string& name);
    // VelkPipeRead: the whole messages waiting, "" when there are none.
    static std::string ReadMessages(int fd);

    std::string dir_;
    std::vector<int> rawDescriptors_;
};

// A private pipe directory and home, the pipe layer and its thread set up,
// and the process's environment pointing at them.  TearDown closes the
// connection, stops every started process and checks that no FIFO is left.
class TransportTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    std::string PipeDir() const { return root_ + "/pipes"; }
    std::string HomeDir() const { return root_ + "/home"; }
    std::string BrokerFifo() const { return PipeDir() + "/VELKFIFO"; }
    std::vector<std::string> PipeDirEntries() const {
        return testsupport::ListDirectory(PipeDir());
    }

    // Starts program with VELK_TMP, HOME and VELKOR_HOME set for the test.
    ChildProcess& Start(const std::string& program, const std::vector<std::string>& arguments);
    // Starts velkcore (or another engine program) with the launch words and
    // waits until it reads its FIFO (VELKFIFO, or VELKFIFO_<pid> with --multi).
    ChildProcess& StartBroker(const std::vector<std::string>& words = {},
                              const std::string& program = VELK_CORE_PATH);
    // Starts the peer program in mode and waits for its "READY <code>" line;
    // the code (-1 when none came).
    ChildProcess& StartPeer(const std::string& mode, int* readyCode);

    // A transaction (type DE_COMMAND, payload data) through our connection:
    // the result code and the reply.  *requestId receives the request's ID.
    std::pair<int, std::string> Transact(const std::string& addressee, const std::string& data,
                                         int timeoutMs = 10000, uint32_t bufferSize = 8192,
                                         uint32_t* requestId = nullptr);
    // The DATA of the fake engine's answer to command (its DIAGENGINE
    // component); every message written before it has been handled by then.
    std::string AskFakeEngine(const std::string& command);

    std::string root_;
    std::vector<std::unique_ptr<ChildProcess>> children_;
    std::vector<pid_t> brokers_;
};

}  // namespace velk::test
