// CToken: a text that may be an NLS tag ("<NLS mod=... id=... />"), with a
// cache of its translations.
//
// Texts that users see (names, descriptions, messages) travel as NLS tags and
// are translated on every read into the output language.  A translation that
// the NLS engine gives in exactly the language asked is cached; a text that
// only exists in English is shown in English and looked up again next time
// (the requested language may gain it), and a tag without any text is shown
// as the tag itself.  A token that is not an NLS tag is its own text and
// causes no engine traffic.
//
// Not internally locked, like the objects that hold tokens.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "NLS.h"

namespace VELKCORE {

class CToken {
  public:
    // One cached translation.
    class CTranslation {
      public:
        CTranslation(CNLS::LanguageId language, std::string text)
            : language_(language), text_(std::move(text)) {}
        virtual ~CTranslation() = default;
        CTranslation(const CTranslation&) = default;
        CTranslation& operator=(const CTranslation&) = default;

        CNLS::LanguageId Language() const { return language_; }
        const std::string& Text() const { return text_; }

      private:
        CNLS::LanguageId language_;
        std::string text_;
    };

    // The lookup of a token's text: on entry lang is the language asked, on
    // success (0) lang is the language of text.
    using Lookup =
        std::function<int(const std::string& token, CNLS::LanguageId& lang, std::string& text)>;

    CToken() = default;
    CToken(const std::string& token) : token_(token) {}
    // A null text is the empty token.
    CToken(const char* token) : token_(token != nullptr ? token : "") {}
    virtual ~CToken() = default;
    CToken(const CToken&) = default;
    CToken& operator=(const CToken&) = default;

    const std::string& Token() const { return token_; }
    bool IsNlsTag() const;

    // The text in lang, looked up through the NLS engine.
    std::string GetTranslatedString(CNLS::LanguageId lang) const;
    // The same with the given lookup in place of the NLS engine.
    std::string GetTranslatedString(CNLS::LanguageId lang, const Lookup& lookup) const;

    const std::vector<CTranslation>& Translations() const { return translations_; }

  private:
    std::string token_;
    mutable std::vector<CTranslation> translations_;
};

}  // namespace VELKCORE
