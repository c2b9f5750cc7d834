// The user name and password of an HTTP "Authorization: Basic ..." header.
#ifndef VELK_CIMSERVER_BASIC_CREDENTIALS_H
#define VELK_CIMSERVER_BASIC_CREDENTIALS_H

#include <optional>
#include <string>

namespace velk::cimserver {

struct BasicCredentials {
    std::string user;
    std::string password;

    // Reads "Basic <base64 of user:password>" (scheme name in any case);
    // nothing for another scheme, bad base64 or a decoded text without ':'.
    static std::optional<BasicCredentials> fromHeader(const std::string& authorization);
};

}  // namespace velk::cimserver

#endif
