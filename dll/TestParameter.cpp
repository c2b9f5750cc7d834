#include "TestParameter.h"

#include "Device.h"
#include "TestParamImp.h"

namespace VELKCORE {

CTestParameter::CTestParameter(CTestParamImp* imp) : imp_(imp) {}

CTestParameter::~CTestParameter() {
    if (imp_ != nullptr) {
        CTestParamImp* imp = imp_;
        imp_ = nullptr;
        imp->iface_ = nullptr;
        delete imp;
    }
}

int CTestParameter::GetState(State& state) const {
    return imp_->GetState(state);
}

int CTestParameter::GetName(std::string& name) const {
    return imp_->GetName(name);
}

int CTestParameter::GetType(std::string& type) const {
    return imp_->GetType(type);
}

int CTestParameter::GetId(std::string& id) const {
    return imp_->GetId(id);
}

int CTestParameter::GetMask(std::string& mask) const {
    return imp_->GetMask(mask);
}

int CTestParameter::GetDefaultValue(std::string& value) const {
    return imp_->GetDefaultValue(value);
}

int CTestParameter::GetDescription(std::string& description) const {
    return imp_->GetDescription(description);
}

int CTestParameter::HasRequestedValidation(bool& requested) const {
    return imp_->HasRequestedValidation(requested);
}

int CTestParameter::HasToBeApplied(bool& mustBeSet) const {
    return imp_->HasToBeApplied(mustBeSet);
}

int CTestParameter::HasMinVal(bool& has) const {
    return imp_->HasMinVal(has);
}

int CTestParameter::HasMaxVal(bool& has) const {
    return imp_->HasMaxVal(has);
}

int CTestParameter::GetMinVal(std::string& value) {
    return imp_->GetMinVal(value);
}

int CTestParameter::GetMaxVal(std::string& value) {
    return imp_->GetMaxVal(value);
}

int CTestParameter::GetValue(std::string& value) const {
    return imp_->GetValue(value);
}

int CTestParameter::ApplyValue(const std::string& value) {
    return imp_->ApplyValue(value);
}

int CTestParameter::OmitParameter() {
    return imp_->OmitParameter();
}

std::string CTestParameter::StateToString(State state) {
    switch (state) {
        case NOT_APPLIED:
            return "NOT_APPLIED";
        case VALID:
            return "VALID";
        case ID_NOT_RECOGNIZED:
            return "ID_NOT_RECOGNIZED";
        case VALUE_TOO_BIG:
            return "VALUE_TOO_BIG";
        case VALUE_TOO_SMALL:
            return "VALUE_TOO_SMALL";
        case VALUE_BAD:
            return "VALUE_BAD";
        case INVALID:
            return "INVALID";
        default:
            return "UNDEFINED";
    }
}

namespace {

// The lines both stream operators write; defaultLabel differs between them.
template <typename Parameter>
void WriteParameter(std::ostream& os, Parameter& parameter, const char* defaultLabel) {
    std::string text;
    bool flag = false;
    CTestParameter::State state = CTestParameter::NOT_APPLIED;
    parameter.GetName(text);
    os << "Name: " << text << std::endl;
    parameter.GetType(text);
    os << "Type: " << text << std::endl;
    parameter.GetId(text);
    os << "Id: " << text << std::endl;
    parameter.GetMask(text);
    os << "Mask: " << text << std::endl;
    parameter.GetDefaultValue(text);
    os << defaultLabel << text << std::endl;
    parameter.GetDescription(text);
    os << "Description: " << text << std::endl;
    parameter.HasRequestedValidation(flag);
    os << "Has Requested Validation: " << B(flag) << std::endl;
    parameter.HasToBeApplied(flag);
    os << "Has to be Applied: " << B(flag) << std::endl;
    parameter.HasMinVal(flag);
    os << "Has Minimum Value: " << B(flag) << std::endl;
    parameter.HasMaxVal(flag);
    os << "Has Maximum Value: " << B(flag) << std::endl;
    parameter.GetState(state);
    os << "State: " << CTestParameter::StateToString(state) << std::endl;
    if (state == CTestParameter::VALID) {
        // The bounds come from the validation that gave the state, so no
        // further engine traffic is caused here.
        parameter.GetValue(text);
        os << "Value: " << text << std::endl;
        parameter.GetMaxVal(text);
        os << "Maximum Value: " << text << std::endl;
        parameter.GetMinVal(text);
        os << "Minimum Value: " << text << std::endl;
    }
}

}  // namespace

std::ostream& operator<<(std::ostream& os, const CTestParameter& parameter) {
    WriteParameter(os, *parameter.Imp(), "DefaultValue: ");
    return os;
}

std::ostream& operator<<(std::ostream& os, CTestParamImp& parameter) {
    WriteParameter(os, parameter, "Default Value: ");
    return os;
}

}  // namespace VELKCORE
