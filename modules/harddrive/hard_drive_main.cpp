// The hard-drive module's main: the module interface calls the callbacks of
// hard_drive.h.
#include "hard_drive.h"
#include "module_main.h"

int main(int argc, char** argv) {
    velk::module::ModuleCallbacks callbacks;
    callbacks.enumerate = velk::harddrive::Enumerate;
    callbacks.validate = velk::harddrive::Validate;
    callbacks.run = velk::harddrive::Run;
    callbacks.sysinfo = velk::harddrive::SysInfo;
    return velk::module::RunModule(argc, argv, callbacks, {1, 0, 0});
}
