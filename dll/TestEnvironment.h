// CTestEnvironment: the root object of the engine client API.  One instance
// stands for one connection to the diagnostic engine: it launches the engine
// when none answers, connects, reads the engine's list of devices with their
// modules and tests, and owns the scenarios through which tests are run.
//
// CTestEnvironment is the interface of a CTestEnvironmentImp; destroying
// either side destroys the other.  The environment is not internally locked:
// its user serialises access to it.  One connection per process, so one
// started environment per process.
#pragma once

#include <ostream>
#include <string>

namespace VELKCORE {

class CTestEnvironmentImp;
class CDevice;
class CScenario;
class CNLS;

class CTestEnvironment {
  public:
    enum State : int { DISCONNECTED = 0, READY = 2, NOT_READY = 3, ENGINE_AVAILABLE = 5 };

    // Construction options (bits).
    // The engine is launched with the argument "trace ".
    static constexpr unsigned int OPTION_TRACE = 0x01;
    // The engine is always launched; its process id names its broker FIFO.
    static constexpr unsigned int OPTION_MULTI_INSTANCE = 0x02;
    // The engine is launched with "-dew " and this client asks for the
    // module scan itself (SCAN_MODULES).
    static constexpr unsigned int OPTION_CLIENT_ENUMERATION = 0x04;
    // Tests that the engine reports as running are taken over by a scenario.
    static constexpr unsigned int OPTION_ADOPT_RUNNING_TESTS = 0x10;

    CTestEnvironment();
    explicit CTestEnvironment(unsigned int options);
    // The interface of an implementation created first.
    explicit CTestEnvironment(CTestEnvironmentImp* imp);
    virtual ~CTestEnvironment();
    CTestEnvironment(const CTestEnvironment&) = delete;
    CTestEnvironment& operator=(const CTestEnvironment&) = delete;

    // Start(0, nullptr).
    int Start();
    // Connects to a running engine or launches "velkcore" from the home
    // directory and connects to it (up to 13 attempts, 500 ms apart), waits
    // for the engine's device enumeration and reads the device list.  argv
    // names the modules to scan with OPTION_CLIENT_ENUMERATION.  0 READY;
    // 1 NOT_READY; -1 the launcher is missing, -2 its path is too long.
    int Start(int argc, char** argv);
    // Sets the trace option, then Start().
    int DebugStart(bool trace);
    // Asks the engine's message broker to stop (connecting first when not
    // READY), closes the connection and stops the transport thread; an engine
    // that this environment launched is then waited for.  Always 0.
    int Stop();
    // Closes the connection without stopping the engine.  Always 0.
    int CloseClient();
    // While DISCONNECTED, probes whether an engine accepts connections
    // (ENGINE_AVAILABLE).  Always 0.
    int GetState(State& state) const;
    // Asks the engine to rescan (RESCAN_DEVICES) and reads the device list
    // again: 0, or 1 (NOT_READY when the new list cannot be read).
    int RescanDevices();
    // Accepted (0) only when dir holds "velkcore"; else 1, home unchanged.
    int SetVelkHomeDir(const std::string& dir);
    std::string GetVelkHomeDir() const;
    int GetDeviceArraySize(unsigned int& size) const;
    // The device, or null when index is out of range; 0 either way.
    int GetDeviceArrayElement(unsigned int index, CDevice** device) const;
    unsigned int GetScenarioArraySize() const;
    // std::out_of_range when index is out of range.
    CScenario* GetScenarioArrayElement(unsigned int index) const;
    CScenario* AddScenario(unsigned int* index);
    // std::out_of_range for a bad index, std::logic_error while the scenario
    // runs; 0 otherwise.
    int RemoveScenario(unsigned int index);
    int GetNLS(CNLS** nls) const;
    // The process id of the engine that this environment launched and has
    // not yet seen end; 0 when it uses an engine it did not launch.
    int GetEnginePid() const;

    CTestEnvironmentImp* Imp() const { return imp_; }

  private:
    friend class CTestEnvironmentImp;
    CTestEnvironmentImp* imp_;
};

std::ostream& operator<<(std::ostream& os, const CTestEnvironment& environment);

}  // namespace VELKCORE
