// Array<T>: a reference-counted sequence with copy-on-write.
//
// Copies share one buffer until one of them is modified (or its non-const operator[] is used),
// which gives it a private copy first.
//
// Only the element types whose Array code the OpenPegasus common library contains are accepted
// (see ArrayElementInPegasusLibrary below). With any other T, code would compile against the
// OpenPegasus headers but fail to link, or to load in a CIM server; here it fails to compile.
// Keep other elements in standard containers.
#ifndef Pegasus_Array_h
#define Pegasus_Array_h

#include <algorithm>
#include <memory>
#include <type_traits>
#include <utility>

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/Linkage.h>

PEGASUS_NAMESPACE_BEGIN

// Throws IndexOutOfBoundsException; kept out of line so that this header need not include the
// exception classes (which themselves use Array).
[[noreturn]] PEGASUS_COMMON_LINKAGE void ArrayThrowIndexOutOfBoundsException();

class CIMClass;
class CIMDateTime;
class CIMInstance;
class CIMKeyBinding;
class CIMMethod;
class CIMName;
class CIMNamespaceName;
class CIMObject;
class CIMObjectPath;
class CIMParamValue;
class CIMParameter;
class CIMProperty;
class CIMQualifier;
class CIMQualifierDecl;
class CIMValue;
class Char16;
class String;

// True for the element types OpenPegasus compiles Array<T> for in libpegcommon and declares in
// its public headers, the only ones a provider loaded by an OpenPegasus server can use.
template <class T>
inline constexpr bool ArrayElementInPegasusLibrary =
    std::is_same_v<T, Boolean> || std::is_same_v<T, Uint8> || std::is_same_v<T, Sint8> ||
    std::is_same_v<T, Uint16> || std::is_same_v<T, Sint16> || std::is_same_v<T, Uint32> ||
    std::is_same_v<T, Sint32> || std::is_same_v<T, Uint64> || std::is_same_v<T, Sint64> ||
    std::is_same_v<T, Real32> || std::is_same_v<T, Real64> || std::is_same_v<T, Char16> ||
    std::is_same_v<T, String> || std::is_same_v<T, char> || std::is_same_v<T, CIMClass> ||
    std::is_same_v<T, CIMDateTime> || std::is_same_v<T, CIMInstance> ||
    std::is_same_v<T, CIMKeyBinding> || std::is_same_v<T, CIMObjectPath> ||
    std::is_same_v<T, CIMMethod> || std::is_same_v<T, CIMName> ||
    std::is_same_v<T, CIMNamespaceName> || std::is_same_v<T, CIMObject> ||
    std::is_same_v<T, CIMParamValue> || std::is_same_v<T, CIMParameter> ||
    std::is_same_v<T, CIMProperty> || std::is_same_v<T, CIMQualifier> ||
    std::is_same_v<T, CIMQualifierDecl> || std::is_same_v<T, CIMValue>;

template <class T>
class Array {
    static_assert(ArrayElementInPegasusLibrary<T>,
                  "Array<T>: the OpenPegasus libraries contain no Array code for this element "
                  "type; a provider using it fails to load in a CIM server. Use a standard "
                  "container.");

  public:
    typedef T value_type;

    Array() = default;
    Array(const Array<T>& x) = default;
    Array(Uint32 size) {
        if (size) {
            _rep = _Rep::make(size);
            _rep->size = size;
        }
    }
    Array(Uint32 size, const T& x) {
        if (size) {
            _rep = _Rep::make(size);
            std::fill_n(_rep->data.get(), size, x);
            _rep->size = size;
        }
    }
    Array(const T* items, Uint32 size) { append(items, size); }
    ~Array() = default;

    Array<T>& operator=(const Array<T>& x) = default;

    void clear() { _rep.reset(); }

    void reserveCapacity(Uint32 capacity) {
        if (capacity > getCapacity())
            _reallocate(capacity);
    }

