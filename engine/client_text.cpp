#include "client_text.h"

#include "markup_text.h"

namespace velk::engine {
namespace {

constexpr std::string_view kCutMark = "...";

// The length of the unit that starts text (text is not empty).
std::size_t UnitLength(std::string_view text) {
    if (std::size_t tag = NlsTagLength(text); tag > 0) {
        return tag;
    }
    unsigned char first = static_cast<unsigned char>(text[0]);
    if (first == '@') {
        return text.size() < 3 ? text.size() : 3;
    }
    std::size_t length = 1;
    if (first >= 0xC0) {
        while (length < text.size() && length < 4 &&
               (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) {
            ++length;
        }
    }
    return length;
}

}  // namespace

std::string CutForClient(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) {
        return std::string(text);
    }
    std::size_t room = limit < kCutMark.size() ? 0 : limit - kCutMark.size();
    std::size_t cut = 0;
    while (cut < text.size()) {
        std::size_t unit = UnitLength(text.substr(cut));
        if (cut + unit > room) {
            break;
        }
        cut += unit;
    }
    std::string result(text.substr(0, cut));
    result.append(kCutMark);
    return result;
}

}  // namespace velk::engine
