// Reading the directory's XML answers back the way a careful caller would:
// with an XML parser, so escaping mistakes show up as wrong names.
#pragma once

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <string>
#include <vector>

namespace warden::test {

// The values of `attribute` on every element named `element`, in order.
inline std::vector<std::string> AttributeValues(const std::string& xml, const char* element,
                                                const char* attribute) {
    pugi::xml_document doc;
    auto parsed = doc.load_string(xml.c_str());
    EXPECT_TRUE(parsed) << parsed.description() << " in " << xml;
    std::vector<std::string> values;
    for (auto node : doc.select_nodes((std::string("//") + element).c_str())) {
        values.push_back(node.node().attribute(attribute).value());
    }
    return values;
}

inline std::vector<std::string> DeptNames(const std::string& xml) {
    return AttributeValues(xml, "Department", "Name");
}
inline std::vector<std::string> UserNames(const std::string& xml) {
    return AttributeValues(xml, "User", "Name");
}
inline std::vector<std::string> RoleNames(const std::string& xml) {
    return AttributeValues(xml, "Item", "RoleName");
}

}  // namespace warden::test
