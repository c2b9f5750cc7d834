// The users allowed to reach the CIM server: one "user:hash" line each, the
// hash in crypt(3) form as `openssl passwd -6` writes it ("$6$salt$...").
// Only hashes are kept; a password is checked by hashing it with the stored
// salt (crypt_r) and comparing the results in constant time.
#ifndef VELK_CIMSERVER_PASSWORD_FILE_H
#define VELK_CIMSERVER_PASSWORD_FILE_H

#include <map>
#include <string>

namespace velk::cimserver {

class PasswordFile {
  public:
    // Reads path; throws std::runtime_error "<path>:<line>: <what>" for a
    // line that is not "user:$id$...", a user named twice, or an unreadable
    // or empty file. Blank lines and lines starting with '#' are skipped.
    static PasswordFile load(const std::string& path);
    static PasswordFile parse(const std::string& text, const std::string& sourceName);

    // True when user is listed and password hashes to the stored hash.
    // Unknown users cost one hash as well, so timing does not tell them apart.
    bool verify(const std::string& user, const std::string& password) const;
    size_t size() const { return _hashes.size(); }

  private:
    std::map<std::string, std::string> _hashes;
};

}  // namespace velk::cimserver

#endif
