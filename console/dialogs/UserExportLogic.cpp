#include "console/dialogs/UserExportLogic.h"

#include <algorithm>

#include "console/core/Collation.h"
#include "console/core/DeptScope.h"
#include "console/core/ReplyMessage.h"
#include "console/core/UserList.h"
#include "console/dialogs/CsvText.h"
#include "console/dialogs/RequestParams.h"
#include "protocol/ParamKeys.h"
#include "protocol/Replies.h"
#include "protocol/RequestNames.h"
#include "protocol/SplitList.h"

namespace warden::console {

UserExportLogic::UserExportLogic(Transport& transport, MessageSink& sink, std::string deptPath)
    : m_transport(transport), m_sink(sink), m_deptPath(std::move(deptPath)) {}

void UserExportLogic::Start(bool withSubDepts) {
    m_withSubDepts = withSubDepts;
    m_deptQueue = {m_deptPath};
    m_deptsListed = 0;
    m_accounts.clear();
    m_seen.clear();
    m_next = 0;
    m_rows.clear();
    m_gone = 0;
    m_phase = ExportPhase::kListing;
}

bool UserExportLogic::Step() {
    if (m_phase != ExportPhase::kListing && m_phase != ExportPhase::kReading) return false;
    if (m_transport.Busy()) return true;
    if (m_phase == ExportPhase::kListing) {
        ListNextDept();
        if (m_phase == ExportPhase::kListing && m_deptQueue.empty()) m_phase = ExportPhase::kReading;
    } else {
        ReadNextUser();
    }
    if (m_phase == ExportPhase::kReading && m_next == m_accounts.size()) {
        // One line per user, in the order every list of the console uses, so
        // that two exports of the same users are the same file.
        std::sort(m_rows.begin(), m_rows.end(), [](const UserCsvRow& a, const UserCsvRow& b) {
            return NameLess(a.account, b.account);
        });
        m_phase = ExportPhase::kDone;
    }
    return m_phase == ExportPhase::kListing || m_phase == ExportPhase::kReading;
}

void UserExportLogic::Cancel() {
    if (m_phase == ExportPhase::kListing || m_phase == ExportPhase::kReading) {
        m_phase = ExportPhase::kStopped;
    }
}

std::optional<std::string> UserExportLogic::Ask(std::string_view request, std::string_view key,
                                                std::string_view value) {
    std::string reply = m_transport.SendRequest(request, ComposeParams({{key, value}}));
    if (reply.empty() || HasErrorPrefix(reply)) {
        // No reply: the transport has said why. A refusal: show it; a file
        // without what was refused would pass for the whole department.
        ShowReplyMessage(m_sink, reply);
        m_phase = ExportPhase::kStopped;
        return std::nullopt;
    }
    return reply;
}

void UserExportLogic::ListNextDept() {
    const std::string path = std::move(m_deptQueue.front());
    m_deptQueue.pop_front();
    std::optional<std::string> users = Ask(req::kGetDeptUsers, key::kDeptIdMixed, path);
    if (!users) return;
    for (std::string& account : SplitList(Trim(*users), ",")) {
        if (m_seen.insert(account).second) m_accounts.push_back(std::move(account));
    }
    if (m_withSubDepts) {
        std::optional<std::string> children = Ask(req::kGetChildDepts, key::kDeptIdMixed, path);
        if (!children) return;
        for (const std::string& child : SplitList(Trim(*children), ",")) {
            m_deptQueue.push_back(path + "\\" + child);
        }
    }
    ++m_deptsListed;
}

void UserExportLogic::ReadNextUser() {
    const std::string& account = m_accounts[m_next];
    std::string record =
        m_transport.SendRequest(req::kGetUserBInfo, ComposeParams({{key::kUsername, account}}));
    if (record.empty()) {  // the transport has said why
        m_phase = ExportPhase::kStopped;
        return;
    }
    if (Trim(record) == reply::kNotPermitted) {
        // Refused (his rights changed meanwhile): a file without him would
        // pass for the whole department.
        ShowReplyMessage(m_sink, record);
        m_phase = ExportPhase::kStopped;
        return;
    }
    if (HasErrorPrefix(record)) {
        // Deleted since his department was listed: he is no longer there to export.
        ++m_gone;
        ++m_next;
        return;
    }
    std::optional<std::string> depts = Ask(req::kGetUserDepts, key::kUsername, account);
    if (!depts) return;
    std::optional<std::string> roles = Ask(req::kGetUserRoles, key::kUsername, account);
    if (!roles) return;

    UserRow shown;
    ApplyUserRecord(record, shown);
    UserCsvRow& row = m_rows.emplace_back();
    row.account = account;
    row.name = shown.cells[kColName];
    row.gender = shown.cells[kColGender];
    row.position = shown.cells[kColPosition];
    row.mobile = shown.cells[kColMobile];
    row.phone = shown.cells[kColPhone];
    row.email = shown.cells[kColEmail];
    for (const std::string& dept : SplitList(Trim(*depts), ",")) {
        row.depts.push_back(NormalDeptPath(dept));
    }
    row.roles = SplitList(Trim(*roles), "=");
    // The directory lists them in the order they were given; sorted, the
    // same user always gives the same line.
    SortNames(row.depts);
    SortNames(row.roles);
    ++m_next;
}

std::string UserExportLogic::ProgressText() const {
    switch (m_phase) {
        case ExportPhase::kListing:
            return "已查 " + std::to_string(m_deptsListed) + " 个部门, 找到 " +
                   std::to_string(m_accounts.size()) + " 个用户";
        case ExportPhase::kReading:
            return "读取用户资料 " + std::to_string(m_next) + " / " +
                   std::to_string(m_accounts.size());
        case ExportPhase::kDone:
            return "共 " + std::to_string(m_rows.size()) + " 个用户";
        default:
            return {};
    }
}

std::string UserExportLogic::Csv() const {
    return UserCsvText(m_rows);
}

bool UserExportLogic::Save(const std::filesystem::path& file) {
    return SaveCsvFile(m_sink, file, Csv());
}

}  // namespace warden::console
