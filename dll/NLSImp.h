// CNLSImp: the implementation of CNLS.  It talks to the NLS engine with the
// commands NLS_GETLANGS, NLS_GET_DEFAULT_LANG, NLS_SET_DEFAULT_LANG (here)
// and NLS_GETSTRING, NLS_REGMOD (through the C layer's NLS access).
//
// The supported-language list and the registered string file are
// class-wide; like the rest of the API they are used under the callers' locks.
#pragma once

#include <string>
#include <vector>

#include "NLS.h"

namespace VELKCORE {

class CTestEnvironmentImp;

class CNLSImp {
  public:
    // A service that creates and owns its interface object (the test
    // environment embeds one of these).
    CNLSImp();
    // The implementation of iface, which owns it.
    explicit CNLSImp(CNLS* iface);
    virtual ~CNLSImp();
    CNLSImp(const CNLSImp&) = delete;
    CNLSImp& operator=(const CNLSImp&) = delete;

    void SetTestEnvironmentPtr(CTestEnvironmentImp* environment) { environment_ = environment; }
    CTestEnvironmentImp* TestEnvironment() const { return environment_; }
    CNLS* Interface() const { return iface_; }

    int GetUseNLSTokens(bool& use) const;
    int SetUseNLSTokens(bool use);
    int GetOutputLanguage(CNLS::LanguageId& lang);
    int SetOutputLanguage(CNLS::LanguageId lang);
    int GetLanguageIdSupportArraySize(unsigned int& size) const;
    int GetLanguageIdSupportArrayElement(unsigned int index, CNLS::LanguageId& lang) const;
    int GetHRStringFromToken(const std::string& token, CNLS::LanguageId& lang,
                             std::string& text) const;
    int RegisterStringFile(const std::string& fileName);

    // Asks the NLS engine for its languages ("EN:DE:FR") and appends them to
    // the supported list; 0, or 1 without an answer or with an unknown code.
    int GetLangs();
    // Appends the codes of a ':'-separated list to the supported list; an
    // unknown code ends the walk with 1 (the codes before it stay).
    static int AppendLangs(const std::string& codes);
    // The NLS engine's default language code; 0, or 1 without an answer.
    static int GetDefaultLang(std::string& code);
    static int SetDefaultLang(const std::string& code);
    // The lookup behind GetHRStringFromToken.
    static int LookUpToken(const std::string& token, CNLS::LanguageId& lang, std::string& text);

    static std::vector<CNLS::LanguageId> _languageIdSupport;
    static std::string _stringFile;

  private:
    friend class CNLS;
    CNLS::LanguageId outputLanguage_ = CNLS::EN;
    bool useNlsTokens_ = true;
    CTestEnvironmentImp* environment_ = nullptr;
    CNLS* iface_;
    bool ownsIface_;
};

}  // namespace VELKCORE
