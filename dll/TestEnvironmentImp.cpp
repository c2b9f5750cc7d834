#include "TestEnvironmentImp.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include <climits>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "AutoMutex.h"
#include "Cycle.h"
#include "CycleImp.h"
#include "DeviceImp.h"
#include "ModuleImp.h"
#include "Scenario.h"
#include "ScenarioImp.h"
#include "TestImp.h"
#include "client-connection-manager.h"
#include "client-fifo-access.h"
#include "client-messaging-engine.h"
#include "message-protocol.h"
#include "pipe-lowlevel.h"
#include "process-helpers.h"
#include "test-common.h"
#include "tracing.h"

namespace VELKCORE {

using detail::FieldText;
using detail::GenStr;

namespace {

constexpr const char* kClientName = "CTestEnvironment";
constexpr const char* kClientClass = "API";
constexpr const char* kLauncher = "velkcore";
constexpr uint32_t kCommandArea = 512;
constexpr uint32_t kStopArea = 500;
// Characters of a running test's process id.
constexpr uint32_t kProcessIdArea = 257;
// How long an engine that was asked to stop gets to end, then how long it
// gets after SIGTERM, before SIGKILL.
constexpr int kEngineStopWaitMs = 10000;
constexpr int kEngineTermWaitMs = 5000;
constexpr int kEnginePollMs = 20;
// How long a stop request may sit in the write queue before the connection
// is closed under it.
constexpr int kStopFlushMs = 2000;
// How long a launched engine that lost the race for the broker FIFO gets to
// end by itself.
constexpr int kLostLaunchWaitMs = 5000;

// True when process pid has ended; a child of ours is left unreaped.
bool ProcessEnded(int pid) {
    siginfo_t info{};
    if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0) {
        return info.si_pid == pid;
    }
    return errno == ECHILD && kill(pid, 0) != 0 && errno == ESRCH;
}

}  // namespace

std::atomic<CNLS::LanguageId> CTestEnvironmentImp::_outputLanguage{CNLS::EN};

CTestEnvironmentImp::CTestEnvironmentImp(unsigned int options) : iface_(nullptr) {
    init(options);
    iface_ = new CTestEnvironment(this);
}

CTestEnvironmentImp::CTestEnvironmentImp(CTestEnvironment* iface, unsigned int options)
    : iface_(iface) {
    init(options);
}

CTestEnvironmentImp::~CTestEnvironmentImp() {
    // Scenarios refer to tests, tests to their devices: scenarios go first.
    scenarios_.clear();
    devices_.clear();
    retiredDevices_.clear();
    if (connected_) {
        VelkClientCloseConnection();
        connected_ = false;
    }
    if (!firstTime_) {
        VelkStopReadWriteThread();
    }
    // A launched engine outlives its client; one that has ended is reaped.
    if (enginePid_ > 0) {
        VelkClientTerminated(enginePid_);
    }
    if (iface_ != nullptr) {
        CTestEnvironment* iface = iface_;
        iface_ = nullptr;
        iface->imp_ = nullptr;
        delete iface;
    }
}

void CTestEnvironmentImp::init(unsigned int options) {
    VTRACE(VELK_TRACE_DLL, "CTestEnvironmentImp::init()\n");
    state_ = CTestEnvironment::DISCONNECTED;
    firstTime_ = true;
    nls_.SetTestEnvironmentPtr(this);
    instanceId_ = 0;
    char cwd[PATH_MAX];
    homeDir_ = VelkGetCwd(cwd, sizeof cwd) != nullptr ? std::string(cwd) : std::string("./");
    trace_ = (options & CTestEnvironment::OPTION_TRACE) != 0;
    multiInstance_ = (options & CTestEnvironment::OPTION_MULTI_INSTANCE) != 0;
    clientEnumeration_ = (options & CTestEnvironment::OPTION_CLIENT_ENUMERATION) != 0;
    adoptRunning_ = (options & CTestEnvironment::OPTION_ADOPT_RUNNING_TESTS) != 0;
}

