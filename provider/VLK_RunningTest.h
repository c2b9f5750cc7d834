// A started test that the engine facade keeps following after its RunTest
// call has returned: each update copies the run's progress into its result,
// and a complete record is dropped by the facade.
#ifndef VLK_RUNNING_TEST_H
#define VLK_RUNNING_TEST_H

#include <Pegasus/Common/Config.h>

PEGASUS_NAMESPACE_BEGIN

class VLK_RunningTest {
  public:
    virtual ~VLK_RunningTest() {}
    // Brings the result of the run up to date; takes the engine lock itself.
    virtual void update() = 0;
    virtual bool isComplete() const = 0;
};

PEGASUS_NAMESPACE_END

#endif
