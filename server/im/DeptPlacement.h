// Moving a department to another place among its siblings, as
// "SetDeptOrder.asp" asks: through the embedded directory's database and
// function-table library (DeptOrdering), or through a directory that keeps
// the order itself (DirectoryPlacement).
//
// Thread-safety: implementations may be called from any number of workers.
#pragma once

#include <string>
#include <vector>

namespace warden {

class DeptPlacement {
  public:
    virtual ~DeptPlacement() = default;

    // DeptOrderingAvailable: whether departments can be placed at all.
    virtual bool Available() const = 0;

    // Moves the department `deptPieces` names (from the top level down)
    // right before its sibling `nextPieces` names, or right after it when
    // `isLast`. False when either is not found, they are not siblings, or
    // the change fails.
    virtual bool MoveBefore(const std::vector<std::string>& deptPieces,
                            const std::vector<std::string>& nextPieces, bool isLast) = 0;
};

}  // namespace warden
