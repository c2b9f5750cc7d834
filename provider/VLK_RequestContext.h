// The request context: the CIM namespace and host name of the request being
// served, process-wide.  Every get, enumerate and method request records them
// here; the builders read them to fill in the object paths they return.
#ifndef VLK_REQUEST_CONTEXT_H
#define VLK_REQUEST_CONTEXT_H

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/String.h>

PEGASUS_NAMESPACE_BEGIN

CIMNamespaceName VLK_GetNameSpace();
void VLK_SetNameSpace(const CIMNamespaceName& nameSpace);
String VLK_GetHostName();
void VLK_SetHostName(const String& hostName);

PEGASUS_NAMESPACE_END

#endif
