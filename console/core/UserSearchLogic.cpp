#include "console/core/UserSearchLogic.h"

#include "protocol/NameRules.h"
#include "protocol/ParamKeys.h"
#include "protocol/RequestNames.h"
#include "protocol/SplitList.h"

namespace warden::console {

bool UserSearchLogic::Search(std::string_view typed) {
    const std::string text(Trim(typed));
    if (text == m_asked && !m_note.empty()) return false;
    m_asked = text;
    m_hits.clear();
    if (text.empty()) {
        m_note.clear();
        return false;
    }
    if (CharacterCount(text) < search_limits::kMinChars) {
        m_note = "至少输入2个字符";
        return false;
    }
    if (CharacterCount(text) > search_limits::kMaxChars || !IsCarriableValue(text)) {
        m_note = "不能搜索含有 ` 或 ? 的文字,也不能超过254个字符";
        return false;
    }
    const std::string reply =
        m_transport.SendRequest(req::kSearchUsers, std::string(key::kText) + "=" + text + "`" +
                                                       key::kCount + "=" +
                                                       std::to_string(kShown));
    if (reply.empty()) {
        m_note = "没有收到服务器的回答";
        m_asked.clear();  // the same text may be tried again
        return true;
    }
    if (reply.rfind("error:", 0) == 0) {
        m_note = reply.substr(6);
        return true;
    }
    m_hits = ParseUserSearch(reply);
    if (m_hits.empty()) {
        m_note = "没有找到用户";
    } else if (m_hits.size() >= static_cast<size_t>(kShown)) {
        m_note = "只显示前" + std::to_string(kShown) + "个,请输入更多文字";
    } else {
        m_note = "找到" + std::to_string(m_hits.size()) + "个用户";
    }
    return true;
}

void UserSearchLogic::Clear() {
    m_asked.clear();
    m_hits.clear();
    m_note.clear();
}

}  // namespace warden::console
