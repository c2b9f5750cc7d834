#include "XmlBuilder.h"

namespace velk::cimserver {

std::string XmlBuilder::escape(const std::string& value) {
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r') {
                    out += '?';
                } else {
                    out += c;
                }
        }
    }
    return out;
}

void XmlBuilder::endStartTag() {
    if (_startTagOpen) {
        _out += '>';
        _startTagOpen = false;
    }
}

XmlBuilder& XmlBuilder::open(const char* name) {
    endStartTag();
    _out += '<';
    _out += name;
    _startTagOpen = true;
    return *this;
}

XmlBuilder& XmlBuilder::attribute(const char* name, const std::string& value) {
    _out += ' ';
    _out += name;
    _out += "=\"";
    _out += escape(value);
    _out += '"';
    return *this;
}

XmlBuilder& XmlBuilder::text(const std::string& value) {
    endStartTag();
    _out += escape(value);
    return *this;
}

XmlBuilder& XmlBuilder::close(const char* name) {
    endStartTag();
    _out += "</";
    _out += name;
    _out += '>';
    return *this;
}

XmlBuilder& XmlBuilder::closeEmpty() {
    _out += "/>";
    _startTagOpen = false;
    return *this;
}

XmlBuilder& XmlBuilder::newline() {
    endStartTag();
    _out += '\n';
    return *this;
}

XmlBuilder& XmlBuilder::element(const char* name, const std::string& value) {
    return open(name).text(value).close(name);
}

XmlBuilder& XmlBuilder::raw(const std::string& xml) {
    endStartTag();
    _out += xml;
    return *this;
}

}  // namespace velk::cimserver
