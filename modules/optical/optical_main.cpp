// The main of an optical-drive module: the module interface calls the
// callbacks of optical_drive.h.
#include "module_main.h"
#include "optical_drive.h"

int main(int argc, char** argv) {
    velk::module::ModuleCallbacks callbacks;
    callbacks.enumerate = velk::optical::Enumerate;
    callbacks.validate = velk::optical::Validate;
    callbacks.run = velk::optical::Run;
    callbacks.sysinfo = velk::optical::SysInfo;
    return velk::module::RunModule(argc, argv, callbacks, {1, 0, 0});
}
