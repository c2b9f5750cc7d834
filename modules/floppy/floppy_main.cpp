// The diskette module's main: the module interface calls the callbacks of
// floppy.h.
#include "floppy.h"
#include "module_main.h"

int main(int argc, char** argv) {
    velk::module::ModuleCallbacks callbacks;
    callbacks.enumerate = velk::floppy::Enumerate;
    callbacks.validate = velk::floppy::Validate;
    callbacks.run = velk::floppy::Run;
    callbacks.sysinfo = velk::floppy::SysInfo;
    return velk::module::RunModule(argc, argv, callbacks, {1, 0, 0});
}
