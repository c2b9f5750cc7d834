// Writes XML text the way the CIM-XML clients we serve can read it: explicit
// end tags (self-closing only where asked), attribute and text values escaped
// with the five named entities only.
#ifndef VELK_CIMSERVER_XML_BUILDER_H
#define VELK_CIMSERVER_XML_BUILDER_H

#include <string>

namespace velk::cimserver {

class XmlBuilder {
  public:
    // Starts an element; attributes may follow until content or close().
    XmlBuilder& open(const char* name);
    XmlBuilder& attribute(const char* name, const std::string& value);
    XmlBuilder& text(const std::string& value);
    // Ends the element with an explicit end tag.
    XmlBuilder& close(const char* name);
    // Ends the element just opened as "<name .../>".
    XmlBuilder& closeEmpty();
    XmlBuilder& newline();
    // An element with text content: <name>value</name>.
    XmlBuilder& element(const char* name, const std::string& value);
    // Text already in XML form (written by another builder).
    XmlBuilder& raw(const std::string& xml);

    const std::string& str() const { return _out; }

    // The text with & < > " ' replaced by their named entities; control
    // characters XML cannot carry become '?'.
    static std::string escape(const std::string& value);

  private:
    void endStartTag();

    std::string _out;
    bool _startTagOpen = false;
};

}  // namespace velk::cimserver

#endif
