// How often RunTest starts its test: reads the loop controls of the test's
// result (LoopControl with LoopControlParameter), reduces them to one loop
// code before the first start and, after each start, says whether the start
// loop is finished, counting passed and failed loops in the result.
#ifndef VLK_DIAG_LOOP_CONTROLS_H
#define VLK_DIAG_LOOP_CONTROLS_H

#include <ctime>

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/CIMValue.h>
#include <Pegasus/Common/String.h>
#include <log4cpp/Category.hh>

#include "VLK_DiagResult.h"

PEGASUS_NAMESPACE_BEGIN

class VLK_DiagLoopControls {
  public:
    // LoopControl values.
    static const Uint16 CONTINUOUS = 2;
    static const Uint16 COUNT = 3;
    static const Uint16 TIMER = 4;
    static const Uint16 ERROR_COUNT = 5;
    // Loop codes beyond the single controls.
    static const Uint16 COUNT_AND_TIMER = 51;
    static const Uint16 COUNT_AND_ERRORS = 52;
    static const Uint16 TIMER_AND_ERRORS = 53;
    static const Uint16 COUNT_TIMER_AND_ERRORS = 54;
    static const Uint16 ONCE = 56;

    // result is kept by reference: run-number changes of the test are seen.
    VLK_DiagLoopControls(const String& testName, const String& deviceID, VLK_DiagResult& result);
    virtual ~VLK_DiagLoopControls();

    Uint16 getThisTestLoopControl();
    // True when the start loop is finished.
    bool continueLoopingCheck(Uint16 loopCode);

    void updateLoopCount();
    bool LoopCountExceeded();
    bool TimerExceeded();
    // True once LoopsFailed has reached the error limit.
    bool ErrorCountExceeded();
    void updateErrorCount(unsigned int errors);

    CIMValue retrieveResultProperty(const String& property);
    void writeToResults(const String& property, const CIMValue& value);

    static log4cpp::Category& log;

  private:
    Uint32 uint32Property(const char* property);
    bool discontinueRequested();

    Uint32 loopCount = 0;
    Uint32 errorLimit = 0;
    Uint32 endTime = 0;
    String _testName;
    String _deviceID;
    VLK_DiagResult& _result;
};

PEGASUS_NAMESPACE_END

#endif
