// Turning the directory's XML lists into the flat texts of the wire:
// department and user name lists, and role lists.
//
// Thread-safety: the functions keep no state.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace warden {

// The names of a list such as <Departments><Department Name="a"/>…</Departments>,
// for `element` = "Department": the "Name" of every such element in document
// order, joined by ",", or " " when there is none. Names come back exactly as
// the directory holds them, spaces included. Throws ImError on a text that is
// not XML.
std::string FlattenNameList(std::string_view xml, std::string_view element);

// The same names as a list, without joining them; entries without a name are
// left out. Throws ImError on a text that is not XML.
std::vector<std::string> ListNames(std::string_view xml, std::string_view element);

// `names` joined by ",", or " " when there is none: the wire's name list.
std::string JoinNameList(const std::vector<std::string>& names);

// The role names of a role list <VEXSRoleList><Item RoleName="a"></Item>…,
// each preceded by "=" ("=a=b"); the empty text when there is none. Throws
// ImError on a text that is not XML.
std::string StripRoleXml(std::string_view xml);

}  // namespace warden
