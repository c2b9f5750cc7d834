// Fuzzes the escape scheme: unescaping any text stays inside it, and
// escaping then unescaping gives back the original.
#include <string>

#include "fuzz-text.h"
#include "message-protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzText text(data, size);
    std::string original(text.get());

    FUZZ_CHECK(VelkXmlConvertFromXmlToText(text.get()) == 0);
    FUZZ_CHECK(strlen(text.get()) <= original.size());

    char* escaped = VelkXmlAllocStringAndConvertToXml(original.c_str());
    FUZZ_CHECK(escaped != nullptr);
    FUZZ_CHECK(strpbrk(escaped, "<>@") == nullptr || escaped != original.c_str());
    std::string roundTrip(escaped);
    if (escaped != original.c_str()) {
        free(escaped);
    }
    FuzzText back(reinterpret_cast<const uint8_t*>(roundTrip.data()), roundTrip.size());
    VelkXmlConvertFromXmlToText(back.get());
    FUZZ_CHECK(original == back.get());
    FUZZ_CHECK(IsBadXmlIdentifier(original.c_str()) != 1);
    return 0;
}
