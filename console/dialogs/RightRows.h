// The right lists of the role dialogs: rows of a description, a deny mark,
// an allow mark ("+" set, "-" not) and the right's identity, kept sorted by
// description (in the order of Collation.h), with at most one selected row; and how rights are read
// from and written to the wire.
//
// Thread-safety: none; used on the user-interface thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace warden::console {

struct RightRow {
    std::string description;
    std::string deny;   // "+" or "-"
    std::string allow;  // "+" or "-"
    std::string identity;
};

// "+" for the wire flag "1", "-" for anything else.
std::string MarkOf(std::string_view flag);
// "1" for the mark "+", "0" for anything else.
std::string FlagOf(std::string_view mark);

// The right information of one right: identity "|" deny flag "|" allow flag.
std::string RightInfoOf(const RightRow& row);

// Rows of a "GetRightsOfRole.asp" reply: records cut at "^", fields at "|":
// identity, deny flag, allow flag, description. Records too short to hold
// a description are skipped.
std::vector<RightRow> ParseRoleRights(std::string_view reply);

// Rows of a "GetAllRights.asp" reply: identity, description, ..., allow
// flag; every right starts denied unless allowed. Records without a
// description are skipped.
std::vector<RightRow> ParseAllRights(std::string_view reply);

class RightRows {
  public:
    int Size() const { return static_cast<int>(m_rows.size()); }
    const RightRow& At(int index) const { return m_rows[static_cast<size_t>(index)]; }
    const std::vector<RightRow>& Rows() const { return m_rows; }

    // Inserts after the rows of an equal description; returns its index.
    int Add(RightRow row);
    void Clear();

    int Selected() const { return m_selected; }
    bool HasSelection() const { return m_selected >= 0; }
    // Anything out of range selects nothing.
    void Select(int index);
    // REQUIRES: 0 <= index < Size().
    void SetMarks(int index, std::string deny, std::string allow);

    // The right information of every row, in list order, joined by "^".
    std::string RightInfo() const;

  private:
    std::vector<RightRow> m_rows;
    int m_selected = -1;
};

}  // namespace warden::console
