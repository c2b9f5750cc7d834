// Symbol visibility of the classes in Pegasus/Common.
//
// The library itself is compiled with PEGASUS_COMMON_INTERNAL; both branches give default
// visibility, the distinction is kept so that provider code reads the same as with OpenPegasus.
#ifndef Pegasus_Common_Linkage_h
#define Pegasus_Common_Linkage_h

#include <Pegasus/Common/Config.h>

#ifndef PEGASUS_COMMON_LINKAGE
#ifdef PEGASUS_COMMON_INTERNAL
#define PEGASUS_COMMON_LINKAGE PEGASUS_EXPORT
#else
#define PEGASUS_COMMON_LINKAGE PEGASUS_IMPORT
#endif
#endif

#endif
