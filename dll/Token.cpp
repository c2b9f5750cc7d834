#include "Token.h"

#include "NLSImp.h"

namespace VELKCORE {

bool CToken::IsNlsTag() const {
    return token_.starts_with("<NLS ");
}

std::string CToken::GetTranslatedString(CNLS::LanguageId lang) const {
    return GetTranslatedString(lang, &CNLSImp::LookUpToken);
}

std::string CToken::GetTranslatedString(CNLS::LanguageId lang, const Lookup& lookup) const {
    for (const CTranslation& translation : translations_) {
        if (translation.Language() == lang) {
            return translation.Text();
        }
    }
    if (token_.empty() || !IsNlsTag()) {
        return token_;
    }
    CNLS::LanguageId found = lang;
    std::string text;
    if (lookup(token_, found, text) != 0) {
        return token_;
    }
    if (found == lang) {
        translations_.emplace_back(lang, text);
        return text;
    }
    // English in place of a missing translation is shown, not cached; the
    // untranslated answer (TK) is the tag itself.
    if (found == CNLS::EN) {
        return text;
    }
    return token_;
}

}  // namespace VELKCORE
