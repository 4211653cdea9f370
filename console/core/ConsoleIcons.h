// The console's icons, drawn in code: department (with a distinct look when
// selected), user, and the program icon.
//
// Thread-safety: GUI thread only.
#pragma once

#include <QIcon>

namespace warden::console {

// 16 by 16; its Selected mode is the selected-department picture.
QIcon DepartmentIcon();
QIcon UserIcon();
QIcon ProgramIcon();

}  // namespace warden::console
