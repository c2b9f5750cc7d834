// CTestParameter: a caller's view of one parameter of a test (a threshold, a
// size, a mode).  The engine's device list describes it; a value applied by
// the caller is checked by the diagnostic engine (VALIDATE_TEST_PARAMETERS)
// and the verdict is the parameter's state.
//
// CTestParameter is the interface of a CTestParamImp, which creates and owns
// it; destroying either side destroys the other.
#pragma once

#include <ostream>
#include <string>

namespace VELKCORE {

class CTestParamImp;

class CTestParameter {
  public:
    enum State : int {
        NOT_APPLIED = 0,
        VALID = 1,
        ID_NOT_RECOGNIZED = 2,
        VALUE_TOO_BIG = 3,
        VALUE_TOO_SMALL = 4,
        VALUE_BAD = 5,
        INVALID = 6
    };

    explicit CTestParameter(CTestParamImp* imp);
    virtual ~CTestParameter();
    CTestParameter(const CTestParameter&) = delete;
    CTestParameter& operator=(const CTestParameter&) = delete;

    int GetState(State& state) const;
    // Token fields come translated into the test environment's output
    // language.
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
    // Without an earlier validation these validate first: 1 and no value when
    // that fails.
    int GetMinVal(std::string& value);
    int GetMaxVal(std::string& value);
    int GetValue(std::string& value) const;
    // Stores the value and validates it: 0 when the engine gave a verdict
    // (see GetState), 1 when it did not answer (state unchanged).
    int ApplyValue(const std::string& value);
    // Back to NOT_APPLIED: the parameter is left out of the run.
    int OmitParameter();

    // "NOT_APPLIED", "VALID", "ID_NOT_RECOGNIZED", "VALUE_TOO_BIG",
    // "VALUE_TOO_SMALL", "VALUE_BAD", "INVALID"; "UNDEFINED" otherwise.
    static std::string StateToString(State state);

    CTestParamImp* Imp() const { return imp_; }

  private:
    friend class CTestParamImp;
    CTestParamImp* imp_;
};

std::ostream& operator<<(std::ostream& os, const CTestParameter& parameter);

}  // namespace VELKCORE
