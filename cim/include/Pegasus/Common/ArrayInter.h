// Kept for code that includes the array interface header by name; the template lives in Array.h.
#ifndef Pegasus_ArrayInter_h
#define Pegasus_ArrayInter_h

#include <Pegasus/Common/Array.h>

#endif
