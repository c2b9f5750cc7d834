// A CIMValue keeps its elements in an Array of the matching C++ type (a scalar is an array of
// one) inside an immutable representation that copies share.
#include <Pegasus/Common/CIMValue.h>

#include <cstdio>
#include <utility>
#include <variant>

#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMObject.h>

PEGASUS_NAMESPACE_BEGIN

// Alternatives in CIMType order, so that a type's index is its CIMType value.
typedef std::variant<Array<Boolean>, Array<Uint8>, Array<Sint8>, Array<Uint16>, Array<Sint16>,
                     Array<Uint32>, Array<Sint32>, Array<Uint64>, Array<Sint64>, Array<Real32>,
                     Array<Real64>, Array<Char16>, Array<String>, Array<CIMDateTime>,
                     Array<CIMObjectPath>, Array<CIMObject>, Array<CIMInstance>>
    CIMValueData;

struct CIMValueRep {
    CIMType type = CIMTYPE_BOOLEAN;
    Boolean isArray = false;
    Boolean isNull = true;
    CIMValueData data;
};

namespace {

template <class T, class Variant>
struct IndexOf;

template <class T, class... Ts>
struct IndexOf<T, std::variant<Ts...>> {
    static constexpr size_t value = [] {
        constexpr bool matches[] = {std::is_same_v<T, Ts>...};
        for (size_t i = 0; i < sizeof...(Ts); i++) {
            if (matches[i])
                return i;
        }
        return sizeof...(Ts);
    }();
};

template <class T>
constexpr CIMType typeOf() {
    return CIMType(IndexOf<Array<T>, CIMValueData>::value);
}

static_assert(typeOf<Boolean>() == CIMTYPE_BOOLEAN);
static_assert(typeOf<Real64>() == CIMTYPE_REAL64);
static_assert(typeOf<CIMObjectPath>() == CIMTYPE_REFERENCE);
static_assert(typeOf<CIMInstance>() == CIMTYPE_INSTANCE);

template <size_t... I>
CIMValueData emptyData(size_t index, std::index_sequence<I...>) {
    CIMValueData data;
    auto emplaceIf = [&data, index](auto alternative) {
        constexpr size_t i = decltype(alternative)::value;
        if (index == i)
            data.template emplace<i>();
    };
    (emplaceIf(std::integral_constant<size_t, I>()), ...);
    return data;
}

const std::shared_ptr<const CIMValueRep>& nullRep() {
    static const std::shared_ptr<const CIMValueRep> rep = std::make_shared<CIMValueRep>();
    return rep;
}

// Objects and instances are copied deeply going in and coming out, so that a value never shares
// data with anyone's handle.
template <class T>
T stored(const T& x) {
    return x;
}
CIMObject stored(const CIMObject& x) {
    if (x.isUninitialized())
        throw UninitializedObjectException();
    return x.clone();
}
CIMInstance stored(const CIMInstance& x) {
    if (x.isUninitialized())
        throw UninitializedObjectException();
    return x.clone();
}

template <class T>
Array<T> storedArray(const Array<T>& x) {
    return x;
}
template <class T>
Array<T> clonedArray(const Array<T>& x) {
    Array<T> result;
    result.reserveCapacity(x.size());
    for (Uint32 i = 0; i < x.size(); i++)
        result.append(stored(x[i]));
    return result;
}
Array<CIMObject> storedArray(const Array<CIMObject>& x) {
    return clonedArray(x);
}
Array<CIMInstance> storedArray(const Array<CIMInstance>& x) {
    return clonedArray(x);
}

template <class T>
std::shared_ptr<const CIMValueRep> makeScalar(const T& x) {
    auto rep = std::make_shared<CIMValueRep>();
    rep->type = typeOf<T>();
    rep->isNull = false;
    Array<T> data;
    data.append(stored(x));
    rep->data = std::move(data);
    return rep;
}

template <class T>
std::shared_ptr<const CIMValueRep> makeArray(const Array<T>& x) {
    auto rep = std::make_shared<CIMValueRep>();
    rep->type = typeOf<T>();
    rep->isArray = true;
    rep->isNull = false;
    rep->data = storedArray(x);
    return rep;
}

template <class T>
void getScalar(const CIMValueRep& rep, T& x) {
    if (rep.type != typeOf<T>() || rep.isArray)
        throw TypeMismatchException();
    if (!rep.isNull)
        x = stored(std::get<Array<T>>(rep.data)[0]);
}

template <class T>
void getArray(const CIMValueRep& rep, Array<T>& x) {
    if (rep.type != typeOf<T>() || !rep.isArray)
        throw TypeMismatchException();
    if (!rep.isNull)
        x = storedArray(std::get<Array<T>>(rep.data));
}

template <class T>
Boolean sameElement(const T& a, const T& b) {
    return a == b;
}
Boolean sameElement(const CIMObject& a, const CIMObject& b) {
    return a.identical(b);
}
Boolean sameElement(const CIMInstance& a, const CIMInstance& b) {
    return a.identical(b);
}

void appendText(String& out, Boolean x) {
    out.append(String(x ? "TRUE" : "FALSE"));
}
void appendText(String& out, Uint8 x) {
    out.appendPrintf("%u", unsigned(x));
}
void appendText(String& out, Sint8 x) {
    out.appendPrintf("%d", int(x));
}
void appendText(String& out, Uint16 x) {
    out.appendPrintf("%u", unsigned(x));
}
void appendText(String& out, Sint16 x) {
    out.appendPrintf("%d", int(x));
}
void appendText(String& out, Uint32 x) {
    out.appendPrintf("%u", x);
}
void appendText(String& out, Sint32 x) {
    out.appendPrintf("%d", x);
}
void appendText(String& out, Uint64 x) {
    out.appendPrintf("%llu", x);
}
void appendText(String& out, Sint64 x) {
    out.appendPrintf("%lld", x);
}
void appendText(String& out, Real64 x) {
    out.appendPrintf("%.16e", x);
}
void appendText(String& out, Real32 x) {
    appendText(out, Real64(x));
}
void appendText(String& out, const Char16& x) {
    out.append(x);
}
void appendText(String& out, const String& x) {
    out.append(x);
}
void appendText(String& out, const CIMDateTime& x) {
    out.append(x.toString());
}
void appendText(String& out, const CIMObjectPath& x) {
    out.append(x.toString());
}
void appendText(String& out, const CIMObject& x) {
    out.append(x.toString());
}
void appendText(String& out, const CIMInstance& x) {
    out.append(CIMObject(x).toString());
}

}  // namespace

