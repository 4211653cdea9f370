#include "console/dialogs/UserCsv.h"

#include <array>
#include <optional>

#include "console/core/DeptScope.h"
#include "console/dialogs/CsvText.h"
#include "console/dialogs/RoleNames.h"
#include "protocol/GbkCodec.h"
#include "protocol/SplitList.h"

namespace warden::console {

namespace {

enum Column { kAccount, kName, kGender, kPosition, kMobile, kPhone, kEmail, kDepts, kRoles, kPassword };
constexpr int kWrittenColumns = kPassword;
constexpr int kColumns = kPassword + 1;

// The header each column is written with, then the other names it is known by.
constexpr std::array<std::array<std::string_view, 4>, kColumns> kHeaders = {{
    {"帐号", "账号", "account"},
    {"姓名", "name"},
    {"性别", "gender"},
    {"职务", "position"},
    {"手机", "mobile"},
    {"电话", "telephone", "phone"},
    {"邮件", "email", "e-mail"},
    {"部门", "departments"},
    {"角色", "roles"},
    {"密码", "password"},
}};

// What separates several departments or roles in one field: ";" as written,
// and "|" or a line break, which no name can hold either.
constexpr std::string_view kListSeparators = ";|\r\n";

std::string JoinList(const std::vector<std::string>& items) {
    std::string joined;
    for (const std::string& item : items) {
        if (!joined.empty()) joined += ';';
        joined += item;
    }
    return joined;
}

std::vector<std::string> DeptList(std::string_view field) {
    std::vector<std::string> depts;
    for (const std::string& piece : SplitList(field, kListSeparators)) {
        std::string path = NormalDeptPath(Trim(piece));
        if (!path.empty()) depts.push_back(std::move(path));
    }
    return depts;
}

std::vector<std::string> RoleList(std::string_view field) {
    std::vector<std::string> roles;
    for (const std::string& piece : SplitList(field, kListSeparators)) {
        std::string_view role = Trim(piece);
        if (!role.empty() && !IsBuiltInRole(role)) roles.emplace_back(role);
    }
    return roles;
}

std::optional<int> ColumnNamed(std::string_view header) {
    header = Trim(header);
    for (int column = 0; column < kColumns; ++column) {
        for (std::string_view name : kHeaders[static_cast<size_t>(column)]) {
            if (!name.empty() && EqualsNoCase(header, name)) return column;
        }
    }
    return std::nullopt;
}

// Finds each column's place from the header; the message when it cannot.
std::string MapColumns(const std::vector<std::string>& header, std::array<int, kColumns>& at) {
    at.fill(-1);
    for (size_t i = 0; i < header.size(); ++i) {
        std::optional<int> column = ColumnNamed(header[i]);
        if (!column) return "无法识别的列: " + header[i];
        if (at[static_cast<size_t>(*column)] >= 0) return "列重复: " + header[i];
        at[static_cast<size_t>(*column)] = static_cast<int>(i);
    }
    std::string missing;
    for (int column = 0; column < kWrittenColumns; ++column) {
        if (at[static_cast<size_t>(column)] >= 0) continue;
        if (!missing.empty()) missing += ", ";
        missing += kHeaders[static_cast<size_t>(column)][0];
    }
    return missing.empty() ? std::string() : "缺少列: " + missing;
}

}  // namespace

const char* EncodingName(TextEncoding encoding) {
    return encoding == TextEncoding::kGbk ? "GBK" : "UTF-8";
}

std::string UserCsvText(const std::vector<UserCsvRow>& rows) {
    std::vector<std::string> header;
    for (int column = 0; column < kWrittenColumns; ++column) {
        header.emplace_back(kHeaders[static_cast<size_t>(column)][0]);
    }
    std::string text = CsvLine(header);
    for (const UserCsvRow& r : rows) {
        std::vector<std::string> roles;
        for (const std::string& role : r.roles) {
            if (!IsBuiltInRole(role)) roles.push_back(role);
        }
        text += CsvLine({r.account, r.name, r.gender, r.position, r.mobile, r.phone, r.email,
                         JoinList(r.depts), JoinList(roles)});
    }
    return text;
}

UserCsvFile ReadUserCsv(std::string_view bytes) {
    UserCsvFile file;
    // Spreadsheets offer "Unicode text" beside CSV; read as GBK it would be
    // mistaken for a file of unknown columns.
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
        file.error = "文件是UTF-16编码的, 请另存为CSV(UTF-8或GBK编码)";
        return file;
    }
    std::optional<std::string> text = ConfigTextToUtf8(bytes);
    if (!text) {
        file.error = "文件既不是UTF-8也不是GBK编码的文本";
        return file;
    }
    // Read unchanged, it was UTF-8 (or plain ASCII, which is both).
    std::string_view unmarked = bytes.starts_with(kUtf8Bom) ? bytes.substr(3) : bytes;
    file.encoding = *text == unmarked ? TextEncoding::kUtf8 : TextEncoding::kGbk;

    CsvTable table = ParseCsv(*text);
    if (!table.error.empty()) {
        file.error = std::move(table.error);
        return file;
    }
    if (table.records.empty()) {
        file.error = "文件是空的";
        return file;
    }
    std::array<int, kColumns> at{};
    file.error = MapColumns(table.records.front().fields, at);
    if (!file.error.empty()) return file;
    file.hasPasswords = at[kPassword] >= 0;

    const size_t width = table.records.front().fields.size();
    for (size_t i = 1; i < table.records.size(); ++i) {
        CsvRecord& record = table.records[i];
        UserCsvRecord& out = file.records.emplace_back();
        out.line = record.line;
        if (record.fields.size() != width) {
            out.problem = "有" + std::to_string(record.fields.size()) + "列, 应为" +
                          std::to_string(width) + "列";
            continue;
        }
        auto field = [&](Column column) {
            int index = at[static_cast<size_t>(column)];
            return index < 0 ? std::string()
                             : UnguardCsvValue(std::move(record.fields[static_cast<size_t>(index)]));
        };
        UserCsvRow& row = out.row;
        // The account is trimmed, as the user editor trims it; other values
        // go to the server as they stand.
        row.account = std::string(Trim(field(kAccount)));
        row.name = field(kName);
        row.gender = field(kGender);
        row.position = field(kPosition);
        row.mobile = field(kMobile);
        row.phone = field(kPhone);
        row.email = field(kEmail);
        row.depts = DeptList(field(kDepts));
        row.roles = RoleList(field(kRoles));
        row.password = field(kPassword);
    }
    return file;
}

}  // namespace warden::console
