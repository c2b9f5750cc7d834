// Reads the MOF subset our schema is written in into a ClassSchema:
// qualifiers (with scalar or array values and flavors), class declarations
// with a superclass, properties (arrays, references, default values),
// methods with parameters, "instance of", and the pragmas include (read),
// namespace and locale (accepted, ignored).
#ifndef VELK_CIMSERVER_MOF_READER_H
#define VELK_CIMSERVER_MOF_READER_H

#include <string>
#include <vector>

#include "ClassSchema.h"

namespace velk::cimserver {

class MofReader {
  public:
    explicit MofReader(ClassSchema& schema) : _schema(schema) {}
    // Reads a file (regular files of at most a few MiB only). Throws MofError.
    void readFile(const std::string& path, const std::string& includedFrom = "",
                  int includeLine = 0);
    // Reads text; "#pragma include" is resolved relative to sourceName's folder.
    void readText(const std::string& text, const std::string& sourceName);

  private:
    ClassSchema& _schema;
    std::vector<std::string> _openFiles;  // include chain, to refuse cycles
};

}  // namespace velk::cimserver

#endif
