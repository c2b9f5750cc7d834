// The diskette module's main: the module interface calls the callbacks of
// floppy.h.
#include "floppy.h"
#include "module_main.h"

int main(int argc, char** argv) {
    return velk::module::RunModule(
        argc, argv,
        {velk::floppy::Enumerate, velk::module::ValidateDeclaredParameters, velk::floppy::Run,
         velk::floppy::SysInfo},
        {1, 0, 0});
}
