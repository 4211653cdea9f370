// Reading the XML texts the IM directory answers with. The directory's
// answers are parsed, never cut up as text, so a name keeps every character
// it has (spaces included) and an element or attribute name inside a value
// can never be mistaken for markup.
//
// Thread-safety: the functions keep no state.
#pragma once

#include <string>
#include <string_view>

#include <pugixml.hpp>

namespace warden {

// Parses `xml`. An empty or all-blank text gives an empty document (the
// directory has nothing to list). Throws ImError when the text is not XML:
// a garbled answer must not turn into a list of wrong names.
pugi::xml_document LoadImXml(std::string_view xml);

// The text of an element as a DOM's "text" gives it: every character data
// below it, in document order.
std::string ElementText(const pugi::xml_node& element);

}  // namespace warden
