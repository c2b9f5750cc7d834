/* NLS tags of a module's own texts, and the lookups forwarded to the NLS
 * access layer. */
#include <stdarg.h>
#include <stdio.h>

#include "bxi2-internal.h"
#include "nls-access.h"

enum { kTagSize = 1024 };

/* The one module-wide tag buffer: each call overwrites the previous tag. */
static char gTag[kTagSize];

const char* Bxi2_NlsTagToTokenMod(const char* module, const char* id) {
    int written = snprintf(gTag, sizeof gTag, "<NLS mod=%s id=%s />", module != NULL ? module : "",
                           id != NULL ? id : "");
    if (written < 0 || (size_t)written >= sizeof gTag) {
        gTag[0] = '\0';
        return NULL;
    }
    return gTag;
}

const char* Bxi2_NlsTagToToken(const char* id) {
    return Bxi2_NlsTagToTokenMod(Bxi2_I_OwnModuleName(), id);
}

/* Adds the name/value pairs of args (ended by a NULL name) to the tag in the
 * buffer. */
static const char* AddVariables(va_list args) {
    for (const char* name = va_arg(args, const char*); name != NULL;
         name = va_arg(args, const char*)) {
        const char* value = va_arg(args, const char*);
        if (VelkNlsAddVariableToTag(gTag, sizeof gTag, name, value) != VELK_NLS_VAR_OK) {
            gTag[0] = '\0';
            return NULL;
        }
    }
    return gTag;
}

const char* Bxi2_NlsTagToTokenVar(const char* id, ...) {
    if (Bxi2_NlsTagToToken(id) == NULL) {
        return NULL;
    }
    va_list args;
    va_start(args, id);
    const char* tag = AddVariables(args);
    va_end(args);
    return tag;
}

const char* Bxi2_NlsTagToTokenVarMod(const char* module, const char* id, ...) {
    if (Bxi2_NlsTagToTokenMod(module, id) == NULL) {
        return NULL;
    }
    va_list args;
    va_start(args, id);
    const char* tag = AddVariables(args);
    va_end(args);
    return tag;
}

char* Bxi2_NlsGetStringWithId(const char* id, char* buffer, uint32_t size) {
    return VelkGetNlsStringWithIdEx(Bxi2_I_OwnModuleName(), id, NULL, buffer, size);
}

char* Bxi2_NlsGetStringWithIdEx(const char* module, const char* id, const char* lang, char* buffer,
                                uint32_t size) {
    return VelkGetNlsStringWithIdEx(module, id, lang, buffer, size);
}

int Bxi2_NlsGetStringWithXmlTag(const char* tag, const char* lang, char* returnedLang,
                                CGenStr* text) {
    return VelkGetNlsStringWithXmlTag(tag, lang, returnedLang, text);
}

int Bxi2_NlsAddVariableToTag(char* tag, uint32_t size, const char* name, const char* value) {
    return VelkNlsAddVariableToTag(tag, size, name, value);
}
