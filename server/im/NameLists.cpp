#include "server/im/NameLists.h"

#include "protocol/Replies.h"
#include "server/im/ImXml.h"

namespace warden {

namespace {

// Every element called `name` anywhere in the document, in document order.
template <typename Visit>
void ForEachElement(const pugi::xml_node& node, std::string_view name, Visit&& visit) {
    for (pugi::xml_node child : node.children()) {
        if (child.type() != pugi::node_element) continue;
        if (name == child.name()) visit(child);
        ForEachElement(child, name, visit);
    }
}

}  // namespace

std::vector<std::string> ListNames(std::string_view xml, std::string_view element) {
    pugi::xml_document doc = LoadImXml(xml);
    std::vector<std::string> names;
    ForEachElement(doc, element, [&names](const pugi::xml_node& entry) {
        std::string_view name = entry.attribute("Name").value();
        // An entry without a name has nothing the console could show or send
        // back; an empty piece would vanish in its list cutting anyway.
        if (!name.empty()) names.emplace_back(name);
    });
    return names;
}

std::string JoinNameList(const std::vector<std::string>& names) {
    std::string joined;
    for (const std::string& name : names) {
        if (!joined.empty()) joined += ',';
        joined += name;
    }
    return joined.empty() ? std::string(reply::kNothing) : joined;
}

std::string FlattenNameList(std::string_view xml, std::string_view element) {
    return JoinNameList(ListNames(xml, element));
}

std::string StripRoleXml(std::string_view xml) {
    pugi::xml_document doc = LoadImXml(xml);
    std::string roles;
    ForEachElement(doc, "Item", [&roles](const pugi::xml_node& item) {
        std::string_view name = item.attribute("RoleName").value();
        if (name.empty()) return;
        roles += '=';
        roles += name;
    });
    return roles;
}

}  // namespace warden
