// The provider's facade over the diagnostic engine: one shared test
// environment for the whole process, started on first use and stopped when
// the provider terminates.
#ifndef VLK_ENGINE_H
#define VLK_ENGINE_H

#include <log4cpp/Category.hh>

namespace Pegasus {

class VLK_Engine {
  public:
    // Brings the results of running tests up to date.
    static void update();
    // Stops the running scenario and the engine; safe when nothing was started.
    static void Stop();

    static log4cpp::Category& log;
};

}  // namespace Pegasus

#endif
