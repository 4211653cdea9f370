// The rows of the main window's user list: the account and the eight shown
// fields of its record, kept sorted by account (in the order of Collation.h). Rows live on the
// heap, so a row stays put while others are inserted or removed.
//
// Thread-safety: none; owned by one window.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace warden::console {

// Columns: 帐号, 姓名, VEX号码, 性别, 手机, 邮件, 电话, 职务, 权值.
inline constexpr int kUserColumnCount = 9;
enum UserColumn : int {
    kColAccount = 0,
    kColName,
    kColUin,
    kColGender,
    kColMobile,
    kColEmail,
    kColPhone,
    kColPosition,
    kColLevel,
};

struct UserRow {
    std::array<std::string, kUserColumnCount> cells;
    bool recordLoaded = false;  // columns 1 to 8 hold the server's record
    bool isProtected = false;   // the server marked the account as not the sender's to touch

    const std::string& Account() const { return cells[kColAccount]; }
};

// Puts the values of a "GetUserBInfo.asp" reply ("name:..|gender:..|...")
// into columns 1 to 8. The value of a field is the text after its first ":";
// a field the reply lacks leaves its column empty. A field "protected:1"
// after the nine marks the row as protected.
void ApplyUserRecord(std::string_view reply, UserRow& row);

// The order of two rows when the list is sorted by `column`: numbers (VEX号码,
// 权值) by value, before any text that is not a number; other columns in the
// order of Collation.h; rows that tie by the account.
bool UserRowLess(const UserRow& a, const UserRow& b, int column);

class UserList {
  public:
    int Size() const { return static_cast<int>(m_rows.size()); }
    UserRow& At(int row) { return *m_rows[static_cast<size_t>(row)]; }
    const UserRow& At(int row) const { return *m_rows[static_cast<size_t>(row)]; }

    // The index at which a row for `account` would be inserted (after rows
    // with an equal account).
    int InsertPosition(std::string_view account) const;
    // Inserts a row for `account` in order; returns its index.
    int Insert(std::string account);
    // Replaces all rows by one per account, sorted.
    void Assign(std::vector<std::string> accounts);
    void Remove(int row);
    void Clear() { m_rows.clear(); }

    // The current index of `row`, whose account is `account`, or -1 when it
    // is no longer in the list. `row` is compared, never read, so it may be
    // a row that has since been removed.
    int IndexOf(const UserRow* row, std::string_view account) const;

  private:
    std::vector<std::unique_ptr<UserRow>> m_rows;
};

}  // namespace warden::console
