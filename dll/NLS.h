// CNLS: the engine client's view of the NLS engine: the languages it
// supports, the default language, the text of an NLS token in a language,
// the registered string file, and helpers that build tokens.
//
// CNLS is the interface of a CNLSImp.  Constructed alone it creates and owns
// its implementation; the test environment's NLS service is a CNLSImp that
// creates its interface and hands it out through CTestEnvironment::GetNLS.
#pragma once

#include <string>

namespace VELKCORE {

class CNLSImp;

class CNLS {
  public:
    // Two-letter language codes; the value is the position in the list.
    // "TK" (122) is the token pseudo-language: a text that came back
    // untranslated.  INVALID_LANGUAGE (143) stands for an unknown code.
    enum LanguageId : int {
        EN,
        AA,
        AB,
        AF,
        AM,
        AR,
        AS,
        AY,
        AZ,
        BA,
        BE,
        BG,
        BH,
        BI,
        BN,
        BO,
        BR,
        CA,
        CO,
        CS,
        CY,
        DA,
        DE,
        DZ,
        EL,
        EO,
        ES,
        ET,
        EU,
        FA,
        FI,
        FJ,
        FO,
        FR,
        FY,
        GA,
        GD,
        GL,
        GN,
        GU,
        GV,
        HA,
        HE,
        HI,
        HR,
        HU,
        HY,
        IA,
        ID,
        IE,
        IK,
        IS,
        IT,
        IU,
        JA,
        JW,
        KA,
        KK,
        KL,
        KM,
        KN,
        KO,
        KS,
        KU,
        KW,
        KY,
        LA,
        LB,
        LN,
        LO,
        LT,
        LV,
        MG,
        MI,
        MK,
        ML,
        MN,
        MO,
        MR,
        MS,
        MT,
        MY,
        NA,
        NE,
        NL,
        NO,
        OC,
        OM,
        OR,
        PA,
        PL,
        PS,
        PT,
        QU,
        RM,
        RN,
        RO,
        RU,
        RW,
        SA,
        SD,
        SE,
        SG,
        SH,
        SI,
        SK,
        SL,
        SM,
        SN,
        SO,
        SQ,
        SR,
        SS,
        ST,
        SU,
        SV,
        SW,
        TA,
        TE,
        TG,
        TH,
        TI,
        TK,
        TL,
        TN,
        TO,
        TR,
        TS,
        TT,
        TW,
        UG,
        UK,
        UR,
        UZ,
        VI,
        VO,
        WO,
        XH,
        YI,
        YO,
        ZA,
        ZH,
        ZU,
        INVALID_LANGUAGE = 143
    };
    static constexpr unsigned int LANGUAGE_COUNT = 143;

    // Creates its own implementation.
    CNLS();
    // The interface of imp, which owns it.
    explicit CNLS(CNLSImp* imp);
    virtual ~CNLS();
    CNLS(const CNLS&) = delete;
    CNLS& operator=(const CNLS&) = delete;

    int GetUseNLSTokens(bool& use) const;
    int SetUseNLSTokens(bool use);
    // Refreshes the supported-language list from the NLS engine (appending
    // its answer), then gives the output language of the test environment.
    int GetOutputLanguage(LanguageId& lang);
    int SetOutputLanguage(LanguageId lang);
    // The NLS engine's default language; INVALID_LANGUAGE and 1 when it
    // cannot be had.
    static int GetDefaultLanguage(LanguageId& lang);
    // 1 when the NLS engine does not take it (or lang is not a language).
    static int SetDefaultLanguage(LanguageId lang);
    int GetLanguageIdSupportArraySize(unsigned int& size) const;
    // INVALID_LANGUAGE and 1 when index is out of range.
    int GetLanguageIdSupportArrayElement(unsigned int index, LanguageId& lang) const;
    // The text of token in lang.  0: text found, lang set to the language of
    // the text (the one asked, EN as fallback, TK when untranslated).
    // 1: text is "Error".
    int GetHRStringFromToken(const std::string& token, LanguageId& lang, std::string& text) const;
    // Remembers the string file and registers it with the NLS engine; 1 when
    // the registration fails.
    int RegisterStringFile(const std::string& fileName);
    // "<NLS mod=<string file> id=<tag> />"; the module is
    // "ERROR_NO_STRING_FILE" while no string file is registered.
    static std::string TagToToken(const std::string& tag);
    // token with the variable name=value appended; token unchanged when it
    // cannot be (not a token, bad name, longer than 511 characters).
    static std::string AddVarToToken(const std::string& token, const std::string& name,
                                     const std::string& value);
    // The two-letter code; "" for INVALID_LANGUAGE and beyond.
    static std::string LanguageIdToStr(LanguageId lang);
    // Exact (upper-case) match; INVALID_LANGUAGE for anything else.
    static LanguageId StrToLanguageId(const std::string& code);

    CNLSImp* Imp() const { return imp_; }

  private:
    friend class CNLSImp;
    CNLSImp* imp_;
    bool ownsImp_;
};

}  // namespace VELKCORE
