// Brings the children of one tree item in line with a fresh list from the
// server, row by row: an item that is still there stays (with everything
// loaded below it, so the view keeps it expanded), one that went is
// removed, a new one is inserted, and the survivors are moved into the new
// order. The view hears of each step through the main window's observer.
//
// Thread-safety: none; used on the user-interface thread.
#pragma once

#include <memory>
#include <vector>

#include "console/core/DeptTree.h"
#include "console/core/MainWindowObserver.h"

namespace warden::console {

// Items are matched by path (ASCII letter case ignored, as the directory
// finds departments); a match takes the fresh text.
void MergeDeptChildren(DeptNode& parent, std::vector<std::unique_ptr<DeptNode>> fresh,
                       MainWindowObserver& observer);

}  // namespace warden::console
