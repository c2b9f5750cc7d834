// The answers built from the device list.
//
// LIST_DEVICES_AND_TESTS: one DEVICE element per merged device, as the
// engine client reads it:
//
//   <DEVICE><NAME>..</NAME>[<DESCRIPTION>..</DESCRIPTION>]<OSLOCATOR>..
//   </OSLOCATOR><HWLOCATOR>..</HWLOCATOR><DEVTYPE>..</DEVTYPE>[<BUSTYPE>..
//   </BUSTYPE>][FRU_* elements]<COMPONENT>..</COMPONENT>...</DEVICE>
//
// and per module that tests the device one COMPONENT (its own device id as
// DID, then ID, NAME, DESCRIPTION, VERSION, TYPE, NUMTESTS, ENTRYEXE,
// FRUINFOAVAILABLE) holding one TEST per test the definitions file declares
// for that device (NAME, DESCRIPTION, ID, FLAGS, TIMEOUT, EST_DURATION,
// TEST_PROPERTIES with one PROPERTY per parameter, and RUNNING_INSTANCES for
// a run in progress).  Names and descriptions are NLS tags of the module.
//
// LIST_DEVICES[:NAME]: one COMPONENT per device of the module (of every
// module without NAME), holding the DEVICE element the module sent.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "device_list.h"

namespace velk::engine {

struct RunningInstance {
    std::string processId;
    int state = 0;
    int percent = 0;
};

// The run in progress of a module's test on its device, if any.
using RunningLookup =
    std::function<std::optional<RunningInstance>(const ModuleEntry&, unsigned did, int test)>;

std::string DevicesAndTestsBody(const DeviceList& list, const RunningLookup& running);
std::string ModuleDevicesBody(const ModuleDevices& module);
std::string AllModuleDevicesBody(const DeviceList& list);

// "<NLS mod=MODULE id=ID />" when id can be an NLS id, else fallback as
// plain text.
std::string ModuleText(const ModuleEntry& module, const std::string& id,
                       const std::string& fallback);

}  // namespace velk::engine
