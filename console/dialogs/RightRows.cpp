#include "console/dialogs/RightRows.h"

#include <algorithm>

#include "console/core/Collation.h"
#include "protocol/SplitList.h"

namespace warden::console {

namespace {
constexpr std::string_view kSet = "+";
constexpr std::string_view kUnset = "-";
}  // namespace

std::string MarkOf(std::string_view flag) {
    return std::string(flag == "1" ? kSet : kUnset);
}

std::string FlagOf(std::string_view mark) {
    return mark == kSet ? "1" : "0";
}

std::string RightInfoOf(const RightRow& row) {
    return row.identity + "|" + FlagOf(row.deny) + "|" + FlagOf(row.allow);
}

std::vector<RightRow> ParseRoleRights(std::string_view reply) {
    std::vector<RightRow> rows;
    for (const std::string& record : SplitList(Trim(reply), "^")) {
        std::vector<std::string> fields = SplitList(record, "|");
        if (fields.size() < 4) continue;
        rows.push_back({fields[3], MarkOf(fields[1]), MarkOf(fields[2]), fields[0]});
    }
    return rows;
}

std::vector<RightRow> ParseAllRights(std::string_view reply) {
    std::vector<RightRow> rows;
    for (const std::string& record : SplitList(Trim(reply), "^")) {
        std::vector<std::string> fields = SplitList(record, "|");
        if (fields.size() < 2) continue;
        rows.push_back({fields[1], std::string(kUnset), MarkOf(fields.back()), fields[0]});
    }
    return rows;
}

int RightRows::Add(RightRow row) {
    auto at = std::upper_bound(m_rows.begin(), m_rows.end(), row,
                               [](const RightRow& a, const RightRow& b) {
                                   return NameLess(a.description, b.description);
                               });
    int index = static_cast<int>(at - m_rows.begin());
    m_rows.insert(at, std::move(row));
    if (m_selected >= index) ++m_selected;
    return index;
}

void RightRows::Clear() {
    m_rows.clear();
    m_selected = -1;
}

void RightRows::Select(int index) {
    m_selected = index >= 0 && index < Size() ? index : -1;
}

void RightRows::SetMarks(int index, std::string deny, std::string allow) {
    RightRow& row = m_rows[static_cast<size_t>(index)];
    row.deny = std::move(deny);
    row.allow = std::move(allow);
}

std::string RightRows::RightInfo() const {
    std::string info;
    for (const RightRow& row : m_rows) {
        if (!info.empty()) info += '^';
        info += RightInfoOf(row);
    }
    return info;
}

}  // namespace warden::console
