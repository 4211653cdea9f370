// Placing a department among its siblings: the work of the function-table
// library's department command, on the directory database.
//
// Thread-safety: as the connection passed in.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

#include "vexdir/Sqlite.h"

namespace warden::vexdir {

struct PlaceRequest {
    int64_t deptId = 0;
    int64_t sortId = 0;
    std::optional<int64_t> expectedParent;    // must match when given
    std::optional<std::string> expectedName;  // must match (any ASCII case) when given
};

struct PlaceResult {
    int renumbered = 0;  // departments whose SortID changed, this one included
    int64_t newSortId = 0;
};

// Why a placement was refused.
class PlaceError : public std::runtime_error {
  public:
    enum class Kind { kNotFound, kConflict };
    PlaceError(Kind kind, const std::string& what) : std::runtime_error(what), m_kind(kind) {}
    Kind GetKind() const { return m_kind; }

  private:
    Kind m_kind;
};

// In one immediate transaction: puts the department after every sibling whose
// SortID is at most `sortId` and before every sibling whose SortID is greater
// (ties among siblings keep DeptID order), then renumbers all siblings
// kSortStep apart. Throws PlaceError, or sqlite::Error from the database;
// either way nothing changes.
PlaceResult PlaceDeptAmongSiblings(sqlite::Connection& db, const PlaceRequest& request);

}  // namespace warden::vexdir
