// Fuzzes the element-name reader at every "<" of the input.  The first byte
// chooses the size of the name buffer.
#include "fuzz-text.h"
#include "message-protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    uint32_t nameSize = data[0] % 48;
    FuzzText text(data + 1, size - 1);
    for (const char* open = strchr(text.get(), '<'); open != nullptr;
         open = strchr(open + 1, '<')) {
        char name[48];
        memset(name, 'X', sizeof name);
        name[sizeof name - 1] = '\0';
        const char* end = VelkXmlGetTag(open, name, nameSize);
        if (end == nullptr) {
            continue;
        }
        FUZZ_CHECK(end > open && end < text.limit());
        FUZZ_CHECK(*end == '>' || (*end == '/' && end[1] == '>'));
        if (*end == '>' && nameSize > 0) {
            FUZZ_CHECK(strlen(name) < nameSize);
            for (const char* c = name; *c != '\0'; ++c) {
                FUZZ_CHECK(VelkIsValidIdentifierChar(static_cast<unsigned char>(*c)));
            }
        }
    }
    return 0;
}
