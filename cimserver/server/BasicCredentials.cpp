#include "BasicCredentials.h"

#include <strings.h>

#include <vector>

#include <openssl/evp.h>

namespace velk::cimserver {

namespace {

// The bytes of standard base64 text (padding required), or nothing.
std::optional<std::string> decodeBase64(const std::string& text) {
    if (text.empty() || text.size() % 4 != 0) {
        return std::nullopt;
    }
    size_t padding = 0;
    for (size_t i = 0; i < text.size(); i++) {
        char c = text[i];
        bool alphabet = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                        (c >= '0' && c <= '9') || c == '+' || c == '/';
        if (c == '=' && i + 2 >= text.size()) {
            padding++;
        } else if (!alphabet || padding > 0) {
            return std::nullopt;
        }
    }
    std::vector<unsigned char> bytes(text.size() / 4 * 3);
    int length = EVP_DecodeBlock(bytes.data(), reinterpret_cast<const unsigned char*>(text.data()),
                                 static_cast<int>(text.size()));
    if (length < 0 || static_cast<size_t>(length) < padding) {
        return std::nullopt;
    }
    return std::string(bytes.begin(), bytes.begin() + (length - static_cast<int>(padding)));
}

}  // namespace

std::optional<BasicCredentials> BasicCredentials::fromHeader(const std::string& authorization) {
    constexpr size_t kSchemeLength = 5;  // "Basic"
    if (authorization.size() <= kSchemeLength + 1 ||
        strncasecmp(authorization.c_str(), "Basic", kSchemeLength) != 0 ||
        authorization[kSchemeLength] != ' ') {
        return std::nullopt;
    }
    size_t start = authorization.find_first_not_of(' ', kSchemeLength);
    size_t end = authorization.find_last_not_of(" \t");
    if (start == std::string::npos) {
        return std::nullopt;
    }
    std::optional<std::string> decoded = decodeBase64(authorization.substr(start, end - start + 1));
    if (!decoded) {
        return std::nullopt;
    }
    size_t colon = decoded->find(':');
    if (colon == std::string::npos) {
        return std::nullopt;
    }
    return BasicCredentials{decoded->substr(0, colon), decoded->substr(colon + 1)};
}

}  // namespace velk::cimserver