CIMValue::CIMValue() : _rep(nullRep()) {}

CIMValue::CIMValue(CIMType type, Boolean isArray, Uint32 arraySize) : _rep(nullRep()) {
    setNullValue(type, isArray, arraySize);
}

#define VELK_CIMVALUE_TYPE(T, ARG)                                \
    CIMValue::CIMValue(ARG x) : _rep(makeScalar<T>(x)) {}         \
    CIMValue::CIMValue(const Array<T>& x) : _rep(makeArray(x)) {} \
    void CIMValue::set(ARG x) {                                   \
        _rep = makeScalar<T>(x);                                  \
    }                                                             \
    void CIMValue::set(const Array<T>& x) {                       \
        _rep = makeArray(x);                                      \
    }                                                             \
    void CIMValue::get(T& x) const {                              \
        getScalar(*_rep, x);                                      \
    }                                                             \
    void CIMValue::get(Array<T>& x) const {                       \
        getArray(*_rep, x);                                       \
    }

VELK_CIMVALUE_TYPE(Boolean, Boolean)
VELK_CIMVALUE_TYPE(Uint8, Uint8)
VELK_CIMVALUE_TYPE(Sint8, Sint8)
VELK_CIMVALUE_TYPE(Uint16, Uint16)
VELK_CIMVALUE_TYPE(Sint16, Sint16)
VELK_CIMVALUE_TYPE(Uint32, Uint32)
VELK_CIMVALUE_TYPE(Sint32, Sint32)
VELK_CIMVALUE_TYPE(Uint64, Uint64)
VELK_CIMVALUE_TYPE(Sint64, Sint64)
VELK_CIMVALUE_TYPE(Real32, Real32)
VELK_CIMVALUE_TYPE(Real64, Real64)
VELK_CIMVALUE_TYPE(Char16, const Char16&)
VELK_CIMVALUE_TYPE(String, const String&)
VELK_CIMVALUE_TYPE(CIMDateTime, const CIMDateTime&)
VELK_CIMVALUE_TYPE(CIMObjectPath, const CIMObjectPath&)
VELK_CIMVALUE_TYPE(CIMObject, const CIMObject&)
VELK_CIMVALUE_TYPE(CIMInstance, const CIMInstance&)

#undef VELK_CIMVALUE_TYPE

CIMValue::CIMValue(const CIMValue& x) = default;

CIMValue::~CIMValue() = default;

CIMValue& CIMValue::operator=(const CIMValue& x) = default;

void CIMValue::assign(const CIMValue& x) {
    _rep = x._rep;
}

void CIMValue::clear() {
    _rep = nullRep();
}

Boolean CIMValue::typeCompatible(const CIMValue& x) const {
    return _rep->type == x._rep->type && _rep->isArray == x._rep->isArray;
}

Boolean CIMValue::isArray() const {
    return _rep->isArray;
}

Boolean CIMValue::isNull() const {
    return _rep->isNull;
}

Uint32 CIMValue::getArraySize() const {
    if (!_rep->isArray || _rep->isNull)
        return 0;
    return std::visit([](const auto& data) { return data.size(); }, _rep->data);
}

CIMType CIMValue::getType() const {
    return _rep->type;
}

void CIMValue::setNullValue(CIMType type, Boolean isArray, Uint32 arraySize) {
    if (Uint32(type) >= std::variant_size_v<CIMValueData>)
        throw TypeMismatchException();
    auto rep = std::make_shared<CIMValueRep>();
    rep->type = type;
    rep->isArray = isArray;
    rep->isNull = true;
    rep->data =
        emptyData(size_t(type), std::make_index_sequence<std::variant_size_v<CIMValueData>>());
    _rep = std::move(rep);
}

Boolean CIMValue::equal(const CIMValue& x) const {
    if (!typeCompatible(x) || _rep->isNull != x._rep->isNull)
        return false;
    if (_rep->isNull || _rep == x._rep)
        return true;
    return std::visit(
        [&x](const auto& mine) {
            const auto& theirs = std::get<std::decay_t<decltype(mine)>>(x._rep->data);
            if (mine.size() != theirs.size())
                return false;
            for (Uint32 i = 0; i < mine.size(); i++) {
                if (!sameElement(mine[i], theirs[i]))
                    return false;
            }
            return true;
        },
        _rep->data);
}

String CIMValue::toString() const {
    String text;
    if (_rep->isNull)
        return text;
    std::visit(
        [this, &text](const auto& data) {
            for (Uint32 i = 0; i < data.size(); i++) {
                appendText(text, data[i]);
                if (_rep->isArray)
                    text.append(Char16(' '));
            }
        },
        _rep->data);
    return text;
}

Boolean operator==(const CIMValue& x, const CIMValue& y) {
    return x.equal(y);
}

Boolean operator!=(const CIMValue& x, const CIMValue& y) {
    return !x.equal(y);
}

PEGASUS_NAMESPACE_END
