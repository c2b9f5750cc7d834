#include "NLSImp.h"

#include "AutoMutex.h"
#include "EngineText.h"
#include "TestEnvironmentImp.h"
#include "nls-access.h"
#include "tracing.h"

namespace VELKCORE {

using detail::Addressee;
using detail::BoundedField;
using detail::BufferTransaction;

namespace {

constexpr uint32_t kLangsArea = 32768;
constexpr int kLangsWaitMs = 5000;
constexpr uint32_t kDefaultLangArea = 8192;
constexpr uint32_t kDefaultLangDataArea = 256;
constexpr int kDefaultLangWaitMs = 3000;

}  // namespace

std::vector<CNLS::LanguageId> CNLSImp::_languageIdSupport;
std::string CNLSImp::_stringFile;

CNLSImp::CNLSImp() : iface_(new CNLS(this)), ownsIface_(true) {}

CNLSImp::CNLSImp(CNLS* iface) : iface_(iface), ownsIface_(false) {}

CNLSImp::~CNLSImp() {
    if (iface_ != nullptr) {
        CNLS* iface = iface_;
        iface_ = nullptr;
        iface->imp_ = nullptr;
        if (ownsIface_) {
            delete iface;
        }
    }
}

int CNLSImp::GetUseNLSTokens(bool& use) const {
    use = useNlsTokens_;
    return 0;
}

int CNLSImp::SetUseNLSTokens(bool use) {
    useNlsTokens_ = use;
    return 0;
}

int CNLSImp::GetOutputLanguage(CNLS::LanguageId& lang) {
    GetLangs();
    lang = CTestEnvironmentImp::GetOutputLanguage();
    return 0;
}

int CNLSImp::SetOutputLanguage(CNLS::LanguageId lang) {
    outputLanguage_ = lang;
    CTestEnvironmentImp::SetOutputLanguage(lang);
    return 0;
}

int CNLSImp::GetLanguageIdSupportArraySize(unsigned int& size) const {
    size = static_cast<unsigned int>(_languageIdSupport.size());
    return 0;
}

int CNLSImp::GetLanguageIdSupportArrayElement(unsigned int index, CNLS::LanguageId& lang) const {
    if (index >= _languageIdSupport.size()) {
        lang = CNLS::INVALID_LANGUAGE;
        return 1;
    }
    lang = _languageIdSupport[index];
    return 0;
}

int CNLSImp::GetHRStringFromToken(const std::string& token, CNLS::LanguageId& lang,
                                  std::string& text) const {
    return LookUpToken(token, lang, text);
}

int CNLSImp::LookUpToken(const std::string& token, CNLS::LanguageId& lang, std::string& text) {
    std::string code = CNLS::LanguageIdToStr(lang).substr(0, 2);
    char returned[VELK_LANG_ID_SIZE] = {};
    detail::GenStr found;
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::ENGINE_COMMAND);
    if (VelkGetNlsStringWithXmlTag(token.c_str(), code.c_str(), returned, found.Get()) == 1 &&
        !found.Empty()) {
        text = found.Str();
        lang = CNLS::StrToLanguageId(returned);
        return 0;
    }
    text = "Error";
    return 1;
}

int CNLSImp::RegisterStringFile(const std::string& fileName) {
    _stringFile = fileName;
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::ENGINE_COMMAND);
    return VelkNlsRegisterModuleNlsFile(fileName.c_str()) == VELK_NLS_REG_OK ? 0 : 1;
}

int CNLSImp::GetLangs() {
    VTRACE(VELK_TRACE_DLL, "CNLSImp::GetLangs()\n");
    std::string reply;
    VTRACE(VELK_TRACE_DLL, "GetLangs: Command: %s", "NLS_GETLANGS\n");
    if (BufferTransaction(Addressee::NLS_ENGINE, "NLS_GETLANGS", kLangsArea, kLangsWaitMs, reply) !=
        detail::TX_OK) {
        VTRACE(VELK_TRACE_DLL, "GetLangs:No response.\n");
        return 1;
    }
    VTRACE(VELK_TRACE_DLL, "GetLangs: Message: %s\n", reply.c_str());
    std::optional<std::string> data = BoundedField(reply.c_str(), "MSG/DATA", kLangsArea);
    if (!data) {
        VTRACE(VELK_TRACE_DLL, "GetLangs:No DATA.\n");
        return 1;
    }
    VTRACE(VELK_TRACE_DLL, "GetLangs: Data: %s\n", data->c_str());
    return AppendLangs(*data);
}

int CNLSImp::AppendLangs(const std::string& codes) {
    std::string::size_type start = 0;
    for (;;) {
        std::string::size_type colon = codes.find(':', start);
        std::string code = codes.substr(start, colon == std::string::npos ? colon : colon - start);
        CNLS::LanguageId lang = CNLS::StrToLanguageId(code);
        if (lang == CNLS::INVALID_LANGUAGE) {
            VTRACE(VELK_TRACE_DLL, "GetLangs:No DATA.\n");
            return 1;
        }
        _languageIdSupport.push_back(lang);
        if (colon == std::string::npos) {
            return 0;
        }
        start = colon + 1;
    }
}

int CNLSImp::GetDefaultLang(std::string& code) {
    std::string reply;
    if (BufferTransaction(Addressee::NLS_ENGINE, "NLS_GET_DEFAULT_LANG", kDefaultLangArea,
                          kDefaultLangWaitMs, reply) != detail::TX_OK) {
        VTRACE(VELK_TRACE_DLL, "GetDefaultLang:No response.\n");
        return 1;
    }
    std::optional<std::string> data = BoundedField(reply.c_str(), "MSG/DATA", kDefaultLangDataArea);
    if (!data) {
        VTRACE(VELK_TRACE_DLL, "GetDefaultLang:No Data.\n");
        return 1;
    }
    code = *data;
    return 0;
}

int CNLSImp::SetDefaultLang(const std::string& code) {
    std::string reply;
    if (BufferTransaction(Addressee::NLS_ENGINE, "NLS_SET_DEFAULT_LANG:" + code, kDefaultLangArea,
                          kDefaultLangWaitMs, reply) != detail::TX_OK) {
        VTRACE(VELK_TRACE_DLL, "SetDefaultLang:No response.\n");
        return 1;
    }
    return 0;
}

}  // namespace VELKCORE
