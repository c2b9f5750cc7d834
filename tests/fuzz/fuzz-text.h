// Helpers shared by the fuzz targets: the readers take NUL-terminated text,
// so each input is copied into a heap block of exactly its size plus the NUL,
// and the sanitizer reports any read beyond it.
#ifndef VELK_FUZZ_TEXT_H
#define VELK_FUZZ_TEXT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

class FuzzText {
  public:
    FuzzText(const uint8_t* data, size_t size) : text_(static_cast<char*>(malloc(size + 1))) {
        memcpy(text_, data, size);
        text_[size] = '\0';
        length_ = strlen(text_);  // an embedded NUL ends the text early
    }
    ~FuzzText() { free(text_); }
    FuzzText(const FuzzText&) = delete;
    FuzzText& operator=(const FuzzText&) = delete;

    char* get() { return text_; }
    size_t length() const { return length_; }
    // One past the terminating NUL: nothing the readers return may lie beyond.
    const char* limit() const { return text_ + length_ + 1; }

  private:
    char* text_;
    size_t length_;
};

// A broken invariant: says which, then aborts so that the fuzzer keeps the
// input.
#define FUZZ_CHECK(condition)                                                             \
    do {                                                                                  \
        if (!(condition)) {                                                               \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            abort();                                                                      \
        }                                                                                 \
    } while (0)

#endif
