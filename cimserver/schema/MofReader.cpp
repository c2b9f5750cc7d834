#include "MofReader.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <array>
#include <fstream>
#include <sstream>

#include "MofLexer.h"

namespace velk::cimserver {

namespace {

constexpr std::size_t kMaxIncludeDepth = 16;
constexpr off_t kMaxFileBytes = 8 * 1024 * 1024;

const std::array<const char*, 14> kDataTypes = {"boolean", "string", "char16", "datetime", "uint8",
                                                "sint8",   "uint16", "sint16", "uint32",   "sint32",
                                                "uint64",  "sint64", "real32", "real64"};

bool isDataType(const std::string& name) {
    return std::any_of(kDataTypes.begin(), kDataTypes.end(),
                       [&](const char* type) { return sameCimName(name, type); });
}

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string folderOf(const std::string& path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// A literal value or an array of them, as written.
struct Value {
    enum class Kind { String, Number, Boolean, Null, Mixed };
    Kind kind = Kind::Null;
    bool isArray = false;
    std::vector<std::string> elements;
    int line = 0;

    std::string text() const {
        std::string joined;
        for (std::size_t i = 0; i < elements.size(); ++i) {
            joined += (i ? "," : "") + elements[i];
        }
        return joined;
    }
};

// Whether an integer literal (decimal or 0x hex, already well formed) lies
// in the range of an integer type such as "uint8" or "sint32".
bool integerFits(const std::string& literal, const std::string& type) {
    if (literal.find_first_of(".eE") != std::string::npos &&
        literal.find_first_of("xX") == std::string::npos) {
        return false;  // a real where an integer belongs
    }
    bool negative = literal[0] == '-';
    std::string digits = literal.substr(literal[0] == '-' || literal[0] == '+' ? 1 : 0);
    errno = 0;
    bool hex = digits.size() > 1 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X');
    unsigned long long magnitude =
        std::strtoull(digits.c_str() + (hex ? 2 : 0), nullptr, hex ? 16 : 10);
    if (errno == ERANGE) {
        return false;
    }
    int bits = std::atoi(type.c_str() + 4);
    if (type[0] == 'u') {
        return (!negative || magnitude == 0) && (bits == 64 || magnitude <= (1ULL << bits) - 1);
    }
    unsigned long long limit = 1ULL << (bits - 1);
    return negative ? magnitude <= limit : magnitude < limit;
}

bool valueFits(const Value& value, const std::string& type) {
    if (value.kind == Value::Kind::Null) {
        return true;
    }
    std::string t = lower(type);
    if (t == "string" || t == "datetime" || t == "char16") {
        return value.kind == Value::Kind::String;
    }
    if (t == "boolean") {
        return value.kind == Value::Kind::Boolean;
    }
    if (t == "reference") {
        return value.kind == Value::Kind::String;
    }
    if (value.kind != Value::Kind::Number) {
        return false;
    }
    if (t[0] == 'r') {
        return true;
    }
    return std::all_of(value.elements.begin(), value.elements.end(),
                       [&](const std::string& e) { return integerFits(e, t); });
}

class Parser {
  public:
    Parser(std::vector<MofToken> tokens, const std::string& file, ClassSchema& schema,
           MofReader& reader)
        : _tokens(std::move(tokens)), _file(file), _schema(schema), _reader(reader) {}

    void run() {
        while (peek().kind != MofToken::Kind::End) {
            if (isPunct("#")) {
                readPragma();
                continue;
            }
            std::vector<QualifierDecl> qualifiers;
            if (isPunct("[")) {
                qualifiers = readQualifiers();
            }
            const MofToken& keyword = expectName("'class' or 'instance'");
            if (sameCimName(keyword.text, "class")) {
                readClass(std::move(qualifiers), keyword.line);
            } else if (sameCimName(keyword.text, "instance")) {
                readInstance(keyword.line);
            } else {
                fail(keyword, "expected 'class' or 'instance', found '" + keyword.text + "'");
            }
        }
    }

  private:
    [[noreturn]] void fail(const MofToken& at, const std::string& what) const {
        throw MofError(_file, at.line, what);
    }
    const MofToken& peek(std::size_t ahead = 0) const {
        return _tokens[std::min(_pos + ahead, _tokens.size() - 1)];
    }
    const MofToken& next() {
        const MofToken& token = peek();
        if (_pos < _tokens.size() - 1) {
            ++_pos;
        }
        return token;
    }
    static std::string describe(const MofToken& token) {
        switch (token.kind) {
            case MofToken::Kind::End:
                return "end of file";
            case MofToken::Kind::String:
                return "a string";
            case MofToken::Kind::Char:
                return "a character literal";
            default:
                return "'" + token.text + "'";
        }
    }
    bool isPunct(const char* p, std::size_t ahead = 0) const {
        return peek(ahead).kind == MofToken::Kind::Punct && peek(ahead).text == p;
    }
    bool isName(const char* name) const {
        return peek().kind == MofToken::Kind::Name && sameCimName(peek().text, name);
    }
    void expectPunct(const char* p) {
        if (!isPunct(p)) {
            fail(peek(), std::string("expected '") + p + "', found " + describe(peek()));
        }
        next();
    }
    const MofToken& expectName(const std::string& what) {
        if (peek().kind != MofToken::Kind::Name) {
            fail(peek(), "expected " + what + ", found " + describe(peek()));
        }
        return next();
    }

    void readPragma() {
        const MofToken& hash = next();
        const MofToken& pragma = expectName("'pragma'");
        if (!sameCimName(pragma.text, "pragma")) {
            fail(pragma, "expected 'pragma' after '#'");
        }
        const MofToken& name = expectName("a pragma name");
        expectPunct("(");
        if (peek().kind != MofToken::Kind::String) {
            fail(peek(), "expected a string argument for #pragma " + name.text);
        }
        std::string argument = next().text;
        expectPunct(")");
        if (sameCimName(name.text, "include")) {
            std::string path =
                argument.empty() || argument[0] == '/' ? argument : folderOf(_file) + argument;
            _reader.readFile(path, _file, hash.line);
        } else if (!sameCimName(name.text, "namespace") && !sameCimName(name.text, "locale")) {
            fail(name, "unknown pragma '" + name.text + "'");
        }
    }

    Value readScalar() {
        Value value;
        value.line = peek().line;
        const MofToken& token = peek();
        if (token.kind == MofToken::Kind::String) {
            std::string joined;
            while (peek().kind == MofToken::Kind::String) {
                joined += next().text;
            }
            value.kind = Value::Kind::String;
            value.elements.push_back(joined);
        } else if (token.kind == MofToken::Kind::Char) {
            value.kind = Value::Kind::String;
            value.elements.push_back(next().text);
        } else if (token.kind == MofToken::Kind::Number) {
            value.kind = Value::Kind::Number;
            value.elements.push_back(next().text);
        } else if (isName("true") || isName("false")) {
            value.kind = Value::Kind::Boolean;
            value.elements.push_back(lower(next().text));
        } else if (isName("null")) {
            next();
            value.kind = Value::Kind::Null;
        } else {
            fail(token, "expected a value, found " + describe(token));
        }
        return value;
    }

    Value readValue() {
        if (!isPunct("{")) {
            return readScalar();
        }
        Value array;
        array.line = next().line;
        array.isArray = true;
        bool first = true;
        while (!isPunct("}")) {
            if (!first) {
                expectPunct(",");
            }
            first = false;
            Value element = readScalar();
            if (element.kind == Value::Kind::Null) {
                fail(peek(), "null inside an array value");
            }
            if (array.elements.empty()) {
                array.kind = element.kind;
            } else if (array.kind != element.kind) {
                array.kind = Value::Kind::Mixed;
            }
            array.elements.push_back(element.elements.front());
        }
        next();
        if (array.elements.empty()) {
            array.kind = Value::Kind::Null;
        }
        return array;
    }

    std::vector<QualifierDecl> readQualifiers() {
        std::vector<QualifierDecl> qualifiers;
        expectPunct("[");
        for (;;) {
            const MofToken& name = expectName("a qualifier name");
            for (const auto& q : qualifiers) {
                if (sameCimName(q.name, name.text)) {
                    fail(name, "qualifier '" + name.text + "' given twice");
                }
            }
            QualifierDecl qualifier;
            qualifier.name = name.text;
            qualifier.type = "boolean";
            qualifier.value = "true";
            if (isPunct("(") || isPunct("{")) {
                bool parenthesized = isPunct("(");
                if (parenthesized) {
                    next();
                }
                Value value = readValue();
                if (parenthesized) {
                    expectPunct(")");
                }
                if (value.kind == Value::Kind::Mixed) {
                    fail(name, "qualifier '" + name.text + "' mixes value types");
                }
                qualifier.isArray = value.isArray;
                qualifier.values = value.elements;
                qualifier.value = value.text();
                qualifier.type = qualifierType(value);
            }
            if (isPunct(":")) {  // flavors, for example ": ToSubclass Translatable"
                next();
                expectName("a qualifier flavor");
                while (peek().kind == MofToken::Kind::Name) {
                    next();
                }
            }
            qualifiers.push_back(std::move(qualifier));
            if (isPunct("]")) {
                next();
                return qualifiers;
            }
            expectPunct(",");
        }
    }

    static std::string qualifierType(const Value& value) {
        switch (value.kind) {
            case Value::Kind::String:
                return "string";
            case Value::Kind::Boolean:
                return "boolean";
            case Value::Kind::Number:
                for (const auto& e : value.elements) {
                    if (e.find_first_of(".eE") != std::string::npos &&
                        e.find_first_of("xX") == std::string::npos) {
                        return "real64";
                    }
                    if (!e.empty() && e[0] == '-') {
                        return "sint64";
                    }
                }
                return "uint32";
            default:
                return "string";
        }
    }

    static bool flag(const std::vector<QualifierDecl>& qualifiers, const char* name, bool* given) {
        for (const auto& q : qualifiers) {
            if (sameCimName(q.name, name)) {
                if (given) {
                    *given = true;
                }
                return q.type == "boolean" && q.value == "true";
            }
        }
        return false;
    }

    // A type: a data type, or "ClassName REF". Fills type and referenceClass.
    void readType(std::string& type, std::string& referenceClass) {
        const MofToken& typeName = expectName("a type");
        if (isName("ref")) {
            next();
            type = "reference";
            referenceClass = typeName.text;
            if (isDataType(typeName.text)) {
                fail(typeName, "'" + typeName.text + "' is a data type, not a class to reference");
            }
        } else if (isDataType(typeName.text)) {
            type = lower(typeName.text);
        } else {
            fail(typeName, "unknown type '" + typeName.text + "'");
        }
    }

    bool readArraySuffix() {
        if (!isPunct("[")) {
            return false;
        }
        next();
        if (peek().kind == MofToken::Kind::Number) {
            next();
        }
        expectPunct("]");
        return true;
    }

    void readClass(std::vector<QualifierDecl> qualifiers, int line) {
        ClassDecl decl;
        decl.name = expectName("a class name").text;
        decl.qualifiers = std::move(qualifiers);
        if (isPunct(":")) {
            next();
            decl.superClass = expectName("a superclass name").text;
        }
        expectPunct("{");
        while (!isPunct("}")) {
            readFeature(decl);
        }
        next();
        expectPunct(";");
        _schema.addClass(std::move(decl), _file, line);
    }

    void checkUnique(const ClassDecl& decl, const MofToken& name) const {
        bool taken =
            std::any_of(decl.properties.begin(), decl.properties.end(),
                        [&](const PropertyDecl& p) { return sameCimName(p.name, name.text); }) ||
            std::any_of(decl.methods.begin(), decl.methods.end(),
                        [&](const MethodDecl& m) { return sameCimName(m.name, name.text); });
        if (taken) {
            fail(name, "'" + name.text + "' declared twice in class " + decl.name);
        }
    }

    void readFeature(ClassDecl& decl) {
        std::vector<QualifierDecl> qualifiers;
        if (isPunct("[")) {
            qualifiers = readQualifiers();
        }
        std::string type;
        std::string referenceClass;
        readType(type, referenceClass);
        const MofToken& name = expectName("a property or method name");
        checkUnique(decl, name);
        if (isPunct("(")) {
            if (type == "reference") {
                fail(name, "method '" + name.text + "' cannot return a reference");
            }
            MethodDecl method;
            method.name = name.text;
            method.returnType = type;
            method.qualifiers = std::move(qualifiers);
            readParameters(method);
            expectPunct(";");
            decl.methods.push_back(std::move(method));
            return;
        }
        PropertyDecl property;
        property.name = name.text;
        property.type = type;
        property.referenceClass = referenceClass;
        property.isArray = readArraySuffix();
        if (property.isArray && type == "reference") {
            fail(name, "reference '" + name.text + "' cannot be an array");
        }
        property.isKey = flag(qualifiers, "Key", nullptr);
        property.qualifiers = std::move(qualifiers);
        if (isPunct("=")) {
            next();
            Value value = readValue();
            checkValue(value, property.type, property.isArray, name.text);
            property.hasDefault = value.kind != Value::Kind::Null;
            property.defaultValue = value.text();
        }
        expectPunct(";");
        decl.properties.push_back(std::move(property));
    }

    void checkValue(const Value& value, const std::string& type, bool isArray,
                    const std::string& name) const {
        if ((value.kind != Value::Kind::Null || value.isArray) && value.isArray != isArray) {
            throw MofError(_file, value.line,
                           isArray ? "array '" + name + "' needs a value in { }"
                                   : "'" + name + "' is not an array");
        }
        if (!valueFits(value, type)) {
            throw MofError(_file, value.line, "value of '" + name + "' does not fit type " + type);
        }
    }

    void readParameters(MethodDecl& method) {
        expectPunct("(");
        while (!isPunct(")")) {
            if (!method.parameters.empty()) {
                expectPunct(",");
            }
            ParameterDecl parameter;
            if (isPunct("[")) {
                parameter.qualifiers = readQualifiers();
            }
            readType(parameter.type, parameter.referenceClass);
            const MofToken& name = expectName("a parameter name");
            for (const auto& p : method.parameters) {
                if (sameCimName(p.name, name.text)) {
                    fail(name, "parameter '" + name.text + "' declared twice");
                }
            }
            parameter.name = name.text;
            parameter.isArray = readArraySuffix();
            bool inGiven = false;
            bool in = flag(parameter.qualifiers, "In", &inGiven);
            parameter.out = flag(parameter.qualifiers, "Out", nullptr);
            parameter.in = inGiven ? in : !parameter.out;
            method.parameters.push_back(std::move(parameter));
        }
        next();
    }

    void readInstance(int line) {
        const MofToken& of = expectName("'of'");
        if (!sameCimName(of.text, "of")) {
            fail(of, "expected 'of' after 'instance'");
        }
        const MofToken& className = expectName("a class name");
        const ClassDecl* decl = _schema.find(className.text);
        if (!decl) {
            fail(className, "instance of unknown class '" + className.text + "'");
        }
        InstanceDecl instance;
        instance.className = decl->name;
        expectPunct("{");
        while (!isPunct("}")) {
            const MofToken& name = expectName("a property name");
            const PropertyDecl* property = decl->findProperty(name.text);
            if (!property) {
                fail(name, "class " + decl->name + " has no property '" + name.text + "'");
            }
            for (const auto& v : instance.values) {
                if (sameCimName(v.first, name.text)) {
                    fail(name, "property '" + name.text + "' given twice");
                }
            }
            expectPunct("=");
            Value value = readValue();
            checkValue(value, property->type, property->isArray, name.text);
            expectPunct(";");
            if (value.kind == Value::Kind::Null && !value.isArray) {
                continue;
            }
            instance.values.emplace_back(property->name, value.text());
            if (value.isArray) {
                instance.arrayValues.emplace_back(property->name, value.elements);
            }
        }
        next();
        expectPunct(";");
        _schema.addInstance(std::move(instance), _file, line);
    }

    std::vector<MofToken> _tokens;
    std::size_t _pos = 0;
    const std::string& _file;
    ClassSchema& _schema;
    MofReader& _reader;
};

}  // namespace

void MofReader::readFile(const std::string& path, const std::string& includedFrom,
                         int includeLine) {
    auto refuse = [&](const std::string& what) {
        if (includedFrom.empty()) {
            throw MofError(path, 0, what);
        }
        throw MofError(includedFrom, includeLine, what);
    };
    if (std::find(_openFiles.begin(), _openFiles.end(), path) != _openFiles.end()) {
        refuse("'" + path + "' includes itself");
    }
    if (_openFiles.size() >= kMaxIncludeDepth) {
        refuse("includes nested too deeply at '" + path + "'");
    }
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        refuse("cannot read '" + path + "': not a readable file");
    }
    if (info.st_size > kMaxFileBytes) {
        refuse("'" + path + "' is too large for a MOF file");
    }
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in) {
        refuse("cannot read '" + path + "'");
    }
    readText(text.str(), path);
}

void MofReader::readText(const std::string& text, const std::string& sourceName) {
    // Keeps sourceName on the include chain while it is read, however it ends.
    struct OpenFile {
        std::vector<std::string>& chain;
        OpenFile(std::vector<std::string>& files, const std::string& name) : chain(files) {
            chain.push_back(name);
        }
        ~OpenFile() { chain.pop_back(); }
    } open(_openFiles, sourceName);
    Parser(tokenizeMof(text, sourceName), sourceName, _schema, *this).run();
}

}  // namespace velk::cimserver
