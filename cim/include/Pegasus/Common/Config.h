// Basic macros and fixed-width types shared by every header of the CIM API layer.
//
// Provider code written against this layer also builds against an OpenPegasus SDK, so the names,
// the typedefs (Uint64 is unsigned long long) and the macros keep their OpenPegasus meaning.
#ifndef Pegasus_Config_h
#define Pegasus_Config_h

#include <cstddef>

#define PEGASUS_HAVE_NAMESPACES

#define PEGASUS_NAMESPACE_BEGIN namespace Pegasus {
#define PEGASUS_NAMESPACE_END }
#define PEGASUS_NAMESPACE(X) Pegasus::X
#define PEGASUS_USING_PEGASUS using namespace Pegasus
#define PEGASUS_USING_STD using namespace std
#define PEGASUS_STD(X) std::X

#if defined(__GNUC__)
#define PEGASUS_EXPORT __attribute__((visibility("default")))
#define PEGASUS_IMPORT __attribute__((visibility("default")))
#else
#define PEGASUS_EXPORT
#define PEGASUS_IMPORT
#endif

#define PEGASUS_SINT64_LITERAL(X) Sint64(X##LL)
#define PEGASUS_UINT64_LITERAL(X) Uint64(X##ULL)
#define PEGASUS_64BIT_CONVERSION_WIDTH "ll"

// "using namespace Pegasus" needs the namespace to exist even in a file that includes nothing else.
namespace Pegasus {

typedef bool Boolean;
typedef unsigned char Uint8;
typedef signed char Sint8;
typedef unsigned short Uint16;
typedef signed short Sint16;
typedef unsigned int Uint32;
typedef signed int Sint32;
typedef float Real32;
typedef double Real64;
typedef unsigned long long Uint64;
typedef long long Sint64;

}  // namespace Pegasus

// The "not found" answer of every find-style call.
#define PEG_NOT_FOUND Uint32(-1)

#endif
