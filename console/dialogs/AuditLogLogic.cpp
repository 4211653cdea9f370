#include "console/dialogs/AuditLogLogic.h"

#include "console/core/ConsoleTexts.h"
#include "console/core/ReplyMessage.h"
#include "console/dialogs/CsvText.h"
#include "console/dialogs/RequestParams.h"
#include "protocol/NameRules.h"
#include "protocol/ParamKeys.h"
#include "protocol/Replies.h"
#include "protocol/RequestNames.h"

namespace warden::console {

namespace {

constexpr const char kUncarriable[] = "查询条件中不能含有字符 ` 和 ?";

struct Label {
    std::string_view key;
    const char* text;
};

constexpr Label kActions[] = {
    {req::kLoginCheck, "登录"},
    {req::kChangePwd, "修改密码"},
    {req::kDeptAdd, "添加部门"},
    {req::kDeptDelete, "删除部门"},
    {req::kDeptChange, "修改部门"},
    {req::kSetDeptOrder, "修改部门顺序"},
    {req::kUserAdd, "添加/修改用户"},
    {req::kUserDelete, "删除用户"},
    {req::kRoleAdmin, "角色管理"},
    {req::kUpdateRoleRight, "修改角色权限"},
    {req::kSaveAdminDepts, "设置分级管理员"},
    {req::kDeleteAdmin, "删除分级管理员"},
    {"--unlock", "解除登录锁定"},
};

constexpr Label kLevels[] = {
    {audit_level::kSuper, "超级管理员"},
    {audit_level::kSecond, "分级管理员"},
    {audit_level::kUser, "普通用户"},
    {audit_level::kNone, "未登录"},
    {audit_level::kLocal, "服务器本机"},
};

std::string Find(const Label* begin, const Label* end, std::string_view key) {
    for (const Label* l = begin; l != end; ++l) {
        if (l->key == key) return l->text;
    }
    return std::string(key);
}

}  // namespace

std::string AuditActionLabel(std::string_view request) {
    return Find(std::begin(kActions), std::end(kActions), request);
}

std::string AuditLevelLabel(std::string_view level) {
    return Find(std::begin(kLevels), std::end(kLevels), level);
}

AuditLogLogic::AuditLogLogic(Transport& transport, MessageSink& sink)
    : m_transport(transport), m_sink(sink) {}

bool AuditLogLogic::Search(AuditQuery query) {
    for (const std::string* value : {&query.from, &query.to, &query.account, &query.target}) {
        if (!IsCarriableValue(*value)) {
            m_sink.ShowMessage(MessageIcon::kInformation, text::kCaptionHint, kUncarriable);
            return false;
        }
    }
    if (m_observer.beginReset) m_observer.beginReset();
    m_query = std::move(query);
    m_rows.clear();
    m_complete = false;
    m_wanted = kBatch;
    if (m_observer.endReset) m_observer.endReset();
    return ReadPage();
}

bool AuditLogLogic::LoadNextPage() {
    if (m_transport.Busy()) return !m_complete;
    if (m_complete || static_cast<int>(m_rows.size()) >= m_wanted) return false;
    ReadPage();
    return !m_complete && static_cast<int>(m_rows.size()) < m_wanted;
}

bool AuditLogLogic::ReadPage() {
    const std::string count = std::to_string(kPageSize);
    std::vector<ParamItem> items = {{key::kFrom, m_query.from},
                                    {key::kTo, m_query.to},
                                    {key::kAccount, m_query.account},
                                    {key::kTarget, m_query.target},
                                    {key::kCount, count}};
    const std::string beforeId = m_rows.empty() ? "" : std::to_string(m_rows.back().id);
    if (!m_rows.empty()) {
        // The page continues after the last entry shown.
        items.emplace_back(key::kBeforeTime, m_rows.back().time);
        items.emplace_back(key::kBeforeId, beforeId);
    }
    const std::string params = ComposeParams(items);
    const std::string reply = m_transport.SendRequest(req::kGetAuditLog, params);
    // Entries quote reply texts, "error:" among them: only a reply that
    // begins with it is a refusal.
    if (reply.empty() || reply.starts_with(reply::kErrorPrefix)) {
        // No reply: the transport has said why. A refusal: show it.
        ShowReplyMessage(m_sink, reply);
        m_complete = true;
        return false;
    }
    std::vector<AuditRecord> page = ParseAuditLog(reply);
    if (static_cast<int>(page.size()) < kPageSize) m_complete = true;
    if (page.empty()) return true;
    const int first = static_cast<int>(m_rows.size());
    if (m_observer.beginAppend)
        m_observer.beginAppend(first, first + static_cast<int>(page.size()) - 1);
    m_rows.insert(m_rows.end(), std::make_move_iterator(page.begin()),
                  std::make_move_iterator(page.end()));
    if (m_observer.endAppend) m_observer.endAppend();
    return true;
}

std::string AuditLogLogic::Csv(const std::vector<int>& rows) const {
    std::string out = "时间(UTC),帐号,级别,地址,端口,操作,请求,对象,结果,详情\r\n";
    auto line = [&](const AuditRecord& r) {
        out += CsvLine({r.time, r.account, AuditLevelLabel(r.level), r.address,
                        std::to_string(r.port), AuditActionLabel(r.request), r.request, r.target,
                        r.outcome, r.detail});
    };
    if (rows.empty()) {
        for (const AuditRecord& r : m_rows) line(r);
    } else {
        for (int row : rows) {
            if (row >= 0 && row < static_cast<int>(m_rows.size()))
                line(m_rows[static_cast<size_t>(row)]);
        }
    }
    return out;
}

bool AuditLogLogic::ExportCsv(const std::filesystem::path& file, const std::vector<int>& rows) {
    return SaveCsvFile(m_sink, file, Csv(rows));
}

}  // namespace warden::console
