#include "console/dialogs/UserImportLogic.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "console/core/ConsoleTexts.h"
#include "console/core/DeptScope.h"
#include "console/core/FieldRules.h"
#include "console/core/ReplyMessage.h"
#include "console/dialogs/CsvText.h"
#include "console/dialogs/DialogTexts.h"
#include "console/dialogs/RequestParams.h"
#include "console/dialogs/RoleNames.h"
#include "protocol/GbkCodec.h"
#include "protocol/NameRules.h"
#include "protocol/ParamKeys.h"
#include "protocol/Replies.h"
#include "protocol/RequestNames.h"
#include "protocol/SplitList.h"

namespace warden::console {

namespace {

// Larger than any directory's worth of users; a file beyond it is not one.
constexpr std::uintmax_t kMaxFileBytes = 64u << 20;
constexpr const char kCancelled[] = "已取消";
constexpr const char kNoReply[] = "没有收到服务器的回复, 不知道是否已经生效";
constexpr const char kServerSilent[] = "服务器没有回复, 已停止";

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The text after the reply's prefix, which is what the server says.
std::string ReplyText(const std::string& reply) {
    for (std::string_view prefix : {reply::kErrorPrefix, reply::kInfoPrefix}) {
        if (size_t at = reply.find(prefix); at != std::string::npos) {
            return reply.substr(at + prefix.size());
        }
    }
    return reply;
}

// The problem of one value: what FieldRules refuses, and text GBK cannot
// carry, which the transport could not send.
std::string TextProblem(std::string_view label, std::string_view value, FieldKind kind,
                        size_t maxChars) {
    std::string problem = FieldProblem({label, value, kind, maxChars});
    if (problem.empty() && !Utf8ToGbk(value)) {
        problem = std::string(label) + "含有无法发送的字符(不在GBK字符集中)";
    }
    return problem;
}

std::string RowProblem(const UserCsvRow& user, const DeptScope& scope) {
    if (user.account.empty()) return "缺少帐号";
    if (user.depts.empty()) return "缺少部门";
    using enum FieldKind;
    const struct {
        const char* label;
        const std::string& value;
        FieldKind kind;
        size_t max;
    } values[] = {
        {"帐号", user.account, kName, limits::kAccount},
        {"密码", user.password, kValue, limits::kPassword},
        {"姓名", user.name, kValue, limits::kUserName},
        {"职务", user.position, kValue, limits::kPosition},
        {"手机", user.mobile, kValue, limits::kMobile},
        {"电话", user.phone, kValue, limits::kPhone},
        {"邮件", user.email, kValue, limits::kEmail},
    };
    for (const auto& v : values) {
        if (std::string problem = TextProblem(v.label, v.value, v.kind, v.max); !problem.empty()) {
            return problem;
        }
    }
    if (!user.gender.empty() && user.gender != text::kMale && user.gender != text::kFemale) {
        return "性别只能是 男 或 女";
    }
    if (user.depts.size() > limits::kListItems || user.roles.size() > limits::kListItems) {
        return "部门和角色各不能超过" + std::to_string(limits::kListItems) + "个";
    }
    for (const std::string& path : user.depts) {
        if (CharacterCount(path) > limits::kDeptPath) {
            return "部门路径不能超过" + std::to_string(limits::kDeptPath) + "个字符";
        }
        for (const std::string& name : SplitList(path, "\\")) {
            std::string problem = TextProblem("部门名称", name, kName, limits::kDeptName);
            if (!problem.empty()) return problem;
        }
        if (!scope.InScope(path)) return "部门不在您的管理范围内: " + path;
    }
    for (const std::string& role : user.roles) {
        std::string problem = TextProblem("角色", role, kName, limits::kRoleName);
        if (!problem.empty()) return problem;
    }
    return {};
}

std::string Duration(double seconds) {
    const long total = static_cast<long>(seconds + 0.5);
    char text[32];
    if (total >= 3600) {
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60,
                      total % 60);
    } else {
        std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    }
    return text;
}

}  // namespace

const char* ImportStateLabel(ImportState state) {
    switch (state) {
        case ImportState::kInvalid:
            return "有错误";
        case ImportState::kChecking:
            return "待检查";
        case ImportState::kNew:
            return "新增";
        case ImportState::kExisting:
            return "已存在";
        case ImportState::kAdded:
            return "已添加";
        case ImportState::kUpdated:
            return "已更新";
        case ImportState::kSkipped:
            return "已跳过";
        case ImportState::kRefused:
            return "被拒绝";
        case ImportState::kUnknown:
            return "结果未知";
        case ImportState::kNotRun:
            return "未执行";
    }
    return "";
}

