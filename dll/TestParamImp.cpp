#include "TestParamImp.h"

#include <cstdio>
#include <vector>

#include "EngineText.h"
#include "TestEnvironmentImp.h"
#include "param-valid.h"
#include "tracing.h"

namespace VELKCORE {

using detail::BoundedField;
using detail::FieldText;
using detail::GenStr;

namespace {

// Area of each field of a parameter's description.
constexpr uint32_t kFieldArea = 256;
constexpr int kValidateWaitMs = 3000;

}  // namespace

CTestParamImp::CTestParamImp(int first, std::string moduleId, int second, const char* description)
    : iface_(new CTestParameter(this)) {
    if (description != nullptr) {
        if (auto field = BoundedField(description, "NAME", kFieldArea)) {
            name_ = CToken(*field);
        }
        if (auto field = BoundedField(description, "TYPE", kFieldArea)) {
            type_ = *field;
        }
        if (auto field = BoundedField(description, "ID", kFieldArea)) {
            id_ = *field;
        }
        if (auto field = BoundedField(description, "MASK", kFieldArea)) {
            mask_ = *field;
        }
        if (auto field = BoundedField(description, "DEFAULT_VALUE", kFieldArea)) {
            defaultValue_ = CToken(*field);
        }
        if (auto field = BoundedField(description, "DESCRIPTION", kFieldArea)) {
            description_ = CToken(*field);
        }
        if (auto field = BoundedField(description, "RECOMMEND_VALIDATE", kFieldArea)) {
            recommendValidate_ = detail::ParseInt(*field).value_or(0);
        }
        if (auto field = BoundedField(description, "MUST_BE_SET", kFieldArea)) {
            mustBeSet_ = detail::ParseInt(*field).value_or(0);
        }
        if (auto field = BoundedField(description, "MIN_VALUE", kFieldArea)) {
            minValue_ = CToken(*field);
            hasMin_ = 1;
        }
        if (auto field = BoundedField(description, "MAX_VALUE", kFieldArea)) {
            maxValue_ = CToken(*field);
            hasMax_ = 1;
        }
    }
    moduleId_ = std::move(moduleId);
    first_ = first;
    second_ = second;
}

CTestParamImp::CTestParamImp(int first, std::string moduleId, int second, std::string id)
    : id_(std::move(id)),
      iface_(new CTestParameter(this)),
      moduleId_(std::move(moduleId)),
      first_(first),
      second_(second) {}

CTestParamImp::~CTestParamImp() {
    if (iface_ != nullptr) {
        CTestParameter* iface = iface_;
        iface_ = nullptr;
        iface->imp_ = nullptr;
        delete iface;
    }
}

CTestParamImp::CTestParamImp(const CTestParamImp& other)
    : name_(other.name_),
      type_(other.type_),
      id_(other.id_),
      mask_(other.mask_),
      defaultValue_(other.defaultValue_),
      description_(other.description_),
      recommendValidate_(other.recommendValidate_),
      mustBeSet_(other.mustBeSet_),
      hasMin_(other.hasMin_),
      hasMax_(other.hasMax_),
      minValue_(other.minValue_),
      maxValue_(other.maxValue_),
      value_(other.value_),
      state_(other.state_),
      iface_(new CTestParameter(this)),
      moduleId_(other.moduleId_),
      first_(other.first_),
      second_(other.second_),
      validated_(other.validated_) {}

CTestParamImp& CTestParamImp::operator=(const CTestParamImp& other) {
    if (this != &other) {
        CTestParameter* iface = iface_;
        name_ = other.name_;
        type_ = other.type_;
        id_ = other.id_;
        mask_ = other.mask_;
        defaultValue_ = other.defaultValue_;
        description_ = other.description_;
        recommendValidate_ = other.recommendValidate_;
        mustBeSet_ = other.mustBeSet_;
        hasMin_ = other.hasMin_;
        hasMax_ = other.hasMax_;
        minValue_ = other.minValue_;
        maxValue_ = other.maxValue_;
        value_ = other.value_;
        state_ = other.state_;
        iface_ = iface;
        moduleId_ = other.moduleId_;
        first_ = other.first_;
        second_ = other.second_;
        validated_ = other.validated_;
    }
    return *this;
}

std::string CTestParamImp::Translated(const CToken& token) const {
    return token.GetTranslatedString(CTestEnvironmentImp::GetOutputLanguage());
}

int CTestParamImp::GetState(CTestParameter::State& state) const {
    state = state_;
    return 0;
}

int CTestParamImp::GetName(std::string& name) const {
    name = Translated(name_);
    return 0;
}

int CTestParamImp::GetType(std::string& type) const {
    type = type_;
    return 0;
}

int CTestParamImp::GetId(std::string& id) const {
    id = id_;
    return 0;
}

int CTestParamImp::GetMask(std::string& mask) const {
    mask = mask_;
    return 0;
}

int CTestParamImp::GetDefaultValue(std::string& value) const {
    value = Translated(defaultValue_);
    return 0;
}

int CTestParamImp::GetDescription(std::string& description) const {
    description = Translated(description_);
    return 0;
}

int CTestParamImp::HasRequestedValidation(bool& requested) const {
    requested = recommendValidate_ != 0;
    return 0;
}

int CTestParamImp::HasToBeApplied(bool& mustBeSet) const {
    mustBeSet = mustBeSet_ != 0;
    return 0;
}

int CTestParamImp::HasMinVal(bool& has) const {
    has = hasMin_ != 0;
    return 0;
}

int CTestParamImp::HasMaxVal(bool& has) const {
    has = hasMax_ != 0;
    return 0;
}

int CTestParamImp::GetMinVal(std::string& value) {
    if (!validated_ && Validate() != 0) {
        return 1;
    }
    value = Translated(minValue_);
    return 0;
}

int CTestParamImp::GetMaxVal(std::string& value) {
    if (!validated_ && Validate() != 0) {
        return 1;
    }
    value = Translated(maxValue_);
    return 0;
}

int CTestParamImp::GetValue(std::string& value) const {
    value = Translated(value_);
    return 0;
}

bool CTestParamImp::IsUnsafeValue(const std::string& value) {
    return value.find_first_of("<>\r\n") != std::string::npos;
}

int CTestParamImp::ApplyValue(const std::string& value) {
    if (IsUnsafeValue(value)) {
        // Refused here: sent on, the value would corrupt the command.  The
        // previous value is kept.
        VTRACE(VELK_TRACE_DLL, "CTestParamImp::ApplyValue: value refused: %s\n", value.c_str());
        validated_ = true;
        state_ = CTestParameter::VALUE_BAD;
        return 0;
    }
    value_ = CToken(value);
    return Validate();
}

int CTestParamImp::OmitParameter() {
    state_ = CTestParameter::NOT_APPLIED;
    return 0;
}

bool CTestParamImp::HasValue() const {
    return value_.Token() != "UNDEF";
}

int CTestParamImp::GetParam(std::string& param) const {
    param = "param=" + id_ + "," + value_.Token();
    return 0;
}

int CTestParamImp::Validate() {
    VTRACE(VELK_TRACE_DLL, "CTestParamImp::Validate()\n");
    validated_ = true;
    std::string param;
    GetParam(param);
    VTRACE(VELK_TRACE_DLL, "VALIDATE_TEST_PARAMETERS:%s:%i:%i:%s\n\n\n", moduleId_.c_str(), second_,
           first_, param.c_str());
    GenStr command;
    CGenStrSprintf(command.Get(), "VALIDATE_TEST_PARAMETERS:%s:%i:%i:%s", moduleId_.c_str(),
                   second_, first_, param.c_str());
    VTRACE(VELK_TRACE_DLL, "CTestParamImp::Validate:Data to send:\n   = %s\n", command.CStr());
    GenStr reply;
    if (detail::DiagnosticEngineTransactionStr(command.CStr(), "TK", kValidateWaitMs, reply) !=
        detail::TX_OK) {
        VTRACE(VELK_TRACE_DLL, "CTestParamImp::Validate:No response.\n");
        return 1;
    }
    VTRACE(VELK_TRACE_DLL, "CTestParamImp::Validate:Returned data: = %s\n", reply.CStr());
    return ApplyValidationReply(reply.CStr());
}

int CTestParamImp::ApplyValidationReply(const char* reply) {
    validated_ = true;
    // The verdict on this parameter: the PARAMETER element with this id, or
    // the first one when none names it.
    std::optional<std::string> element;
    GenStr candidate;
    std::string resultsText = FieldText(reply, "MSG/DATA/PARAM_VALIDATION_RESULTS").value_or("");
    detail::ElementWalker walker(resultsText.c_str(), "PARAMETER");
    while (walker.Next(candidate)) {
        if (!element) {
            element = candidate.Str();
        }
        if (FieldText(candidate.CStr(), "ID") == id_) {
            element = candidate.Str();
            break;
        }
    }
    if (!element) {
        return 1;
    }
    std::optional<std::string> flag = FieldText(element->c_str(), "VALID_FLAG");
    if (!flag) {
        return 1;
    }
    switch (ParameterValidFlagStrToType(flag->c_str())) {
        case VELK_PARAM_VALID:
            state_ = CTestParameter::VALID;
            break;
        case VELK_PARAM_ID_NOT_RECOGNIZED:
            state_ = CTestParameter::ID_NOT_RECOGNIZED;
            break;
        case VELK_PARAM_VALUE_TOO_BIG:
            state_ = CTestParameter::VALUE_TOO_BIG;
            break;
        case VELK_PARAM_VALUE_TOO_SMALL:
            state_ = CTestParameter::VALUE_TOO_SMALL;
            break;
        case VELK_PARAM_VALUE_BAD:
            state_ = CTestParameter::VALUE_BAD;
            break;
        default:
            state_ = CTestParameter::INVALID;
            break;
    }
    if (auto minimum = FieldText(element->c_str(), "MIN_VALUE")) {
        minValue_ = CToken(*minimum);
        hasMin_ = 1;
    }
    if (auto maximum = FieldText(element->c_str(), "MAX_VALUE")) {
        maxValue_ = CToken(*maximum);
        hasMax_ = 1;
    }
    return 0;
}

}  // namespace VELKCORE