    void grow(Uint32 size, const T& x) {
        _Rep& r = _mutable(this->size() + size);
        std::fill_n(r.data.get() + r.size, size, x);
        r.size += size;
    }

    void swap(Array<T>& x) { _rep.swap(x._rep); }

    Uint32 size() const { return _rep ? _rep->size : 0; }
    Uint32 getCapacity() const { return _rep ? _rep->capacity : 0; }
    const T* getData() const { return _rep ? _rep->data.get() : nullptr; }

    T& operator[](Uint32 index) {
        if (index >= size())
            ArrayThrowIndexOutOfBoundsException();
        return _mutable(size()).data[index];
    }
    const T& operator[](Uint32 index) const {
        if (index >= size())
            ArrayThrowIndexOutOfBoundsException();
        return _rep->data[index];
    }

    void append(const T& x) {
        // x may be an element of this array: copy it before the buffer can move.
        T copy(x);
        _Rep& r = _mutable(size() + 1);
        r.data[r.size] = std::move(copy);
        r.size++;
    }
    void append(const T* items, Uint32 size) { insert(this->size(), items, size); }
    void appendArray(const Array<T>& x) {
        Array<T> keep(x);  // x may be *this
        append(keep.getData(), keep.size());
    }
    void prepend(const T& x) { insert(0, x); }
    void prepend(const T* items, Uint32 size) { insert(0, items, size); }
    void insert(Uint32 index, const T& x) {
        T copy(x);
        insert(index, &copy, 1);
    }
    void insert(Uint32 index, const T* items, Uint32 size) {
        if (index > this->size())
            ArrayThrowIndexOutOfBoundsException();
        if (size == 0)
            return;
        // Copy the items first: they may point into this array.
        std::unique_ptr<T[]> copy(new T[size]);
        std::copy_n(items, size, copy.get());
        _Rep& r = _mutable(this->size() + size);
        T* d = r.data.get();
        std::move_backward(d + index, d + r.size, d + r.size + size);
        std::move(copy.get(), copy.get() + size, d + index);
        r.size += size;
    }

    void remove(Uint32 index) { remove(index, 1); }
    void remove(Uint32 index, Uint32 size) {
        if (index > this->size() || size > this->size() - index)
            ArrayThrowIndexOutOfBoundsException();
        if (size == 0)
            return;
        _Rep& r = _mutable(this->size());
        T* d = r.data.get();
        std::move(d + index + size, d + r.size, d + index);
        // Release what the vacated slots still hold.
        std::fill(d + r.size - size, d + r.size, T());
        r.size -= size;
    }

  private:
    struct _Rep {
        std::unique_ptr<T[]> data;
        Uint32 size = 0;
        Uint32 capacity = 0;

        static std::shared_ptr<_Rep> make(Uint32 capacity) {
            auto r = std::make_shared<_Rep>();
            r->data.reset(new T[capacity]());  // value-initialised: Array(n) gives zeros
            r->capacity = capacity;
            return r;
        }
    };

    // Returns an unshared buffer able to hold at least `needed` elements.
    _Rep& _mutable(Uint32 needed) {
        if (!_rep || _rep.use_count() > 1 || needed > _rep->capacity) {
            Uint32 capacity = getCapacity();
            if (needed > capacity)
                capacity = std::max<Uint32>(needed, capacity < 8 ? 8 : capacity * 2);
            _reallocate(capacity);
        }
        return *_rep;
    }

    void _reallocate(Uint32 capacity) {
        std::shared_ptr<_Rep> r = _Rep::make(capacity);
        if (_rep) {
            T* from = _rep->data.get();
            if (_rep.use_count() == 1)
                std::move(from, from + _rep->size, r->data.get());
            else
                std::copy_n(from, _rep->size, r->data.get());
            r->size = _rep->size;
        }
        _rep = std::move(r);
    }

    std::shared_ptr<_Rep> _rep;
};

PEGASUS_NAMESPACE_END

#endif