void CTestEnvironmentImp::doFirstTimeInit() {
    if (!firstTime_) {
        return;
    }
    VelkInitPipes();
    if (VelkInitReadWriteThread() != 0) {
        VTRACE(VELK_TRACE_DLL, "CTestEnvironmentImp: read/write thread not started\n");
        return;
    }
    firstTime_ = false;
}

int CTestEnvironmentImp::Start(int argc, char** argv) {
    VTRACE(VELK_TRACE_DLL, "ENTER CTestEnvironmentImp::Start(void)\n");
    std::string arguments;
    if (trace_) {
        arguments += "trace ";
    }
    if (multiInstance_) {
        arguments += "--multi ";
    }
    if (clientEnumeration_) {
        arguments += "-dew ";
    }
    doFirstTimeInit();
    if (state_ == CTestEnvironment::READY) {
        return 0;
    }
    VTRACE(VELK_TRACE_DLL, "_state!=READY\n");

    bool adopted = false;
    if (!multiInstance_) {
        // The default broker FIFO, even after a numbered instance was used.
        VelkSetServerFifoNameEx(nullptr);
    }
    if (!multiInstance_ &&
        VelkClientOpenConnectionEx(kClientName, kClientClass, "", nullptr) == VELK_OPEN_OK) {
        // An engine that runs already is used as it is.
        connected_ = true;
        state_ = CTestEnvironment::READY;
        adopted = true;
    }

    if (!adopted) {
        if (state_ != CTestEnvironment::NOT_READY) {
            std::string launcher = homeDir_ + "/" + kLauncher;
            int detail = 0;
            int pid = VelkVerboseExec(launcher.c_str(), arguments.c_str(), &detail);
            if (pid < 0) {
                VTRACE(VELK_TRACE_DLL, "CTestEnvironmentImp::Start: cannot launch %s (%i)\n",
                       launcher.c_str(), detail);
                // -1 missing, -2 path too long; any other launch failure is 1.
                return detail < 0 ? detail : 1;
            }
            if (enginePid_ > 0) {
                VelkClientTerminated(enginePid_);
            }
            enginePid_ = pid;
            instanceId_ = multiInstance_ ? pid : 0;
        }

        int connected = -1;
        for (int attempt = 0; attempt < CONNECT_ATTEMPTS; ++attempt) {
            int result =
                VelkClient_I_OpenConnectionEx(instanceId_, kClientName, kClientClass, "", nullptr);
            if (result == VELK_OPEN_OK || result == VELK_OPEN_ENUM_COMPLETE) {
                VTRACE(VELK_TRACE_DLL, "CTestEnvironment::CONNECTION OPEN:%i\n", result);
                connected_ = true;
                connected = result;
                break;
            }
            VTRACE(VELK_TRACE_DLL, "CTestEnvironment::NOT READY\n");
            VelkWait(CONNECT_RETRY_MS);
        }
        if (connected < 0) {
            VTRACE(VELK_TRACE_DLL, "CTestEnvironment::NOT READY\n");
            state_ = CTestEnvironment::NOT_READY;
            return 1;
        }
        if (connected == VELK_OPEN_OK) {
            if (clientEnumeration_ && Enumerate(ENUMERATE_WAIT_MS, argc, argv) != 0) {
                state_ = CTestEnvironment::NOT_READY;
                AbandonConnection();
                return 1;
            }
            // The wait watches the instance's engine (none without
            // multi-instance: the launch may have lost the race to another
            // client's engine, which serves this connection); a broker that
            // goes away ends it too.
            if (VelkClientWaitForEnumCompleteMessage(LIST_WAIT_MS, instanceId_) != 0) {
                VTRACE(VELK_TRACE_DLL, "CTestEnvironment::NOT READY\n");
                state_ = CTestEnvironment::NOT_READY;
                AbandonConnection();
                return 1;
            }
        }
        VTRACE(VELK_TRACE_DLL, "\n\n\nREADY:\n\n\n\n");
        state_ = CTestEnvironment::READY;
    }
    SettleLaunchedEngine();

    if (InitDeviceList(LIST_WAIT_MS, adoptRunning_) != 0) {
        state_ = CTestEnvironment::NOT_READY;
        AbandonConnection();
        return 1;
    }
    return 0;
}

