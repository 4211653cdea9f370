// Which second-level administrators manage a department: those with the
// department itself, or one of its ancestors, among their departments. The
// super administrator's main window shows it for the selected department.
// The administrators and their departments are read once ("GetAdminList.asp"
// and "QueryUserAdminDepts.asp" for each) and kept until Forget, which the
// window calls after any dialog, since a dialog may have changed them.
//
// Thread-safety: none; used on the user-interface thread.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "console/core/Transport.h"

namespace warden::console {

class DeptManagers {
  public:
    // REQUIRES: `transport` outlives this object.
    explicit DeptManagers(Transport& transport) : m_transport(transport) {}

    // Each administrator who manages `path`, with the department of his
    // through which he does, in the order of the administrator list; nullopt
    // when the server could not be asked.
    std::optional<std::vector<std::pair<std::string, std::string>>> Of(const std::string& path);
    void Forget() { m_loaded = false; }

  private:
    bool Load();

    Transport& m_transport;
    bool m_loaded = false;
    std::vector<std::pair<std::string, std::vector<std::string>>> m_admins;
};

// "bob (\销售部), carol (\销售部\华东区)", or "无" for nobody.
std::string ManagersText(const std::vector<std::pair<std::string, std::string>>& managers);

}  // namespace warden::console
