/* Compiled as C: the headers of the module interface and the NLS access
 * layer must be plain C. */
#include "bxi2.h"
#include "nls-access.h"
#include "param-valid.h"

int Bxi2HeadersCompileAsC(void) {
    Bxi2_Registration* reg = Bxi2_CreateRegistrationStructure();
    int result = Bxi2_FreeRegistrationStructure(reg);
    return result + IsValidLangId("EN") + ParameterTypeStrToType("bool");
}