void CTestEnvironmentImp::AbandonConnection() {
    // Left open, the connection would make every later attempt fail as
    // "already open".
    if (connected_) {
        VelkClientCloseConnection();
        connected_ = false;
    }
}

void CTestEnvironmentImp::SettleLaunchedEngine() {
    if (enginePid_ <= 0) {
        return;
    }
    if (VelkClientTerminated(enginePid_)) {
        enginePid_ = 0;
        return;
    }
    // 1: it is the broker; -1: its descriptors cannot be read, so it keeps
    // counting as the one launched.
    if (VelkClient_I_BrokerIsProcess(enginePid_) != 0) {
        return;
    }
    // Another client's engine took the broker FIFO first; this launch gives
    // up by itself and must never be stopped on this client's behalf.
    VTRACE(VELK_TRACE_DLL, "CTestEnvironmentImp: launched engine %d is not the broker\n",
           enginePid_);
    FinishLaunchedEngine(kLostLaunchWaitMs);
}

bool CTestEnvironmentImp::DeviceInUse(const CDeviceImp* device) const {
    for (const auto& scenario : scenarios_) {
        if (scenario->UsesDevice(device)) {
            return true;
        }
    }
    return false;
}

void CTestEnvironmentImp::RetireDevices() {
    std::erase_if(retiredDevices_, [this](const std::unique_ptr<CDeviceImp>& device) {
        return !DeviceInUse(device.get());
    });
    for (auto& device : devices_) {
        if (DeviceInUse(device.get())) {
            retiredDevices_.push_back(std::move(device));
        }
    }
    devices_.clear();
}

int CTestEnvironmentImp::GetEnginePid() const {
    return enginePid_ > 0 && !ProcessEnded(enginePid_) ? enginePid_ : 0;
}

std::optional<std::string> CTestEnvironmentImp::ScanModulesCommand(int argc, char** argv) {
    std::string command = "SCAN_MODULES";
    for (int i = 0; i < argc && argv != nullptr; ++i) {
        std::string name = argv[i] != nullptr ? argv[i] : "";
        if (name.find_first_of("<>") != std::string::npos) {
            return std::nullopt;
        }
        if (name.find(".vkm") == std::string::npos) {
            name += ".vkm";
        }
        command += "<MODULE_NAME>" + name + "</MODULE_NAME>";
    }
    return command;
}

int CTestEnvironmentImp::Enumerate(int waitTime, int argc, char** argv) {
    VTRACE(VELK_TRACE_DLL,
           "CTestEnvironmentImp::Enumerate(int waitTime, int argc, char* argv[])\n");
    std::optional<std::string> command = ScanModulesCommand(argc, argv);
    if (!command) {
        VTRACE(VELK_TRACE_DLL, "GetRequestEnumerate unable to create command\n");
        return detail::TX_NO_COMMAND;
    }
    GenStr reply;
    return GetRequestEnumerate(reply, *command, waitTime);
}

int CTestEnvironmentImp::GetRequestEnumerate(GenStr& reply, const std::string& command,
                                             int waitTime) {
    VTRACE(VELK_TRACE_DLL, "CTestEnvironmentImp::GetRequestEnumerate\n");
    // The module list has no fixed length: the command grows as needed.
    GenStr message;
    if (VelkClientCreateDiagnosticEngineCommandStr(command.c_str(), nullptr, message.Get()) !=
        VELK_MSG_OK) {
        VTRACE(VELK_TRACE_DLL, "GetRequestEnumerate unable to create command\n");
        return detail::TX_NO_COMMAND;
    }
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::ENGINE_COMMAND);
    if (VelkClientSendTransactionStr(message.CStr(), reply.Get(), waitTime, 0) != VELK_TRANS_OK) {
        VTRACE(VELK_TRACE_DLL, "GetRequestEnumerate: No Response.\n");
        return detail::TX_NO_ANSWER;
    }
    VTRACE(VELK_TRACE_DLL, "GetRequestEnumerate Returned Data: %s\n", reply.CStr());
    return detail::TX_OK;
}

