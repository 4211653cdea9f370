#include "console/core/UserList.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "console/core/Collation.h"
#include "protocol/SplitList.h"

namespace warden::console {

void ApplyUserRecord(std::string_view reply, UserRow& row) {
    // Position of each record field in the list's columns.
    static constexpr int kColumnOfField[] = {kColName,  kColGender,   kColMobile,
                                             kColEmail, kColPhone,    -1 /* auth */,
                                             kColUin,   kColPosition, kColLevel};
    for (int column = 1; column < kUserColumnCount; ++column) row.cells[column].clear();
    std::vector<std::string> fields = SplitList(Trim(reply), "|");
    for (size_t i = 0; i < fields.size() && i < std::size(kColumnOfField); ++i) {
        int column = kColumnOfField[i];
        if (column < 0) continue;
        size_t colon = fields[i].find(':');
        row.cells[column] = colon == std::string::npos ? fields[i] : fields[i].substr(colon + 1);
    }
    row.isProtected = false;
    for (size_t i = std::size(kColumnOfField); i < fields.size(); ++i) {
        if (fields[i] == "protected:1") row.isProtected = true;
    }
    row.recordLoaded = true;
}

namespace {

// The value of a whole decimal number; nullopt for anything else.
std::optional<long long> Number(const std::string& text) {
    long long value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace

bool UserRowLess(const UserRow& a, const UserRow& b, int column) {
    const std::string& x = a.cells[static_cast<size_t>(column)];
    const std::string& y = b.cells[static_cast<size_t>(column)];
    if (column == kColUin || column == kColLevel) {
        const auto nx = Number(x);
        const auto ny = Number(y);
        if (nx && ny && *nx != *ny) return *nx < *ny;
        if (nx.has_value() != ny.has_value()) return nx.has_value();
    }
    const int order = CompareNames(x, y);
    if (order != 0) return order < 0;
    return column != kColAccount && NameLess(a.Account(), b.Account());
}

int UserList::InsertPosition(std::string_view account) const {
    auto at = std::upper_bound(m_rows.begin(), m_rows.end(), account,
                               [](std::string_view key, const std::unique_ptr<UserRow>& row) {
                                   return NameLess(key, row->Account());
                               });
    return static_cast<int>(at - m_rows.begin());
}

int UserList::Insert(std::string account) {
    int at = InsertPosition(account);
    auto row = std::make_unique<UserRow>();
    row->cells[kColAccount] = std::move(account);
    m_rows.insert(m_rows.begin() + at, std::move(row));
    return at;
}

void UserList::Assign(std::vector<std::string> accounts) {
    SortNames(accounts);
    m_rows.clear();
    m_rows.reserve(accounts.size());
    for (std::string& account : accounts) {
        auto row = std::make_unique<UserRow>();
        row->cells[kColAccount] = std::move(account);
        m_rows.push_back(std::move(row));
    }
}

void UserList::Remove(int row) {
    m_rows.erase(m_rows.begin() + row);
}

int UserList::IndexOf(const UserRow* row, std::string_view account) const {
    // Rows are sorted by account: search only among the equal accounts.
    auto first = std::lower_bound(m_rows.begin(), m_rows.end(), account,
                                  [](const std::unique_ptr<UserRow>& r, std::string_view key) {
                                      return NameLess(r->Account(), key);
                                  });
    for (auto it = first; it != m_rows.end() && !NameLess(account, (*it)->Account()); ++it) {
        if (it->get() == row) return static_cast<int>(it - m_rows.begin());
    }
    return -1;
}

}  // namespace warden::console
