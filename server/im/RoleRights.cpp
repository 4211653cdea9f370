#include "server/im/RoleRights.h"

#include <set>

#include "protocol/SplitList.h"
#include "server/im/ImXml.h"

namespace warden {

namespace {

constexpr std::string_view kDescribeKey = "RoleDescribe=";

// Drops the last `count` characters of UTF-8 text, never half a character.
std::string DropLastCharacters(std::string text, size_t count) {
    while (count > 0 && !text.empty()) {
        size_t end = text.size() - 1;
        while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
        text.erase(end);
        --count;
    }
    return text;
}

std::string FlagOf(const pugi::xml_node& item, const char* attribute) {
    return EqualsNoCase(item.attribute(attribute).value(), "true") ? "1" : "0";
}

// The identities a role's right list holds, compared whole: one right's
// identity may be the beginning of another's.
std::set<std::string> IdentitiesIn(std::string_view roleRightsXml) {
    std::set<std::string> identities;
    pugi::xml_document doc = LoadImXml(roleRightsXml);
    for (const pugi::xpath_node& found : doc.select_nodes("//Item")) {
        identities.insert(found.node().attribute("Identity").value());
    }
    return identities;
}

}  // namespace

std::string GetRoleDescriptionText(std::string_view info) {
    const size_t at = info.find(kDescribeKey);
    if (at == std::string_view::npos) return {};

    pugi::xml_document doc;
    if (doc.load_buffer(info.data(), info.size(), pugi::parse_default, pugi::encoding_utf8)) {
        pugi::xpath_node holder = doc.select_node("//*[@RoleDescribe]");
        if (holder) return holder.node().attribute("RoleDescribe").value();
    }
    // Not XML: the description sits between the opening quote and the four
    // closing characters at the end.
    const size_t start = at + kDescribeKey.size() + 1;
    if (start >= info.size()) return {};
    return DropLastCharacters(std::string(info.substr(start)), 4);
}

std::string GetRoleRightsList(ImRoot& root, std::string_view roleRightsXml) {
    pugi::xml_document doc = LoadImXml(roleRightsXml);
    std::string list;
    for (const pugi::xpath_node& found : doc.select_nodes("//Item")) {
        const pugi::xml_node item = found.node();
        const std::string identity = item.attribute("Identity").value();
        if (!list.empty()) list += '^';
        list += identity + "|" + FlagOf(item, "Deny") + "|" + FlagOf(item, "Allow") + "|" +
                GetRightNames(root, identity, true);
    }
    return std::string(TrimLeft(list));
}

std::string GetRightNames(ImRoot& root, const std::string& identity, bool namesOnly) {
    pugi::xml_document doc = LoadImXml(root.GetRightInfo(identity));
    std::string texts;
    std::string lastName;
    bool named = false;
    for (const pugi::xpath_node& found : doc.select_nodes("//Item")) {
        const pugi::xml_node item = found.node();
        if (namesOnly) {
            if (!EqualsNoCase(item.attribute("key").value(), "Name")) continue;
            lastName = ElementText(item);
            named = true;
        } else {
            texts += ElementText(item);
            texts += '|';
        }
    }
    // One name field per right, so a right described by several names cannot
    // shift the fields of its entry.
    if (namesOnly) return named ? lastName + "|" : std::string();
    return texts;
}

std::string GetAllRights(ImRoot& root) {
    std::string all;
    for (std::string_view identity : kRightIdentities) {
        std::string text = GetRightNames(root, std::string(identity), false);
        if (all.empty()) {
            all = std::move(text);
        } else {
            all += '^';
            all += text;
        }
    }
    return all;
}

std::string UpdateRoleRights(ImRoot& root, const std::string& role, const std::string& update) {
    if (update.empty()) return "error:权限不能为空";
    ImRoleManager& roles = root.GetRoleManager();
    for (const std::string& entry : SplitList(update, "^")) {
        std::vector<std::string> pieces = SplitList(entry, "|");
        // Without both flags the entry says nothing sure about the right.
        if (pieces.size() < 3) continue;
        const std::string& identity = pieces[0];
        if (!IdentitiesIn(roles.GetRoleRights(role)).contains(identity)) {
            roles.AddRightToRole(role, identity);
        }
        if (pieces[1] == "1") roles.SetRoleRight(role, identity, 1, 0);
        if (pieces[2] == "1") roles.SetRoleRight(role, identity, 0, 1);
    }
    return "info:";
}

}  // namespace warden
