// Helpers shared by the engine client classes: an owning holder for the C
// layer's growable string, field reads with the tag-path lookup, strict
// number parsing, and the transactions that carry engine commands.
//
// Internal to dll/; callers of the API never see these.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "gen-str.h"

namespace VELKCORE::detail {

// A CGenStr that is initialised on construction and released on destruction.
// When the string cannot be set up the process ends with the "Velkcore Verify
// Failed" line naming the caller's source line, as the C layers do.
class GenStr {
  public:
    // __builtin_LINE/__builtin_FILE name the caller's line (both compilers we
    // build with have them; std::source_location is missing in clang 14 with
    // the system's libstdc++).
    explicit GenStr(int line = __builtin_LINE(), const char* file = __builtin_FILE());
    ~GenStr();
    GenStr(const GenStr&) = delete;
    GenStr& operator=(const GenStr&) = delete;

    CGenStr* Get() { return &str_; }
    const char* CStr() const { return CGenStrC_Str(&str_); }
    std::string Str() const { return std::string(CStr()); }
    bool Empty() const { return CStr()[0] == '\0'; }

  private:
    CGenStr str_;
};

// The content of the skip-th element matching path in text, into out.  False
// (out emptied) when there is none.
bool ReadField(const char* text, const char* path, int skip, GenStr& out);
// The same as a std::string; nothing when absent.
std::optional<std::string> FieldText(const char* text, const char* path, int skip = 0);
// As VelkXmlGetField into an area of size bytes: absent also when the content
// is longer than size - 2 characters.
std::optional<std::string> BoundedField(const char* text, const char* path, uint32_t size,
                                        int skip = 0);

// A whole base-10 integer in the 32-bit signed range, blanks around it
// allowed.  Anything else ("", "abc", "12abc", out of range) is nothing, so
// that garbage in a reply counts as an absent value rather than as 0.
std::optional<int32_t> ParseInt(const std::string& text);

// Walks the successive elements named `name` that are outermost in a text
// (the k-th call gives the k-th such element), continuing each search after
// the previous element instead of rescanning from the start.
class ElementWalker {
  public:
    ElementWalker(const char* text, const char* name) : pos_(text), name_(name) {}
    // The next element's content into out; false when there is no further one.
    bool Next(GenStr& out);

  private:
    const char* pos_;
    const char* name_;
};

// Results of the transaction helpers.
enum TransactionResult { TX_OK = 0, TX_NO_ANSWER = 2, TX_NO_COMMAND = 3 };

enum class Addressee { DIAGNOSTIC_ENGINE, MESSAGE_BROKER, NLS_ENGINE };

// The transactions below hold CAutoMutex::ENGINE_COMMAND while they run.
//
// Builds the command for addressee in a zeroed area of bufferSize bytes and
// runs it as a transaction whose reply comes back into the same area.  On
// TX_OK reply receives the reply text; a reply too long for the area is
// dropped (TX_NO_ANSWER).
int BufferTransaction(Addressee to, const std::string& command, uint32_t bufferSize, int waitMs,
                      std::string& reply);

// The same with a growable command and reply: a diagnostic-engine command
// (with lang when not null) whose reply goes into reply.
int DiagnosticEngineTransactionStr(const std::string& command, const char* lang, int waitMs,
                                   GenStr& reply);

}  // namespace VELKCORE::detail