int CTestEnvironmentImp::GetRequestDevicesBuff(GenStr& reply, const std::string& command,
                                               int waitTime) {
    VTRACE(VELK_TRACE_DLL, "CTestEnvironmentImp::GetRequestDevicesBuff\n");
    char message[kCommandArea] = {};
    if (VelkClientCreateDiagnosticEngineCommand(command.c_str(), nullptr, message,
                                                sizeof message) != VELK_MSG_OK) {
        VTRACE(VELK_TRACE_DLL, "Error\n");
        return detail::TX_NO_COMMAND;
    }
    VTRACE(VELK_TRACE_DLL, "SendingData data: = %s\n", message);
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::ENGINE_COMMAND);
    if (VelkClientSendTransactionStr(message, reply.Get(), waitTime, 0) != VELK_TRANS_OK) {
        VTRACE(VELK_TRACE_DLL, "RequestDeList:No response.\n");
        CGenStrClear(reply.Get());
        return detail::TX_NO_ANSWER;
    }
    VTRACE(VELK_TRACE_DLL, "RequestDeList:Returned data: = %s\n", reply.CStr());
    return detail::TX_OK;
}

int CTestEnvironmentImp::InitDeviceList(int waitTime, bool adoptRunning) {
    VTRACE(VELK_TRACE_DLL, "CTestEnvironmentImp::InitDeviceList(int waitTime)\n");
    GenStr reply;
    int result = GetRequestDevicesBuff(reply, "LIST_DEVICES_AND_TESTS", waitTime);
    if (result != detail::TX_OK) {
        return result;
    }
    return ReadDeviceList(reply.CStr(), adoptRunning);
}

const char* CTestEnvironmentImp::DeviceListData(const char* reply, GenStr& data) {
    if (detail::ReadField(reply, "MSG/DATA", 0, data)) {
        return data.CStr();
    }
    // A malformed device leaves the DATA element unbalanced, and the lookup
    // then finds no DATA at all: the devices are walked from the start of
    // the DATA that follows the header instead, up to the malformed one.
    const char* headerEnd = nullptr;
    if (reply == nullptr || VelkXmlGetFieldStrAndTagStartEnd(reply, nullptr, &headerEnd, "MSG/HDR",
                                                             0, nullptr) != VELK_MSG_OK) {
        return "";
    }
    const char* dataStart = std::strstr(headerEnd, "<DATA>");
    return dataStart != nullptr ? dataStart + std::strlen("<DATA>") : "";
}

