// CTestEnvironmentImp: the implementation of CTestEnvironment.
//
// Engine commands: LIST_DEVICES_AND_TESTS, RESCAN_DEVICES and SCAN_MODULES to
// the diagnostic engine, STOP_MESSAGE_BROKER to the message broker.  The
// device list reply is read by ReadDeviceList, which tests feed directly.
#pragma once

#include <atomic>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "EngineText.h"
#include "NLSImp.h"
#include "TestEnvironment.h"

namespace VELKCORE {

class CDeviceImp;
class CScenarioImp;

class CTestEnvironmentImp {
  public:
    // Limits of the device list.
    static constexpr int MAX_DEVICES = 100;
    static constexpr int MAX_TESTS_PER_COMPONENT = 100;
    // Waits of the engine commands, in milliseconds.
    static constexpr int LIST_WAIT_MS = 240000;
    static constexpr int RESCAN_WAIT_MS = 600000;
    static constexpr int ENUMERATE_WAIT_MS = 240000;
    static constexpr int CONNECT_ATTEMPTS = 13;
    static constexpr int CONNECT_RETRY_MS = 500;

    // An implementation that creates its own interface object.
    explicit CTestEnvironmentImp(unsigned int options);
    // The implementation of iface.
    CTestEnvironmentImp(CTestEnvironment* iface, unsigned int options);
    virtual ~CTestEnvironmentImp();
    CTestEnvironmentImp(const CTestEnvironmentImp&) = delete;
    CTestEnvironmentImp& operator=(const CTestEnvironmentImp&) = delete;

    CTestEnvironment* Interface() const { return iface_; }

    void init(unsigned int options);
    // Sets up the pipe layer and its read/write thread when not done yet.
    void doFirstTimeInit();
    int Start(int argc, char** argv);
    int Stop();
    // Sends STOP_MESSAGE_BROKER (no reply is awaited).
    void RequestStop();
    int CloseClient();
    int GetState(CTestEnvironment::State& state);
    int RescanDevices();
    // Sends SCAN_MODULES naming argv's modules (".vkm" added where missing).
    int Enumerate(int waitTime, int argc, char** argv);
    // The SCAN_MODULES command text for argv; nothing when a name holds "<"
    // or ">".
    static std::optional<std::string> ScanModulesCommand(int argc, char** argv);
    // Asks for LIST_DEVICES_AND_TESTS and reads the reply: 0, or the non-zero
    // result of the request (the device list unchanged).
    int InitDeviceList(int waitTime, bool adoptRunning);
    // Replaces the devices by those of a LIST_DEVICES_AND_TESTS reply (at
    // most 100 devices, 100 tests per module, 100 parameters per test; a
    // malformed device ends the list).  Replaced devices are retired (see
    // RetiredDevices).  Always 0.
    int ReadDeviceList(const char* reply, bool adoptRunning);
    // Where the DEVICE elements of a device-list reply are: the DATA
    // element's content (copied into data), or, when a malformed device
    // keeps DATA from being found, the reply text after the DATA tag.
    static const char* DeviceListData(const char* reply, detail::GenStr& data);
    // Engine requests: 0 and the reply; 2 no answer; 3 no command.
    int GetRequestEnumerate(detail::GenStr& reply, const std::string& command, int waitTime);
    int GetRequestDevicesBuff(detail::GenStr& reply, const std::string& command, int waitTime);

    CScenario* AddScenario(unsigned int* index);
    int RemoveScenario(unsigned int index);
    CScenario* GetScenarioArrayElement(unsigned int index) const;

    int SetVelkHomeDir(const std::string& dir);
    const std::string& GetVelkHomeDir() const { return homeDir_; }
    void SetTrace(bool trace) { trace_ = trace; }
    // The engine this environment launched and is connected to, or was
    // connected to until Stop; 0 when there is none (never launched, lost
    // the launch race to another client's engine, or ended).
    int GetEnginePid() const;
    CTestEnvironment::State State() const { return state_; }

    std::vector<std::unique_ptr<CDeviceImp>>& Devices() { return devices_; }
    const std::vector<std::unique_ptr<CDeviceImp>>& Devices() const { return devices_; }
    // Devices that a device-list read or a rescan replaced while a scenario
    // still held one of their tests.  They stay until a later device-list
    // read finds no scenario using them, or until the environment goes.
    const std::vector<std::unique_ptr<CDeviceImp>>& RetiredDevices() const {
        return retiredDevices_;
    }
    std::vector<std::unique_ptr<CScenarioImp>>& Scenarios() { return scenarios_; }
    const std::vector<std::unique_ptr<CScenarioImp>>& Scenarios() const { return scenarios_; }
    CNLSImp& NLS() { return nls_; }
    const CNLSImp& NLS() const { return nls_; }

    // The language that texts are translated into (EN at first).
    static void SetOutputLanguage(CNLS::LanguageId lang);
    static CNLS::LanguageId GetOutputLanguage();
    static std::atomic<CNLS::LanguageId> _outputLanguage;

  private:
    friend class CTestEnvironment;
    // Opens a connection as GetState and Stop do: 0 or 40 when connected.
    int OpenProbeConnection();
    // Closes the connection of a failed Start or rescan, so that the next
    // Start can connect again.
    void AbandonConnection();
    // Takes the devices out of the list: those a scenario uses are retired,
    // the rest deleted; retired devices no scenario uses any more go too.
    void RetireDevices();
    bool DeviceInUse(const CDeviceImp* device) const;
    // Once connected: the launched engine stays this environment's own only
    // when it is the broker of the connection.
    void SettleLaunchedEngine();
    // Waits up to waitMs for the launched engine to end; true when it has
    // (it is then reaped).
    bool AwaitEngineEnd(int waitMs);
    // The launched engine ends within graceMs, or is ended by signal.
    void FinishLaunchedEngine(int graceMs);

    CTestEnvironment::State state_ = CTestEnvironment::DISCONNECTED;
    CNLSImp nls_;
    std::vector<std::unique_ptr<CDeviceImp>> devices_;
    std::vector<std::unique_ptr<CDeviceImp>> retiredDevices_;
    std::vector<std::unique_ptr<CScenarioImp>> scenarios_;
    bool adoptRunning_ = false;
    bool trace_ = false;
    bool multiInstance_ = false;
    bool clientEnumeration_ = false;
    int instanceId_ = 0;
    CTestEnvironment* iface_;
    bool firstTime_ = true;
    std::string homeDir_;
    // The engine process this environment launched (0: none known).
    int enginePid_ = 0;
    // True while this environment holds the process's connection.
    bool connected_ = false;
};

std::ostream& operator<<(std::ostream& os, const CTestEnvironmentImp& environment);

}  // namespace VELKCORE