std::string ImportProgressText(const ImportProgress& p) {
    std::string text = std::to_string(p.done) + " / " + std::to_string(p.total) + " 行, 用时 " +
                       Duration(p.elapsedSeconds);
    if (p.done < p.total) {
        text += p.secondsLeft ? ", 预计还需 " + Duration(*p.secondsLeft) : ", 预计时间计算中";
    }
    if (p.secondsPerPassword) {
        char each[32];
        std::snprintf(each, sizeof each, "%.2f", *p.secondsPerPassword);
        text += std::string("; 服务器为每个密码计算散列, 每行约 ") + each + " 秒";
    } else if (p.passwordsLeft > 0) {
        text += "; 含密码的行较慢: 服务器要为每个密码计算散列";
    }
    return text;
}

UserImportLogic::UserImportLogic(Transport& transport, MessageSink& sink, const LoginState& login)
    : m_transport(transport), m_sink(sink), m_login(login) {}

bool UserImportLogic::Load(const std::filesystem::path& file) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (!error && size > kMaxFileBytes) {
        m_sink.ShowMessage(MessageIcon::kError, text::kCaptionError,
                           "文件太大, 不能超过" + std::to_string(kMaxFileBytes >> 20) + "MB: " +
                               file.string());
        return false;
    }
    std::ifstream in(file, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    if (error || !in) {
        m_sink.ShowMessage(MessageIcon::kError, text::kCaptionError,
                           "无法读取文件: " + file.string());
        return false;
    }
    return LoadBytes(bytes.str());
}

bool UserImportLogic::LoadBytes(std::string_view bytes) {
    UserCsvFile file = ReadUserCsv(bytes);
    if (file.error.empty() && file.records.empty()) file.error = "文件中没有用户";
    if (!file.error.empty()) {
        m_sink.ShowMessage(MessageIcon::kError, text::kCaptionError, "无法导入: " + file.error);
        return false;
    }
    m_encoding = file.encoding;
    m_hasPasswords = file.hasPasswords;
    m_rows.clear();
    for (UserCsvRecord& record : file.records) {
        ImportRow& row = m_rows.emplace_back();
        row.line = record.line;
        row.user = std::move(record.row);
        if (!record.problem.empty()) {
            row.state = ImportState::kInvalid;
            row.note = std::move(record.problem);
        }
    }
    CheckLocally();
    m_rolesRead = false;
    m_roles.reset();
    m_phase = ImportPhase::kChecking;
    m_next = 0;
    m_started = Clock::now();
    m_total = static_cast<int>(m_rows.size());
    m_done = 0;
    for (const ImportRow& row : m_rows) m_done += row.state == ImportState::kChecking ? 0 : 1;
    return true;
}

void UserImportLogic::CheckLocally() {
    const DeptScope scope(m_login);
    std::map<std::string, std::vector<ImportRow*>> byAccount;  // accounts compare as the directory's
    for (ImportRow& row : m_rows) {
        if (!row.user.account.empty()) byAccount[LowerAscii(row.user.account)].push_back(&row);
        if (row.state != ImportState::kChecking) continue;
        row.note = RowProblem(row.user, scope);
        if (!row.note.empty()) row.state = ImportState::kInvalid;
    }
    for (auto& [account, rows] : byAccount) {
        if (rows.size() < 2) continue;
        std::string lines;
        for (const ImportRow* row : rows) {
            lines += (lines.empty() ? "" : ", ") + std::to_string(row->line);
        }
        for (ImportRow* row : rows) {
            if (row->state != ImportState::kChecking) continue;
            row->state = ImportState::kInvalid;
            row->note = "帐号在文件中出现多次: 第 " + lines + " 行";
        }
    }
    m_depts.clear();
    for (const ImportRow& row : m_rows) {
        if (row.state != ImportState::kChecking) continue;
        for (const std::string& path : row.user.depts) m_depts[path];
    }
}

int UserImportLogic::Count(ImportState state) const {
    int n = 0;
    for (const ImportRow& row : m_rows) n += row.state == state ? 1 : 0;
    return n;
}

std::string UserImportLogic::Summary() const {
    using enum ImportState;
    std::string text = "共 " + std::to_string(m_rows.size()) + " 行";
    const char* separator = ": ";
    // What goes to the server first, what does not last.
    for (ImportState state : {kNew, kExisting, kAdded, kUpdated, kSkipped, kRefused, kUnknown,
                              kNotRun, kChecking, kInvalid}) {
        const int n = Count(state);
        if (n == 0) continue;
        text.append(separator).append(ImportStateLabel(state)).append(" ").append(std::to_string(n));
        separator = ", ";
    }
    return text;
}