int CTestEnvironmentImp::ReadDeviceList(const char* reply, bool adoptRunning) {
    // The new list replaces the old one; a second Start after CloseClient
    // must not list every device twice.  Devices that running tests still
    // refer to are kept aside until those tests are gone.
    RetireDevices();
    GenStr data;
    GenStr deviceText;
    GenStr componentText;
    GenStr testText;
    detail::ElementWalker deviceWalker(DeviceListData(reply, data), "DEVICE");
    CScenarioImp* adoptingScenario = nullptr;
    int read = 0;
    while (read < MAX_DEVICES) {
        if (!deviceWalker.Next(deviceText)) {
            VTRACE(VELK_TRACE_DLL, "No More Devices %d\n", read);
            break;
        }
        auto device = std::make_unique<CDeviceImp>();
        if (!device->initFromDeviceEnum(deviceText.CStr())) {
            VTRACE(VELK_TRACE_DLL, "Device %d incomplete: list ends\n", read);
            break;
        }
        VTRACE(VELK_TRACE_DLL, "Dev Name: %s\n", device->NameToken().Token().c_str());

        // Tests to take over; only once the device is known to be kept.
        std::vector<std::pair<const CTestImp*, std::string>> running;
        bool discard = false;
        detail::ElementWalker componentWalker(deviceText.CStr(), "COMPONENT");
        while (!discard) {
            if (!componentWalker.Next(componentText)) {
                VTRACE(VELK_TRACE_DLL, "No More Components\n");
                break;
            }
            CModuleImp* module =
                device->AddModule(std::make_unique<CModuleImp>(componentText.CStr()));
            VTRACE(VELK_TRACE_DLL, "Looking for test\n");
            detail::ElementWalker testWalker(componentText.CStr(), "TEST");
            // The module's own device id, read with the component's first
            // test; a component without a usable one makes the whole device
            // unusable.
            std::optional<int32_t> deviceId;
            for (int t = 0; t < MAX_TESTS_PER_COMPONENT; ++t) {
                if (!testWalker.Next(testText)) {
                    VTRACE(VELK_TRACE_DLL, "No More Tests\n");
                    break;
                }
                if (t == 0) {
                    if (auto did = FieldText(componentText.CStr(), "DID")) {
                        deviceId = detail::ParseInt(*did);
                    }
                }
                if (!deviceId) {
                    discard = true;
                    break;
                }
                auto test = std::make_unique<CTestImp>(*deviceId, module, testText.CStr());
                if (!test->IsValid()) {
                    break;
                }
                VTRACE(VELK_TRACE_DLL, "Adding Test\n");
                VTRACE(VELK_TRACE_DLL, "Looking for running instances section\n");
                std::optional<std::string> processId = detail::BoundedField(
                    testText.CStr(), "RUNNING_INSTANCES/TESTSTATUS/PROCESS_ID", kProcessIdArea);
                if (processId && adoptRunning) {
                    running.emplace_back(test.get(), *processId);
                }
                device->AddTest(std::move(test));
            }
            if (!discard) {
                VTRACE(VELK_TRACE_DLL, "DONE WITH TESTS\n");
            }
        }
        if (discard) {
            VTRACE(VELK_TRACE_DLL, "Device %d without device id: list ends\n", read);
            break;
        }
        VTRACE(VELK_TRACE_DLL, "DONE WITH MODULES\n");
        for (const auto& [test, processId] : running) {
            if (adoptingScenario == nullptr) {
                AddScenario(nullptr);
                adoptingScenario = scenarios_.back().get();
            }
            CCycle* cycle = adoptingScenario->AddCycle(nullptr);
            cycle->Imp()->AddRunningTest(test, processId);
        }
        devices_.push_back(std::move(device));
        ++read;
    }
    for (const auto& device : devices_) {
        for (const auto& test : device->Tests()) {
            test->SetDevice(device.get());
        }
    }
    if (adoptingScenario != nullptr) {
        adoptingScenario->MakeRunning(true, 500);
    }
    return 0;
}

int CTestEnvironmentImp::RescanDevices() {
    std::string reply;
    int result = detail::BufferTransaction(detail::Addressee::DIAGNOSTIC_ENGINE, "RESCAN_DEVICES",
                                           kCommandArea, RESCAN_WAIT_MS, reply);
    if (result != detail::TX_OK) {
        VTRACE(VELK_TRACE_DLL, "RequestDeRescan:No response.\n");
        return 1;
    }
    VTRACE(VELK_TRACE_DLL, "RequestDeRescan:Returned data: = %s\n", reply.c_str());
    RetireDevices();
    if (InitDeviceList(LIST_WAIT_MS, adoptRunning_) != 0) {
        // NOT_READY without a connection: the next Start connects again.
        state_ = CTestEnvironment::NOT_READY;
        AbandonConnection();
        return 1;
    }
    return 0;
}

int CTestEnvironmentImp::OpenProbeConnection() {
    if (multiInstance_) {
        return VelkClient_I_OpenConnectionEx(instanceId_, kClientName, kClientClass, "", nullptr);
    }
    VelkSetServerFifoNameEx(nullptr);
    return VelkClientOpenConnectionEx(kClientName, kClientClass, "", nullptr);
}

int CTestEnvironmentImp::GetState(CTestEnvironment::State& state) {
    if (state_ == CTestEnvironment::DISCONNECTED) {
        doFirstTimeInit();
        int result = OpenProbeConnection();
        if (result == VELK_OPEN_OK || result == VELK_OPEN_ENUM_COMPLETE) {
            VelkClientCloseConnection();
            state_ = CTestEnvironment::ENGINE_AVAILABLE;
        }
    }
    state = state_;
    return 0;
}

void CTestEnvironmentImp::RequestStop() {
    char message[kStopArea] = {};
    if (VelkClientCreateMessageBrokerCommand("STOP_MESSAGE_BROKER", message, sizeof message) !=
        VELK_MSG_OK) {
        return;
    }
    VelkClientSendMessage(message);
    VelkFlushWriteFIFO(kStopFlushMs);
}

