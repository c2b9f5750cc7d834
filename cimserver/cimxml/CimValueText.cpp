#include "CimValueText.h"

#include <cerrno>
#include <cstdlib>
#include <limits>
#include <stdexcept>
#include <strings.h>

#include <Pegasus/Common/CIMDateTime.h>
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMObject.h>

namespace velk::cimserver {

using namespace Pegasus;

namespace {

const CIMType ALL_TYPES[] = {CIMTYPE_BOOLEAN, CIMTYPE_UINT8,    CIMTYPE_SINT8,     CIMTYPE_UINT16,
                             CIMTYPE_SINT16,  CIMTYPE_UINT32,   CIMTYPE_SINT32,    CIMTYPE_UINT64,
                             CIMTYPE_SINT64,  CIMTYPE_REAL32,   CIMTYPE_REAL64,    CIMTYPE_CHAR16,
                             CIMTYPE_STRING,  CIMTYPE_DATETIME, CIMTYPE_REFERENCE, CIMTYPE_OBJECT,
                             CIMTYPE_INSTANCE};

[[noreturn]] void badValue(const std::string& text, CIMType type) {
    throw std::invalid_argument("\"" + text + "\" is no valid " + cimTypeName(type) + " value");
}

std::string trimmed(const std::string& text) {
    size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return "";
    }
    size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

template <typename T>
T parseUnsigned(const std::string& text, CIMType type) {
    std::string number = trimmed(text);
    if (number.empty() || number[0] == '-' || number[0] == '+') {
        badValue(text, type);
    }
    errno = 0;
    char* end = nullptr;
    unsigned long long value = strtoull(number.c_str(), &end, 0);
    if (errno != 0 || *end != '\0' || value > std::numeric_limits<T>::max()) {
        badValue(text, type);
    }
    return static_cast<T>(value);
}

template <typename T>
T parseSigned(const std::string& text, CIMType type) {
    std::string number = trimmed(text);
    if (number.empty()) {
        badValue(text, type);
    }
    errno = 0;
    char* end = nullptr;
    long long value = strtoll(number.c_str(), &end, 0);
    if (errno != 0 || *end != '\0' || value > std::numeric_limits<T>::max() ||
        value < std::numeric_limits<T>::min()) {
        badValue(text, type);
    }
    return static_cast<T>(value);
}

double parseReal(const std::string& text, CIMType type) {
    std::string number = trimmed(text);
    errno = 0;
    char* end = nullptr;
    double value = strtod(number.c_str(), &end);
    if (number.empty() || errno != 0 || *end != '\0') {
        badValue(text, type);
    }
    return value;
}

template <typename T>
CIMValue collect(CIMType type, const std::vector<std::string>& texts) {
    Array<T> values;
    for (const std::string& text : texts) {
        T value;
        parseCimValue(type, text).get(value);
        values.append(value);
    }
    return CIMValue(values);
}

template <typename T>
std::vector<std::string> textsOf(const CIMValue& value) {
    std::vector<std::string> texts;
    Array<T> values;
    if (value.isArray()) {
        value.get(values);
    } else {
        T scalar;
        value.get(scalar);
        values.append(scalar);
    }
    for (Uint32 i = 0; i < values.size(); i++) {
        texts.push_back(toStdString(CIMValue(values[i]).toString()));
    }
    return texts;
}

}  // namespace

std::string toStdString(const String& text) {
    return std::string(static_cast<const char*>(text.getCString()));
}

String toPegasusString(const std::string& text) {
    return String(text.c_str(), Uint32(text.size()));
}

CIMType cimTypeFromName(const std::string& name) {
    for (CIMType type : ALL_TYPES) {
        if (strcasecmp(name.c_str(), cimTypeToString(type)) == 0) {
            return type;
        }
    }
    throw std::invalid_argument("unknown CIM type \"" + name + "\"");
}

std::string cimTypeName(CIMType type) {
    return cimTypeToString(type);
}

CIMValue parseCimValue(CIMType type, const std::string& text) {
    switch (type) {
        case CIMTYPE_BOOLEAN: {
            std::string word = trimmed(text);
            if (strcasecmp(word.c_str(), "true") == 0) {
                return CIMValue(true);
            }
            if (strcasecmp(word.c_str(), "false") == 0) {
                return CIMValue(false);
            }
            badValue(text, type);
        }
        case CIMTYPE_UINT8:
            return CIMValue(parseUnsigned<Uint8>(text, type));
        case CIMTYPE_SINT8:
            return CIMValue(parseSigned<Sint8>(text, type));
        case CIMTYPE_UINT16:
            return CIMValue(parseUnsigned<Uint16>(text, type));
        case CIMTYPE_SINT16:
            return CIMValue(parseSigned<Sint16>(text, type));
        case CIMTYPE_UINT32:
            return CIMValue(parseUnsigned<Uint32>(text, type));
        case CIMTYPE_SINT32:
            return CIMValue(parseSigned<Sint32>(text, type));
        case CIMTYPE_UINT64:
            return CIMValue(parseUnsigned<Uint64>(text, type));
        case CIMTYPE_SINT64:
            return CIMValue(parseSigned<Sint64>(text, type));
        case CIMTYPE_REAL32:
            return CIMValue(Real32(parseReal(text, type)));
        case CIMTYPE_REAL64:
            return CIMValue(Real64(parseReal(text, type)));
        case CIMTYPE_CHAR16: {
            String chars = toPegasusString(text);
            if (chars.size() != 1) {
                badValue(text, type);
            }
            return CIMValue(chars[0]);
        }
        case CIMTYPE_STRING:
            return CIMValue(toPegasusString(text));
        case CIMTYPE_DATETIME:
            try {
                return CIMValue(CIMDateTime(toPegasusString(trimmed(text))));
            } catch (const Exception&) {
                badValue(text, type);
            }
        case CIMTYPE_REFERENCE:
            try {
                return CIMValue(CIMObjectPath(toPegasusString(text)));
            } catch (const Exception&) {
                badValue(text, type);
            }
        default:
            badValue(text, type);
    }
}

CIMValue parseCimArray(CIMType type, const std::vector<std::string>& texts) {
    switch (type) {
        case CIMTYPE_BOOLEAN:
            return collect<Boolean>(type, texts);
        case CIMTYPE_UINT8:
            return collect<Uint8>(type, texts);
        case CIMTYPE_SINT8:
            return collect<Sint8>(type, texts);
        case CIMTYPE_UINT16:
            return collect<Uint16>(type, texts);
        case CIMTYPE_SINT16:
            return collect<Sint16>(type, texts);
        case CIMTYPE_UINT32:
            return collect<Uint32>(type, texts);
        case CIMTYPE_SINT32:
            return collect<Sint32>(type, texts);
        case CIMTYPE_UINT64:
            return collect<Uint64>(type, texts);
        case CIMTYPE_SINT64:
            return collect<Sint64>(type, texts);
        case CIMTYPE_REAL32:
            return collect<Real32>(type, texts);
        case CIMTYPE_REAL64:
            return collect<Real64>(type, texts);
        case CIMTYPE_CHAR16:
            return collect<Char16>(type, texts);
        case CIMTYPE_STRING:
            return collect<String>(type, texts);
        case CIMTYPE_DATETIME:
            return collect<CIMDateTime>(type, texts);
        case CIMTYPE_REFERENCE:
            return collect<CIMObjectPath>(type, texts);
        default:
            throw std::invalid_argument("arrays of " + cimTypeName(type) + " are not supported");
    }
}

std::vector<std::string> cimValueTexts(const CIMValue& value) {
    if (value.isNull()) {
        return {};
    }
    switch (value.getType()) {
        case CIMTYPE_BOOLEAN:
            return textsOf<Boolean>(value);
        case CIMTYPE_UINT8:
            return textsOf<Uint8>(value);
        case CIMTYPE_SINT8:
            return textsOf<Sint8>(value);
        case CIMTYPE_UINT16:
            return textsOf<Uint16>(value);
        case CIMTYPE_SINT16:
            return textsOf<Sint16>(value);
        case CIMTYPE_UINT32:
            return textsOf<Uint32>(value);
        case CIMTYPE_SINT32:
            return textsOf<Sint32>(value);
        case CIMTYPE_UINT64:
            return textsOf<Uint64>(value);
        case CIMTYPE_SINT64:
            return textsOf<Sint64>(value);
        case CIMTYPE_REAL32:
            return textsOf<Real32>(value);
        case CIMTYPE_REAL64:
            return textsOf<Real64>(value);
        case CIMTYPE_CHAR16:
            return textsOf<Char16>(value);
        case CIMTYPE_STRING:
            return textsOf<String>(value);
        case CIMTYPE_DATETIME:
            return textsOf<CIMDateTime>(value);
        case CIMTYPE_REFERENCE:
            return textsOf<CIMObjectPath>(value);
        case CIMTYPE_OBJECT:
            return textsOf<CIMObject>(value);
        case CIMTYPE_INSTANCE:
            return textsOf<CIMInstance>(value);
    }
    return {};
}

std::vector<CIMObjectPath> cimValueReferences(const CIMValue& value) {
    std::vector<CIMObjectPath> paths;
    if (value.isNull() || value.getType() != CIMTYPE_REFERENCE) {
        return paths;
    }
    Array<CIMObjectPath> values;
    if (value.isArray()) {
        value.get(values);
    } else {
        CIMObjectPath path;
        value.get(path);
        values.append(path);
    }
    for (Uint32 i = 0; i < values.size(); i++) {
        paths.push_back(values[i]);
    }
    return paths;
}

}  // namespace velk::cimserver
