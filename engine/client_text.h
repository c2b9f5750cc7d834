// Texts of a test run cut to what the engine client reads.  The client reads
// a log item's TEXT into a 512-byte buffer and the progress text into a
// 300-byte buffer, and its field reader takes at most the buffer size less
// two characters: a longer field fails the client's read.  A module may send
// far more, so the engine cuts such texts before it keeps them.
//
// The cut is made on a module's raw text, before NeutraliseMarkup: that keeps
// a complete NLS tag and changes no length, so the neutralised beginning is
// the beginning of the neutralised text, and a huge text costs no more than
// the part that is kept.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velk::engine {

// The longest log item text and progress text the client reads.
inline constexpr std::size_t kClientLogTextLimit = 510;
inline constexpr std::size_t kClientProgressLimit = 298;

// text when it has at most limit bytes; otherwise its longest beginning that
// ends between two whole units and leaves room for "...", followed by "...".
// Units are: a complete NLS tag ("<NLS " ... "/>"), an escape ("@" and the
// two characters after it), a UTF-8 sequence, any other byte.  limit must
// be at least 3.
std::string CutForClient(std::string_view text, std::size_t limit);

}  // namespace velk::engine
