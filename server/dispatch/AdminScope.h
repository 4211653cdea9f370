// What one second-level administrator may manage: the departments assigned
// to him with everything below them (AdminScope), and the roles he may give
// or take away (GrantableRoles).
//
// Departments are compared as the IM directory looks a path up: the path is
// cut at "\" with empty pieces skipped, so leading, trailing and doubled "\"
// change nothing, and names are compared whole in any ASCII letter case. So
// "\销售部\华东区" covers "\销售部\华东区\上海" and "\\销售部\\华东区\\上海\\",
// but not "\销售部\华东区2", and no spelling of a path reaches outside.
//
// Thread-safety: immutable once built; share freely.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace warden {

// A department path as the directory resolves it: its names from the top
// level down, in ASCII lower case. Empty for the top level.
using DeptKey = std::vector<std::string>;
DeptKey NormaliseDeptPath(std::string_view path);

class AdminScope {
  public:
    AdminScope() = default;
    // `depts`: the departments text of his row, paths each followed by ";".
    // An entry that names the top level is ignored: it would hand out the
    // whole directory.
    explicit AdminScope(std::string_view depts);

    // `path` is one of his departments or lies below one.
    bool Covers(std::string_view path) const;
    // `path` lies below one of his departments. His departments themselves
    // are not inside: renaming, moving, deleting or reordering one would
    // change other administrators' trees and his own stored paths.
    bool HasInside(std::string_view path) const;

  private:
    bool Within(std::string_view path, bool strictly) const;

    std::vector<DeptKey> m_depts;
};

class GrantableRoles {
  public:
    // `roles`: his roles text, names each followed by "|".
    explicit GrantableRoles(std::string_view roles);

    // `role` is in his list (names compare whole, in any ASCII letter case,
    // as the directory compares role names).
    bool MayGrant(std::string_view role) const;

  private:
    std::vector<std::string> m_roles;  // in ASCII lower case
};

}  // namespace warden
