// The result store: the process-wide list of result instances with their
// object paths.  Every VLK_DiagResult object is an access handle onto the
// same store.
#ifndef VLK_DIAG_RESULT_H
#define VLK_DIAG_RESULT_H

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <log4cpp/Category.hh>

PEGASUS_NAMESPACE_BEGIN

class VLK_DiagResult {
  public:
    VLK_DiagResult();
    virtual ~VLK_DiagResult();

    CIMInstance getResultInstance(const CIMObjectPath& reference) const;
    Array<CIMInstance> enumResultInstances() const;
    Array<CIMObjectPath> enumResultReferences() const;

    static log4cpp::Category& log;
};

PEGASUS_NAMESPACE_END

#endif
