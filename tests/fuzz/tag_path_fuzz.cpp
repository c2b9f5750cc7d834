// Fuzzes the tag-path reader.  Input layout: one byte of skip count, a path
// up to the first line feed, then the message.
#include <string>

#include "fuzz-text.h"
#include "gen-str.h"
#include "message-protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    int skip = data[0] % 4;
    const uint8_t* rest = data + 1;
    size_t restSize = size - 1;
    const uint8_t* newline = static_cast<const uint8_t*>(memchr(rest, '\n', restSize));
    std::string path = "MSG/DATA";
    if (newline != nullptr) {
        path.assign(reinterpret_cast<const char*>(rest), newline - rest);
        restSize -= (newline - rest) + 1;
        rest = newline + 1;
    }
    FuzzText message(rest, restSize);

    CGenStr content;
    CGenStrInit(&content);
    const char* start = nullptr;
    const char* end = nullptr;
    int result =
        VelkXmlGetFieldStrAndTagStartEnd(message.get(), &start, &end, path.c_str(), skip, &content);
    FUZZ_CHECK(result == 0 || result == 2);
    if (result == 0) {
        FUZZ_CHECK(start >= message.get() && end > start && end < message.limit());
        FUZZ_CHECK(*start == '<' && end[-1] == '>');
        FUZZ_CHECK(CGenStrSize(&content) < static_cast<uint32_t>(end - start));
    } else {
        FUZZ_CHECK(start == nullptr && end == nullptr && CGenStrSize(&content) == 0);
    }

    // The buffer flavour agrees and never writes past its size.
    char small[8];
    int bufferResult = VelkXmlGetField(message.get(), path.c_str(), skip, small, sizeof small);
    FUZZ_CHECK(strlen(small) <= sizeof small - 2);
    if (result == 0 && CGenStrSize(&content) <= sizeof small - 2) {
        FUZZ_CHECK(bufferResult == 0 && strcmp(small, CGenStrC_Str(&content)) == 0);
    }
    if (result != 0) {
        FUZZ_CHECK(bufferResult == 2);
    }
    CGenStrDelete(&content);
    return 0;
}
