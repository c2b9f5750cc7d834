// Fuzzes what the CIM server reads before it trusts a client: the first line
// of the input is an Authorization header value, the rest a user file. A
// header either yields a user without ':' or nothing; a user file is read or
// refused with std::runtime_error; checking the header's password against a
// file that was read never crashes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "BasicCredentials.h"
#include "PasswordFile.h"
#include "fuzz-text.h"

using velk::cimserver::BasicCredentials;
using velk::cimserver::PasswordFile;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);
    std::string::size_type newline = input.find('\n');
    std::string header = input.substr(0, newline);
    std::string users = newline == std::string::npos ? "" : input.substr(newline + 1);

    std::optional<BasicCredentials> credentials = BasicCredentials::fromHeader(header);
    if (credentials) {
        FUZZ_CHECK(credentials->user.find(':') == std::string::npos);
    }
    try {
        PasswordFile file = PasswordFile::parse(users, "fuzz.users");
        FUZZ_CHECK(file.size() > 0);
        // Hashing is slow by design: check only small files.
        if (credentials && file.size() <= 2) {
            file.verify(credentials->user, credentials->password);
        }
    } catch (const std::runtime_error& e) {
        FUZZ_CHECK(std::string(e.what()).rfind("fuzz.users", 0) == 0);
    }
    return 0;
}
