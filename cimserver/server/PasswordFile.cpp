#include "PasswordFile.h"

#include <crypt.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>

#include <openssl/crypto.h>

namespace velk::cimserver {

namespace {

// Hashed with the same scheme as real entries when the user is unknown.
constexpr const char* kUnknownUserHash =
    "$6$velkunknownuser$B0CB0rUPsSqxoqXA7IaDkRFCJ6vYvnUfdLFxFS.O86541udUTX77XydAtVEkNgnwmo0CWp0R6fX"
    "UKaeKtS2co0";

std::string trimmed(const std::string& text) {
    size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) {
        return "";
    }
    size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// The crypt(3) hash of password with the salt and scheme of setting, or ""
// when the scheme is unknown.
std::string hashLike(const std::string& password, const std::string& setting) {
    auto data = std::make_unique<crypt_data>();  // zeroed, as crypt_r wants it
    const char* hash = crypt_r(password.c_str(), setting.c_str(), data.get());
    if (hash == nullptr || hash[0] == '*') {
        return "";
    }
    std::string result = hash;
    OPENSSL_cleanse(data.get(), sizeof(crypt_data));
    return result;
}

}  // namespace

PasswordFile PasswordFile::load(const std::string& path) {
    std::ifstream in(path);
    if (!in) {
        throw std::runtime_error(path + ": cannot read the user file");
    }
    std::stringstream text;
    text << in.rdbuf();
    return parse(text.str(), path);
}

PasswordFile PasswordFile::parse(const std::string& text, const std::string& sourceName) {
    PasswordFile file;
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); number++) {
        std::string entry = trimmed(line);
        if (entry.empty() || entry[0] == '#') {
            continue;
        }
        auto fail = [&](const std::string& what) {
            throw std::runtime_error(sourceName + ":" + std::to_string(number) + ": " + what);
        };
        size_t colon = entry.find(':');
        if (colon == std::string::npos || colon == 0) {
            fail("expected user:hash");
        }
        std::string user = entry.substr(0, colon);
        std::string hash = entry.substr(colon + 1);
        // Modern crypt schemes start with "$id$"; anything else is plaintext
        // or the broken DES scheme, neither of which is accepted.
        if (hash.size() < 4 || hash[0] != '$' || hash.find('$', 1) == std::string::npos) {
            fail("the password of " + user +
                 " is not a crypt hash (make one with openssl passwd -6)");
        }
        if (hashLike("probe", hash).empty()) {
            fail("the hash of " + user + " uses a scheme this system cannot check");
        }
        if (!file._hashes.emplace(user, hash).second) {
            fail("user " + user + " is listed twice");
        }
    }
    if (file._hashes.empty()) {
        throw std::runtime_error(sourceName + ": the user file lists no user");
    }
    return file;
}

bool PasswordFile::verify(const std::string& user, const std::string& password) const {
    auto found = _hashes.find(user);
    bool known = found != _hashes.end();
    const std::string& stored = known ? found->second : std::string(kUnknownUserHash);
    bool usable = password.find('\0') == std::string::npos;
    std::string computed = hashLike(usable ? password : std::string(), stored);
    bool equal = computed.size() == stored.size() &&
                 CRYPTO_memcmp(computed.data(), stored.data(), stored.size()) == 0;
    return known && usable && equal;
}

}  // namespace velk::cimserver
