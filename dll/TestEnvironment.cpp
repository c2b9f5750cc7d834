#include "TestEnvironment.h"

#include "Device.h"
#include "DeviceImp.h"
#include "TestEnvironmentImp.h"

namespace VELKCORE {

CTestEnvironment::CTestEnvironment() : CTestEnvironment(0u) {}

CTestEnvironment::CTestEnvironment(unsigned int options)
    : imp_(new CTestEnvironmentImp(this, options)) {}

CTestEnvironment::CTestEnvironment(CTestEnvironmentImp* imp) : imp_(imp) {
    if (imp_ != nullptr && imp_->iface_ == nullptr) {
        imp_->iface_ = this;
    }
}

CTestEnvironment::~CTestEnvironment() {
    if (imp_ != nullptr) {
        CTestEnvironmentImp* imp = imp_;
        imp_ = nullptr;
        imp->iface_ = nullptr;
        delete imp;
    }
}

int CTestEnvironment::Start() {
    return imp_->Start(0, nullptr);
}

int CTestEnvironment::Start(int argc, char** argv) {
    return imp_->Start(argc, argv);
}

int CTestEnvironment::DebugStart(bool trace) {
    imp_->SetTrace(trace);
    return imp_->Start(0, nullptr);
}

int CTestEnvironment::Stop() {
    return imp_->Stop();
}

int CTestEnvironment::CloseClient() {
    return imp_->CloseClient();
}

int CTestEnvironment::GetState(State& state) const {
    return imp_->GetState(state);
}

int CTestEnvironment::RescanDevices() {
    return imp_->RescanDevices();
}

int CTestEnvironment::SetVelkHomeDir(const std::string& dir) {
    return imp_->SetVelkHomeDir(dir);
}

std::string CTestEnvironment::GetVelkHomeDir() const {
    return imp_->GetVelkHomeDir();
}

int CTestEnvironment::GetDeviceArraySize(unsigned int& size) const {
    size = static_cast<unsigned int>(imp_->Devices().size());
    return 0;
}

int CTestEnvironment::GetDeviceArrayElement(unsigned int index, CDevice** device) const {
    const auto& devices = imp_->Devices();
    *device = index < devices.size() ? devices[index]->Interface() : nullptr;
    return 0;
}

unsigned int CTestEnvironment::GetScenarioArraySize() const {
    return static_cast<unsigned int>(imp_->Scenarios().size());
}

CScenario* CTestEnvironment::GetScenarioArrayElement(unsigned int index) const {
    return imp_->GetScenarioArrayElement(index);
}

CScenario* CTestEnvironment::AddScenario(unsigned int* index) {
    return imp_->AddScenario(index);
}

int CTestEnvironment::RemoveScenario(unsigned int index) {
    return imp_->RemoveScenario(index);
}

int CTestEnvironment::GetNLS(CNLS** nls) const {
    *nls = imp_->NLS().Interface();
    return 0;
}

int CTestEnvironment::GetEnginePid() const {
    return imp_->GetEnginePid();
}

namespace {

void WriteEnvironment(std::ostream& os, const CTestEnvironmentImp& environment,
                      const char* sizeLabel) {
    os << "State: " << static_cast<int>(environment.State()) << std::endl;
    os << sizeLabel << environment.Devices().size() << std::endl;
    os << "**** BEGIN DEVICES ****" << std::endl;
    for (const auto& device : environment.Devices()) {
        os << *device->Interface() << std::endl;
    }
    os << "**** END DEVICES ****" << std::endl;
}

}  // namespace

std::ostream& operator<<(std::ostream& os, const CTestEnvironment& environment) {
    WriteEnvironment(os, *environment.Imp(), "Device Array Size: ");
    return os;
}

std::ostream& operator<<(std::ostream& os, const CTestEnvironmentImp& environment) {
    WriteEnvironment(os, environment, "Device Vector Size: ");
    return os;
}

}  // namespace VELKCORE
