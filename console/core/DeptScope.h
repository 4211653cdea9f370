// Which departments a second-level administrator may touch, as the server
// checks it, so that the console never offers what the server would refuse.
//
// A department is in scope when it is one of his assigned departments or
// lies below one; it is strictly inside when it lies below one. An assigned
// department itself is not strictly inside: renaming, moving, deleting or
// reordering it would change other administrators' trees and his own stored
// paths. Paths compare by whole names after the directory's normalisation
// (leading, trailing and doubled "\" do not count), so "\销售部\华东区" covers
// "\销售部\华东区\上海" but not "\销售部\华东区2". The super administrator's
// scope is everything.
//
// Thread-safety: immutable after construction.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "console/core/LoginState.h"

namespace warden::console {

// `path` as "\A\B": one "\" before each name, none doubled or trailing.
std::string NormalDeptPath(std::string_view path);

// True when `path` is `ancestor` or lies below it, by whole names in any
// ASCII letter case.
bool PathCovers(std::string_view ancestor, std::string_view path);

class DeptScope {
  public:
    explicit DeptScope(const LoginState& login);

    bool InScope(std::string_view path) const;
    bool StrictlyInside(std::string_view path) const;

  private:
    bool m_everything;
    std::vector<std::string> m_assigned;  // normal paths
};

}  // namespace warden::console
