#include "console/dialogs/AuditLabels.h"

#include "console/dialogs/AuditTimes.h"
#include "console/dialogs/CsvText.h"
#include "protocol/Replies.h"
#include "protocol/RequestNames.h"
#include "protocol/SplitList.h"

namespace warden::console {

namespace {

struct Label {
    std::string_view key;
    const char* text;
};

// An operation whose request does several things, by its "op".
struct OpLabel {
    std::string_view request;
    std::string_view op;
    const char* text;
};

constexpr OpLabel kOpLabels[] = {
    {req::kUserAdd, "update", "修改用户"},
    {req::kDeptChange, "changedeptname", "更改部门(改名)"},
    {req::kDeptChange, "changeparent", "更改部门(移动)"},
    {req::kRoleAdmin, "add", "添加角色"},
    {req::kRoleAdmin, "update", "修改角色"},
    {req::kRoleAdmin, "del", "删除角色"},
};

constexpr Label kLevels[] = {
    {audit_level::kSuper, "超级管理员"}, {audit_level::kSecond, "分级管理员"},
    {audit_level::kUser, "普通用户"},    {audit_level::kNone, "未登录"},
    {audit_level::kLocal, "服务器本机"},
};

// The value of "op=" in an entry's detail ("newparentdept=\A; op=changeparent").
std::string OpOf(std::string_view detail) {
    for (const std::string& item : SplitList(detail, ";")) {
        const std::string_view text = Trim(item);
        if (text.starts_with("op=")) return std::string(text.substr(3));
    }
    return {};
}

std::string_view After(std::string_view text, std::string_view prefix) {
    return Trim(text.substr(prefix.size()));
}

}  // namespace

const std::vector<AuditOperation>& AuditOperations() {
    static const std::vector<AuditOperation> operations = {
        {req::kLoginCheck, "登录"},
        {req::kDeptAdd, "添加部门"},
        {req::kDeptChange, "更改部门"},
        {req::kSetDeptOrder, "修改部门顺序"},
        {req::kDeptDelete, "删除部门"},
        {req::kUserAdd, "添加用户 / 修改用户"},
        {req::kUserDelete, "删除用户"},
        {req::kSaveAdminDepts, "设置分级管理员"},
        {req::kDeleteAdmin, "删除管理员"},
        {req::kRoleAdmin, "角色管理"},
        {req::kUpdateRoleRight, "权限修改"},
        {req::kChangePwd, "修改管理员密码"},
        {"--unlock", "解除登录锁定"},
        {req::kGetChildDepts, "查看部门"},
        {req::kGetDeptUsers, "查看部门用户"},
        {req::kGetUserBInfo, "查看用户资料"},
        {req::kGetUserRoles, "查看用户角色"},
        {req::kGetUserDepts, "查看用户部门"},
        {req::kGetAuditLog, "操作日志"},
    };
    return operations;
}

std::string AuditActionLabel(std::string_view request, std::string_view detail) {
    const std::string op = OpOf(detail);
    for (const OpLabel& l : kOpLabels) {
        if (l.request == request && EqualsNoCase(l.op, op)) return l.text;
    }
    if (request == req::kUserAdd) return "添加用户";
    for (const AuditOperation& o : AuditOperations()) {
        if (o.request == request) return o.label;
    }
    return std::string(request);
}

std::string AuditLevelLabel(std::string_view level) {
    for (const Label& l : kLevels) {
        if (l.key == level) return l.text;
    }
    return std::string(level);
}

std::string AuditOutcomeText(std::string_view outcome) {
    const std::string_view kind = AuditOutcomeKind(outcome);
    if (kind == audit_outcome::kRefused) {
        return "拒绝: " + std::string(After(outcome, reply::kErrorPrefix));
    }
    if (kind == audit_outcome::kFailed) {
        return "失败: " + std::string(After(outcome, reply::kErrorPrefix));
    }
    if (outcome.starts_with(reply::kInfoPrefix)) {
        const std::string_view message = After(outcome, reply::kInfoPrefix);
        if (!message.empty()) return "成功: " + std::string(message);
    }
    return "成功";
}

std::string AuditDetailText(std::string_view detail) {
    static const Label kVia[] = {{"via TLS", "经 TLS 加密连接"}, {"via plain text", "经明文连接"}};
    for (const Label& l : kVia) {
        const std::string_view key = l.key;
        if (detail.starts_with(key) &&
            (detail.size() == key.size() || detail.substr(key.size()).starts_with(";"))) {
            return l.text + std::string(detail.substr(key.size()));
        }
    }
    return std::string(detail);
}

std::string AuditCsvHeader(const QTimeZone& zone) {
    return CsvLine({"时间(UTC)", "时间(" + ZoneOffsetLabel(zone) + ")", "帐号", "级别", "地址",
                    "端口", "操作", "请求", "对象", "结果", "回复", "详情"});
}

std::string AuditCsvLine(const AuditRecord& r, const QTimeZone& zone) {
    return CsvLine({r.time, LocalTimeText(r.time, zone), r.account, AuditLevelLabel(r.level),
                    r.address, std::to_string(r.port), AuditActionLabel(r.request, r.detail),
                    r.request, r.target, AuditOutcomeText(r.outcome), r.outcome, r.detail});
}

}  // namespace warden::console
