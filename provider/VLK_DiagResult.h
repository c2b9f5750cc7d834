// The result store: the process-wide list of result instances with their
// object paths.  Every VLK_DiagResult object is a handle onto the same store
// that carries the run number its look-ups use.  All operations are safe
// from concurrent request threads.
#ifndef VLK_DIAG_RESULT_H
#define VLK_DIAG_RESULT_H

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMValue.h>
#include <Pegasus/Provider/CIMOMHandle.h>
#include <log4cpp/Category.hh>

PEGASUS_NAMESPACE_BEGIN

class VLK_DiagResult {
  public:
    // Store index returned when no result matches.
    static const Uint32 NOT_FOUND = 77777777;

    VLK_DiagResult();
    explicit VLK_DiagResult(const CIMOMHandle& cimom);
    virtual ~VLK_DiagResult();

    // "<deviceID>:run<run>".
    String getExecutionID(String deviceID, int run) const;
    // Creates the run-0 result of the test on the device, resets it when it
    // is not in progress, or adds a busy result (TestState 5, "DEVICEINUSE")
    // beside one in progress; this handle then addresses that result.
    bool createResult(CIMOMHandle& cimom, const String& testName, const String& deviceID);
    // Removes the results of the test on the device (every run number).
    void removeOldResults(String testName, String deviceID);
    // Appends a result with default properties to the store.
    void buildTestResult(CIMOMHandle& cimom, const String& testName,
                         const String& executionID) const;
    static void buildDefaultResultProperties(CIMInstance& instance);

    Uint32 getRefInstIndex(const String& testName, const String& executionID) const;
    CIMValue getPropertyValue(unsigned index, const String& property) const;
    // The property of this handle's result; the uint32 77777777 when there
    // is no such result.
    CIMValue getResultProperty(const String& testName, const String& deviceID,
                               const String& property) const;
    void setResultProperty(const String& testName, const String& deviceID, const String& property,
                           const CIMValue& value);
    // Appends "<now> | <testName> | <text>" to TestResults.
    void setResultPropertyTestResults(const String& testName, const String& deviceID,
                                      const String& text);
    CIMObjectPath getTestResultReference(const String& testName, const String& deviceID) const;

    CIMInstance getResultInstance(const CIMObjectPath& reference) const;
    Array<CIMInstance> enumResultInstances() const;
    Array<CIMObjectPath> enumResultReferences() const;

    int getRunNumber() const { return runNumber; }

    static log4cpp::Category& log;

  private:
    int runNumber;
    CIMOMHandle _cimom;
};

PEGASUS_NAMESPACE_END

#endif
