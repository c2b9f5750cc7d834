// The hard-drive module's main: the module interface calls the callbacks of
// hard_drive.h.
#include "hard_drive.h"
#include "module_main.h"

int main(int argc, char** argv) {
    return velk::module::RunModule(
        argc, argv,
        {velk::harddrive::Enumerate, velk::module::ValidateDeclaredParameters, velk::harddrive::Run,
         velk::harddrive::SysInfo},
        {1, 0, 0});
}