int CTestEnvironmentImp::Stop() {
    VTRACE(VELK_TRACE_DLL, "Stopping Velkor.\n");
    bool stopRequested = false;
    if (connected_) {
        RequestStop();
        stopRequested = true;
        VelkClientCloseConnection();
        connected_ = false;
    } else {
        doFirstTimeInit();
        int result = OpenProbeConnection();
        if (result == VELK_OPEN_OK || result == VELK_OPEN_ENUM_COMPLETE) {
            RequestStop();
            stopRequested = true;
            VelkClientCloseConnection();
        }
    }
    VelkStopReadWriteThread();
    // The next Start, Stop or GetState sets the transport up again.
    firstTime_ = true;
    state_ = CTestEnvironment::DISCONNECTED;
    FinishLaunchedEngine(stopRequested ? kEngineStopWaitMs : 0);
    return 0;
}

bool CTestEnvironmentImp::AwaitEngineEnd(int waitMs) {
    for (int waited = 0;; waited += kEnginePollMs) {
        if (VelkClientTerminated(enginePid_)) {
            enginePid_ = 0;
            return true;
        }
        if (waited >= waitMs) {
            return false;
        }
        VelkWait(kEnginePollMs);
    }
}

void CTestEnvironmentImp::FinishLaunchedEngine(int graceMs) {
    if (enginePid_ <= 0) {
        return;
    }
    if (AwaitEngineEnd(graceMs)) {
        return;
    }
    // An engine this environment launched that cannot be reached or does
    // not stop is ended by signal, so that no stray process stays behind.
    VTRACE(VELK_TRACE_DLL, "Stopping Velkor: engine %d did not stop, terminating it\n", enginePid_);
    kill(enginePid_, SIGTERM);
    if (AwaitEngineEnd(kEngineTermWaitMs)) {
        return;
    }
    kill(enginePid_, SIGKILL);
    AwaitEngineEnd(kEngineTermWaitMs);
    enginePid_ = 0;
}

int CTestEnvironmentImp::CloseClient() {
    VTRACE(VELK_TRACE_DLL, "Stopping Velkor.\n");
    if (connected_) {
        VelkClientCloseConnection();
        connected_ = false;
    }
    state_ = CTestEnvironment::DISCONNECTED;
    return 0;
}

int CTestEnvironmentImp::SetVelkHomeDir(const std::string& dir) {
    std::string launcher = dir + "/" + kLauncher;
    if (access(launcher.c_str(), F_OK) != 0) {
        return 1;
    }
    homeDir_ = dir;
    return 0;
}

CScenario* CTestEnvironmentImp::AddScenario(unsigned int* index) {
    scenarios_.push_back(std::make_unique<CScenarioImp>());
    if (index != nullptr) {
        *index = static_cast<unsigned int>(scenarios_.size() - 1);
    }
    return scenarios_.back()->Interface();
}

int CTestEnvironmentImp::RemoveScenario(unsigned int index) {
    if (index >= scenarios_.size()) {
        throw std::out_of_range(
            "CTestEnvironmentImp::RemoveScenario(size_t index) index out of range.");
    }
    CScenario::State state = scenarios_[index]->GetState();
    if (state == CScenario::RUNNING || state == CScenario::DEVICEBUSY) {
        throw std::logic_error(
            "CTestEnvironmentImp::RemoveScenario(size_t index) cannot call while "
            "Scenario::RUNNING or Scenario::DEVICEBUSY ");
    }
    scenarios_.erase(scenarios_.begin() + index);
    return 0;
}

CScenario* CTestEnvironmentImp::GetScenarioArrayElement(unsigned int index) const {
    if (index >= scenarios_.size()) {
        throw std::out_of_range(
            "CTestEnvironment::GetScenarioArrayElement(size_t index) index out of range.");
    }
    return scenarios_[index]->Interface();
}

void CTestEnvironmentImp::SetOutputLanguage(CNLS::LanguageId lang) {
    _outputLanguage.store(lang);
}

CNLS::LanguageId CTestEnvironmentImp::GetOutputLanguage() {
    return _outputLanguage.load();
}

}  // namespace VELKCORE
