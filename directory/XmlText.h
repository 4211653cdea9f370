// Writing the directory's small XML answers by hand, so that each has exactly
// the shape its readers expect (self-closing entries, or an opening and a
// closing tag, or " />" at the end). Values are escaped so that any name
// comes back unchanged through an XML parser.
#pragma once

#include <string>
#include <string_view>

namespace warden {

// Appends `value` escaped for use inside a double-quoted attribute or as
// element text: & < > " ' become entities, and tab, line feed and carriage
// return become character references so that attribute normalisation keeps them.
void AppendXmlEscaped(std::string& out, std::string_view value);

std::string XmlEscaped(std::string_view value);

}  // namespace warden
