#include "directory/XmlText.h"

namespace warden {

void AppendXmlEscaped(std::string& out, std::string_view value) {
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
            case '\t':
                out += "&#9;";
                break;
            case '\n':
                out += "&#10;";
                break;
            case '\r':
                out += "&#13;";
                break;
            default:
                out += c;
        }
    }
}

std::string XmlEscaped(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    AppendXmlEscaped(out, value);
    return out;
}

}  // namespace warden
