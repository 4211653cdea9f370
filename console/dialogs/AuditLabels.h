// How an entry of the audit trail reads for people: operations by the names
// of the menus and buttons that send them, levels and outcomes in words, and
// an entry as a line of CSV (times both in UTC and in the reader's zone).
//
// Thread-safety: no state.
#pragma once

#include <QTimeZone>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/AuditRecord.h"

namespace warden::console {

// What a request did ("添加部门"); its "op" (in the entry's detail) tells
// add from change where one request does both. The request name itself for
// one without a name.
std::string AuditActionLabel(std::string_view request, std::string_view detail = {});

// The operations the window filters by: a request name and what it is called.
struct AuditOperation {
    const char* request;
    const char* label;
};
const std::vector<AuditOperation>& AuditOperations();

// "超级管理员", "分级管理员", "普通用户", "未登录" or "服务器本机".
std::string AuditLevelLabel(std::string_view level);

// "成功", "成功: 添加部门成功", "拒绝: 没有权限执行此操作" or "失败: " and
// the server's message.
std::string AuditOutcomeText(std::string_view outcome);

// An entry's detail as the window shows it: the transport a login came by
// (which the server notes first, "via TLS" or "via plain text") in words,
// the rest as it is.
std::string AuditDetailText(std::string_view detail);

// The CSV heading for times in `zone`, and one entry under it.
std::string AuditCsvHeader(const QTimeZone& zone);
std::string AuditCsvLine(const AuditRecord& record, const QTimeZone& zone);

}  // namespace warden::console
