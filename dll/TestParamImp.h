// CTestParamImp: the implementation of CTestParameter.
//
// A parameter belongs to a test: it keeps the module id and two numbers of
// that test, the device id (first) and the test's index within its module
// (second), which the validation command names.
#pragma once

#include <ostream>
#include <string>

#include "TestParameter.h"
#include "Token.h"

namespace VELKCORE {

class CTestParamImp {
  public:
    // From the parameter's element of the device list (PROPERTY): NAME, TYPE,
    // ID, MASK, DEFAULT_VALUE, DESCRIPTION, RECOMMEND_VALIDATE, MUST_BE_SET,
    // MIN_VALUE, MAX_VALUE, each optional.
    CTestParamImp(int first, std::string moduleId, int second, const char* description);
    // A parameter known only by its id.
    CTestParamImp(int first, std::string moduleId, int second, std::string id);
    virtual ~CTestParamImp();
    // Copies every field; the copy has an interface object of its own.
    CTestParamImp(const CTestParamImp& other);
    CTestParamImp& operator=(const CTestParamImp& other);

    CTestParameter* Interface() const { return iface_; }

    int GetState(CTestParameter::State& state) const;
    int GetName(std::string& name) const;
    int GetType(std::string& type) const;
    int GetId(std::string& id) const;
    int GetMask(std::string& mask) const;
    int GetDefaultValue(std::string& value) const;
    int GetDescription(std::string& description) const;
    int HasRequestedValidation(bool& requested) const;
    int HasToBeApplied(bool& mustBeSet) const;
    int HasMinVal(bool& has) const;
    int HasMaxVal(bool& has) const;
    int GetMinVal(std::string& value);
    int GetMaxVal(std::string& value);
    int GetValue(std::string& value) const;
    int ApplyValue(const std::string& value);
    int OmitParameter();

    // The bounds as stored (translated), without asking the engine.
    std::string MinValue() const { return Translated(minValue_); }
    std::string MaxValue() const { return Translated(maxValue_); }
    // True once a value has been applied.
    bool HasValue() const;
    // The value as applied (untranslated).
    const std::string& ValueText() const { return value_.Token(); }
    // The run-command form "param=" + id + "," + value.
    int GetParam(std::string& param) const;
    // Sends VALIDATE_TEST_PARAMETERS for the current value and takes the
    // engine's verdict: 0, or 1 without an answer (state unchanged).
    int Validate();
    // Takes the verdict from a VALIDATE_TEST_PARAMETERS reply: 0, or 1 when
    // the reply holds no verdict (state unchanged).  Either way the
    // parameter counts as validated.
    int ApplyValidationReply(const char* reply);
    bool Validated() const { return validated_; }

    const std::string& ModuleId() const { return moduleId_; }
    int First() const { return first_; }
    int Second() const { return second_; }

    // A value that cannot travel inside an engine command: it holds "<" or
    // ">" (it would break the message) or a line end.  A ":" travels: the
    // value is the last field of the command, and values such as "code:3"
    // are the module's to judge.
    static bool IsUnsafeValue(const std::string& value);

  private:
    void init();
    std::string Translated(const CToken& token) const;

    CToken name_{"UNDEF"};
    std::string type_{"UNDEF"};
    std::string id_{"UNDEF"};
    std::string mask_{"UNDEF"};
    CToken defaultValue_{"UNDEF"};
    CToken description_{"UNDEF"};
    int recommendValidate_ = 0;
    int mustBeSet_ = 0;
    int hasMin_ = 0;
    int hasMax_ = 0;
    CToken minValue_{"UNDEF"};
    CToken maxValue_{"UNDEF"};
    CToken value_{"UNDEF"};
    CTestParameter::State state_ = CTestParameter::NOT_APPLIED;
    CTestParameter* iface_ = nullptr;
    std::string moduleId_{"UNDEF"};
    int first_ = -1;
    int second_ = -1;
    bool validated_ = false;

    friend class CTestParameter;
};

std::ostream& operator<<(std::ostream& os, CTestParamImp& parameter);

}  // namespace VELKCORE
