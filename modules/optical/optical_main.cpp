// The main of an optical-drive module: the module interface calls the
// callbacks of optical_drive.h.
#include "module_main.h"
#include "optical_drive.h"

int main(int argc, char** argv) {
    return velk::module::RunModule(
        argc, argv,
        {velk::optical::Enumerate, velk::module::ValidateDeclaredParameters, velk::optical::Run,
         velk::optical::SysInfo},
        {1, 0, 0});
}
