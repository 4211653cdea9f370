#include "server/im/ImXml.h"

#include "protocol/SplitList.h"
#include "directory/ImError.h"

namespace warden {

pugi::xml_document LoadImXml(std::string_view xml) {
    pugi::xml_document doc;
    if (Trim(xml).empty()) return doc;
    pugi::xml_parse_result parsed =
        doc.load_buffer(xml.data(), xml.size(), pugi::parse_default, pugi::encoding_utf8);
    if (!parsed) {
        throw ImError(
            im_code::kFail, "warden-server",
            std::string("unreadable answer from the IM directory: ") + parsed.description());
    }
    return doc;
}

namespace {

void AppendText(const pugi::xml_node& node, std::string& out) {
    for (pugi::xml_node child : node.children()) {
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
            out += child.value();
        } else if (child.type() == pugi::node_element) {
            AppendText(child, out);
        }
    }
}

}  // namespace

std::string ElementText(const pugi::xml_node& element) {
    std::string text;
    AppendText(element, text);
    return text;
}

}  // namespace warden
