#include "console/dialogs/AdminDetailLogic.h"

#include "console/core/ReplyMessage.h"
#include "protocol/ParamKeys.h"
#include "protocol/RequestNames.h"
#include "protocol/SplitList.h"

namespace warden::console {

bool AdminDetailLogic::Open() {
    const std::string reply =
        m_transport.SendRequest(req::kGetAdminEffective, std::string(key::kUsername) + "=" + m_account);
    if (reply.empty() || reply.rfind("error:", 0) == 0) {
        ShowReplyMessage(m_sink, reply);
        return false;
    }
    m_effective = ParseAdminEffective(reply);
    if (m_effective.exists) {
        m_name = NameInRecord(m_transport.SendRequest(
            req::kGetUserBInfo, std::string(key::kUsername) + "=" + m_account));
    }
    return true;
}

std::string AdminDetailLogic::NameInRecord(const std::string& record) {
    for (const std::string& field : SplitList(record, "|")) {
        if (field.rfind("name:", 0) == 0) return field.substr(5);
    }
    return "";
}

std::string AdminDetailLogic::StateText(const std::string& state) {
    if (state == entry_state::kMissing) return "已不存在";
    if (state == entry_state::kTop) return "指向顶层,不管理任何部门";
    if (state == entry_state::kCovered) return "已包含在他的另一个管理部门中";
    return "";
}

std::vector<std::string> AdminDetailLogic::Problems() const {
    std::vector<std::string> problems;
    if (!m_effective.exists) problems.push_back("账户 " + m_account + " 在目录中不存在");
    for (const auto& dept : m_effective.depts) {
        if (dept.state != entry_state::kOk) {
            problems.push_back("部门 " + dept.name + ": " + StateText(dept.state));
        }
    }
    for (const auto& role : m_effective.roles) {
        if (role.state != entry_state::kOk) {
            problems.push_back("角色 " + role.name + ": " + StateText(role.state));
        }
    }
    return problems;
}

std::string AdminDetailLogic::Try(size_t index, const std::string& target) {
    const TrialOperation& op = kTrialOperations.at(index);
    std::string params = std::string(key::kCheckFor) + "=" + m_account + "`" +
                         key::kCheckRequest + "=" + op.request + "`" + op.targetKey + "=" +
                         target;
    if (*op.extra != '\0') params += std::string("`") + op.extra;
    const std::string reply = m_transport.SendRequest(req::kCheckPermission, params);
    if (reply.empty()) return "没有收到服务器的回答";
    if (reply.rfind("error:", 0) == 0) return reply.substr(6);
    const PermissionVerdict verdict = ParsePermissionVerdict(reply);
    if (verdict.allowed) return "允许";
    std::string answer = "拒绝: " + verdict.text;
    if (!verdict.subject.empty()) answer += " (" + verdict.subject + ")";
    return answer;
}

std::vector<std::string> AdminDetailLogic::ChildDepts(const std::string& path) {
    const std::string reply =
        m_transport.SendRequest(req::kGetChildDepts, std::string(key::kDeptIdMixed) + "=" + path);
    if (reply.rfind("error:", 0) == 0) return {};
    return SplitList(Trim(reply), ",");
}

}  // namespace warden::console
