#include "NLS.h"

#include <array>
#include <cstring>

#include "NLSImp.h"
#include "nls-access.h"
#include "tracing.h"

namespace VELKCORE {
namespace {

constexpr std::array<const char*, CNLS::LANGUAGE_COUNT> kLanguageCodes = {
    "EN", "AA", "AB", "AF", "AM", "AR", "AS", "AY", "AZ", "BA", "BE", "BG", "BH", "BI", "BN", "BO",
    "BR", "CA", "CO", "CS", "CY", "DA", "DE", "DZ", "EL", "EO", "ES", "ET", "EU", "FA", "FI", "FJ",
    "FO", "FR", "FY", "GA", "GD", "GL", "GN", "GU", "GV", "HA", "HE", "HI", "HR", "HU", "HY", "IA",
    "ID", "IE", "IK", "IS", "IT", "IU", "JA", "JW", "KA", "KK", "KL", "KM", "KN", "KO", "KS", "KU",
    "KW", "KY", "LA", "LB", "LN", "LO", "LT", "LV", "MG", "MI", "MK", "ML", "MN", "MO", "MR", "MS",
    "MT", "MY", "NA", "NE", "NL", "NO", "OC", "OM", "OR", "PA", "PL", "PS", "PT", "QU", "RM", "RN",
    "RO", "RU", "RW", "SA", "SD", "SE", "SG", "SH", "SI", "SK", "SL", "SM", "SN", "SO", "SQ", "SR",
    "SS", "ST", "SU", "SV", "SW", "TA", "TE", "TG", "TH", "TI", "TK", "TL", "TN", "TO", "TR", "TS",
    "TT", "TW", "UG", "UK", "UR", "UZ", "VI", "VO", "WO", "XH", "YI", "YO", "ZA", "ZH", "ZU"};

// Area in which a variable is added to a token.
constexpr unsigned int kTokenArea = 512;

// The last path component of a string file name: the module name under
// which the NLS engine registers it.
std::string ModuleNameOf(const std::string& fileName) {
    std::string::size_type slash = fileName.rfind('/');
    return slash == std::string::npos ? fileName : fileName.substr(slash + 1);
}

}  // namespace

CNLS::CNLS() : imp_(new CNLSImp(this)), ownsImp_(true) {}

CNLS::CNLS(CNLSImp* imp) : imp_(imp), ownsImp_(false) {}

CNLS::~CNLS() {
    if (imp_ != nullptr) {
        CNLSImp* imp = imp_;
        imp_ = nullptr;
        imp->iface_ = nullptr;
        if (ownsImp_) {
            delete imp;
        }
    }
}

int CNLS::GetUseNLSTokens(bool& use) const {
    return imp_->GetUseNLSTokens(use);
}

int CNLS::SetUseNLSTokens(bool use) {
    return imp_->SetUseNLSTokens(use);
}

int CNLS::GetOutputLanguage(LanguageId& lang) {
    return imp_->GetOutputLanguage(lang);
}

int CNLS::SetOutputLanguage(LanguageId lang) {
    return imp_->SetOutputLanguage(lang);
}

int CNLS::GetDefaultLanguage(LanguageId& lang) {
    std::string code;
    if (CNLSImp::GetDefaultLang(code) != 0) {
        lang = INVALID_LANGUAGE;
        return 1;
    }
    lang = StrToLanguageId(code);
    return lang == INVALID_LANGUAGE ? 1 : 0;
}

int CNLS::SetDefaultLanguage(LanguageId lang) {
    std::string code = LanguageIdToStr(lang);
    if (code.empty()) {
        return 1;
    }
    return CNLSImp::SetDefaultLang(code) == 0 ? 0 : 1;
}

int CNLS::GetLanguageIdSupportArraySize(unsigned int& size) const {
    return imp_->GetLanguageIdSupportArraySize(size);
}

int CNLS::GetLanguageIdSupportArrayElement(unsigned int index, LanguageId& lang) const {
    return imp_->GetLanguageIdSupportArrayElement(index, lang);
}

int CNLS::GetHRStringFromToken(const std::string& token, LanguageId& lang,
                               std::string& text) const {
    return imp_->GetHRStringFromToken(token, lang, text);
}

int CNLS::RegisterStringFile(const std::string& fileName) {
    return imp_->RegisterStringFile(fileName);
}

std::string CNLS::TagToToken(const std::string& tag) {
    const std::string& file = CNLSImp::_stringFile;
    std::string module = file.size() < 2 ? std::string("ERROR_NO_STRING_FILE") : ModuleNameOf(file);
    return "<NLS mod=" + module + " id=" + tag + " />";
}

std::string CNLS::AddVarToToken(const std::string& token, const std::string& name,
                                const std::string& value) {
    char area[kTokenArea] = {};
    if (token.size() >= sizeof area) {
        VTRACE(VELK_TRACE_DLL, "CNLS::AddVarToToken: token too long\n");
        return token;
    }
    std::memcpy(area, token.c_str(), token.size() + 1);
    int result = VelkNlsAddVariableToTag(area, sizeof area, name.c_str(), value.c_str());
    if (result != VELK_NLS_VAR_OK) {
        VTRACE(VELK_TRACE_DLL, "CNLS::AddVarToToken: variable not added (%i)\n", result);
        return token;
    }
    return std::string(area);
}

std::string CNLS::LanguageIdToStr(LanguageId lang) {
    if (lang < 0 || static_cast<unsigned int>(lang) >= LANGUAGE_COUNT) {
        return std::string();
    }
    return kLanguageCodes[static_cast<unsigned int>(lang)];
}

CNLS::LanguageId CNLS::StrToLanguageId(const std::string& code) {
    for (unsigned int i = 0; i < LANGUAGE_COUNT; ++i) {
        if (code == kLanguageCodes[i]) {
            return static_cast<LanguageId>(i);
        }
    }
    return INVALID_LANGUAGE;
}

}  // namespace VELKCORE