bool UserImportLogic::Step() {
    if (m_transport.Busy()) return m_phase == ImportPhase::kChecking || m_phase == ImportPhase::kRunning;
    if (m_phase == ImportPhase::kChecking) return CheckNext();
    if (m_phase == ImportPhase::kRunning) return RunNext();
    return false;
}

bool UserImportLogic::CheckNext() {
    if (!m_rolesRead) {
        ReadRoles();
        return m_phase == ImportPhase::kChecking;
    }
    for (auto& [path, check] : m_depts) {
        if (check.known) continue;
        CheckDept(path, check);
        return m_phase == ImportPhase::kChecking;
    }
    while (m_next < m_rows.size() && m_rows[m_next].state != ImportState::kChecking) ++m_next;
    if (m_next == m_rows.size()) {
        Finish();
        return false;
    }
    CheckAccount(m_rows[m_next++]);
    ++m_done;
    return m_phase == ImportPhase::kChecking;
}

void UserImportLogic::ReadRoles() {
    m_rolesRead = true;
    const bool super = m_login.IsSuper();
    const std::string reply =
        super ? m_transport.SendRequest(req::kGetAllRoles, "")
              : m_transport.SendRequest(req::kGet2NdAdminRoles,
                                        ComposeParams({{key::kUsername, m_login.loginName}}));
    if (reply.empty()) {
        StopRemaining(NoReplyReason());
        return;
    }
    // Unread, the roles are left to the server to refuse row by row.
    if (HasErrorPrefix(reply)) return;
    m_roles = AssignableRoles(reply, super ? "=" : "|");
}

void UserImportLogic::CheckDept(const std::string& path, DeptCheck& check) {
    const std::string reply =
        m_transport.SendRequest(req::kGetChildDepts, ComposeParams({{key::kDeptIdMixed, path}}));
    if (reply.empty()) {
        StopRemaining(NoReplyReason());
        return;
    }
    check.known = true;
    if (reply == reply::kGeneralError) {
        // What the directory answers for a path that names no department.
        check.problem = "部门不存在: " + path;
    } else if (HasErrorPrefix(reply)) {
        check.problem = "部门 " + path + ": " + ReplyText(reply);
    }
}

void UserImportLogic::CheckAccount(ImportRow& row) {
    for (const std::string& path : row.user.depts) {
        if (const std::string& problem = m_depts[path].problem; !problem.empty()) {
            row.state = ImportState::kInvalid;
            row.note = problem;
            return;
        }
    }
    // The departments he is in now: what an update takes him out of. A
    // refusal means the account is new, or not one this administrator may
    // see; adding it is then the server's to allow or refuse.
    const std::string reply = m_transport.SendRequest(
        req::kGetUserDepts, ComposeParams({{key::kUsername, row.user.account}}));
    if (reply.empty()) {
        row.state = ImportState::kNotRun;
        row.note = NoReplyReason();
        StopRemaining(row.note);
        return;
    }
    const bool exists = !HasErrorPrefix(reply);
    // Roles compare as the directory names them. A second-level
    // administrator may leave an existing user a role he could not give.
    if (m_roles && (m_login.IsSuper() || !exists)) {
        for (const std::string& role : row.user.roles) {
            if (std::find(m_roles->begin(), m_roles->end(), role) != m_roles->end()) continue;
            row.state = ImportState::kInvalid;
            row.note = (m_login.IsSuper() ? "角色不存在: " : "您不能授予角色: ") + role;
            return;
        }
    }
    row.state = exists ? ImportState::kExisting : ImportState::kNew;
    if (exists) row.deptsNow = std::string(Trim(reply));
}

void UserImportLogic::Start(ExistingAccounts existing) {
    if (m_phase != ImportPhase::kReady) return;
    m_existing = existing;
    m_total = m_done = m_passwordsLeft = 0;
    m_plainSeconds = m_passwordSeconds = 0;
    m_plainRows = m_passwordRows = 0;
    for (ImportRow& row : m_rows) {
        if (row.state == ImportState::kExisting && existing == ExistingAccounts::kSkip) {
            row.state = ImportState::kSkipped;
        }
        if (row.state != ImportState::kNew && row.state != ImportState::kExisting) continue;
        ++m_total;
        if (!row.user.password.empty()) ++m_passwordsLeft;
    }
    m_phase = ImportPhase::kRunning;
    m_next = 0;
    m_started = Clock::now();
}

bool UserImportLogic::RunNext() {
    while (m_next < m_rows.size() && m_rows[m_next].state != ImportState::kNew &&
           m_rows[m_next].state != ImportState::kExisting) {
        ++m_next;
    }
    if (m_next == m_rows.size()) {
        Finish();
        return false;
    }
    RunRow(m_rows[m_next++]);
    return m_phase == ImportPhase::kRunning;
}

