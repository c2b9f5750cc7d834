// Object paths kept together with their instances, as the device builders,
// the association builders and the result store hold them.  A standard
// container: the OpenPegasus libraries provide Array<T> code only for their
// own element types, and a pair of path and instance is not one of them.
#ifndef VLK_PATH_INSTANCE_PAIRS_H
#define VLK_PATH_INSTANCE_PAIRS_H

#include <utility>
#include <vector>

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMObjectPath.h>

PEGASUS_NAMESPACE_BEGIN

typedef std::pair<CIMObjectPath, CIMInstance> VLK_PathInstancePair;
typedef std::vector<VLK_PathInstancePair> VLK_PathInstancePairs;

PEGASUS_NAMESPACE_END

#endif