void UserImportLogic::RunRow(ImportRow& row) {
    const UserCsvRow& u = row.user;
    const bool update = row.state == ImportState::kExisting;
    std::string depts, roles;
    for (const std::string& dept : u.depts) depts.append(dept).append("|");
    for (const std::string& role : u.roles) roles.append(role).append(";");
    // The user editor's request: the level is left as it is.
    std::vector<ParamItem> items = {
        {key::kUsername, u.account}, {key::kDeptNameLower, depts}, {key::kName, u.name},
        {key::kPosition, u.position}, {key::kGender, u.gender},    {key::kMobile, u.mobile},
        {key::kPhone, u.phone},       {key::kEmail, u.email},      {key::kPwd, u.password},
        {key::kRoles, roles},         {key::kLevel, ""}};
    if (update) {
        items.insert(items.begin() + 2, {key::kNewDeptName, row.deptsNow});
        items.insert(items.begin(), {key::kOp, "update"});
    }
    const Clock::time_point sent = Clock::now();
    const std::string reply = m_transport.SendRequest(req::kUserAdd, ComposeParams(items));
    const double took = SecondsSince(sent);
    ++m_done;
    if (!u.password.empty()) --m_passwordsLeft;
    if (reply.empty()) {
        row.state = ImportState::kUnknown;
        row.note = kNoReply;
        // A server that answers nothing would make every row wait as long.
        StopRemaining(NoReplyReason());
        return;
    }
    (u.password.empty() ? m_plainSeconds : m_passwordSeconds) += took;
    ++(u.password.empty() ? m_plainRows : m_passwordRows);
    row.note = ReplyText(reply);
    if (HasInfoPrefix(reply) && !HasErrorPrefix(reply)) {
        row.state = update ? ImportState::kUpdated : ImportState::kAdded;
    } else {
        row.state = ImportState::kRefused;
    }
}

std::string UserImportLogic::NoReplyReason() const {
    return m_transport.Connected() ? kServerSilent : text::kConnectionLost;
}

void UserImportLogic::Cancel() {
    if (m_phase == ImportPhase::kChecking || m_phase == ImportPhase::kRunning) {
        StopRemaining(kCancelled);
    }
}

void UserImportLogic::StopRemaining(const std::string& why) {
    const bool running = m_phase == ImportPhase::kRunning;
    for (size_t i = m_next; i < m_rows.size(); ++i) {
        ImportRow& row = m_rows[i];
        const bool waiting = running ? row.state == ImportState::kNew ||
                                           row.state == ImportState::kExisting
                                     : row.state == ImportState::kChecking;
        if (!waiting) continue;
        row.state = ImportState::kNotRun;
        row.note = why;
    }
    m_next = m_rows.size();
    Finish();
}

void UserImportLogic::Finish() {
    m_endedAfter = SecondsSince(m_started);
    m_phase = m_phase == ImportPhase::kRunning ? ImportPhase::kDone : ImportPhase::kReady;
}

ImportProgress UserImportLogic::Progress() const {
    ImportProgress p;
    p.done = m_done;
    p.total = m_total;
    p.passwordsLeft = m_passwordsLeft;
    const bool busy = m_phase == ImportPhase::kChecking || m_phase == ImportPhase::kRunning;
    p.elapsedSeconds = busy ? SecondsSince(m_started) : m_endedAfter;
    if (m_phase == ImportPhase::kChecking) {
        // Every check costs about the same.
        if (m_done > 0) p.secondsLeft = p.elapsedSeconds / m_done * (m_total - m_done);
        return p;
    }
    if (m_passwordRows > 0) p.secondsPerPassword = m_passwordSeconds / m_passwordRows;
    const int plainLeft = m_total - m_done - m_passwordsLeft;
    if ((plainLeft > 0 && m_plainRows == 0) || (m_passwordsLeft > 0 && m_passwordRows == 0)) {
        return p;  // no pace measured yet for what remains
    }
    double left = 0;
    if (plainLeft > 0) left += m_plainSeconds / m_plainRows * plainLeft;
    if (m_passwordsLeft > 0) left += *p.secondsPerPassword * m_passwordsLeft;
    p.secondsLeft = left;
    return p;
}

std::string UserImportLogic::ReportCsv() const {
    std::string csv = CsvLine({"行", "帐号", "姓名", "结果", "说明"});
    for (const ImportRow& row : m_rows) {
        csv += CsvLine({std::to_string(row.line), row.user.account, row.user.name,
                        ImportStateLabel(row.state), row.note});
    }
    return csv;
}

bool UserImportLogic::ExportReport(const std::filesystem::path& file) {
    return SaveCsvFile(m_sink, file, ReportCsv());
}

}  // namespace warden::console
