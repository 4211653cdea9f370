// The behaviour of the role manager "角色管理" and of the two dialogs it
// opens: "添加角色" (a new role with a setting for every right) and
// "权限设置" (one right of the selected role).
//
// Thread-safety: none; used on the user-interface thread.
#pragma once

#include <optional>
#include <string>

#include "console/core/MessageSink.h"
#include "console/core/Transport.h"
#include "console/dialogs/RightRows.h"
#include "console/dialogs/SortedNames.h"

namespace warden::console {

// What "权限设置" is opened with. Flags are "1" or "0".
struct RightSetting {
    std::string role;
    std::string description;
    std::string identity;
    std::string deny;
    std::string allow;
};

enum class RightChoice { kNone, kDeny, kAllow };

class RoleManagerLogic {
  public:
    // REQUIRES: every reference outlives this object.
    RoleManagerLogic(Transport& transport, MessageSink& sink);

    // Lists every role.
    void Open();

    const SortedNames& Roles() const { return m_roles; }
    const RightRows& Rights() const { return m_rights; }

    // A click in the role list on `index` (-1 for none): shows the role's
    // name, description and rights.
    void ClickRole(int index);
    // Whether name, description, "修改", "删除角色" and "权限修改" may be
    // used: a role is selected and it is not "User" or "管理员".
    bool RoleChangeable() const { return m_changeable; }
    const std::string& NameField() const { return m_name; }
    const std::string& DescriptionField() const { return m_description; }

    // A click in the right list.
    void ClickRight(int index) { m_rights.Select(index); }

    // "修改" with the name and description boxes, untrimmed. Returns true
    // when the role was changed; otherwise nothing changed and the boxes keep
    // what was typed.
    bool UpdateRole(const std::string& name, const std::string& description);
    // "删除角色", after a confirmation. Returns true when the role is gone.
    bool DeleteRole();
    // "权限修改" (or a double click on a right): what "权限设置" opens with;
    // none without a selected right, role or identity.
    std::optional<RightSetting> RightToEdit() const;

    // Called by "权限设置" after the server took the new flags ("1"/"0").
    void SetSelectedRightFlags(const std::string& deny, const std::string& allow);
    // Called by "添加角色" after the server created the role.
    void RoleAdded(const std::string& name);

  private:
    void ClearSelectedRole();

    Transport& m_transport;
    MessageSink& m_sink;
    SortedNames m_roles;
    RightRows m_rights;
    std::string m_name;
    std::string m_description;
    bool m_changeable = false;
};

class RightSettingLogic {
  public:
    // REQUIRES: every reference outlives this object.
    RightSettingLogic(Transport& transport, MessageSink& sink, RoleManagerLogic& manager,
                      RightSetting setting);

    const std::string& Description() const { return m_setting.description; }
    // The allow flag wins when both are set.
    RightChoice InitialChoice() const;

    // "提交": anything but "允许" denies. The dialog closes afterwards.
    void Submit(RightChoice choice);

  private:
    Transport& m_transport;
    MessageSink& m_sink;
    RoleManagerLogic& m_manager;
    RightSetting m_setting;
};

enum class AddRoleOutcome {
    kStayOpen,
    kFocusName,
    kAdded,  // name and description boxes are to be emptied
};

class AddRoleLogic {
  public:
    // REQUIRES: every reference outlives this object.
    AddRoleLogic(Transport& transport, MessageSink& sink, RoleManagerLogic& manager);

    // Lists every right, allowed where the directory allows it by default.
    void Open();

    const RightRows& Rights() const { return m_rights; }
    // A click in the right list: returns the radio button to show.
    RightChoice ClickRight(int index);
    // The radio buttons: set the clicked right.
    void Choose(RightChoice choice);

    // "提交" with the name and description boxes.
    AddRoleOutcome Submit(const std::string& name, const std::string& description);

  private:
    Transport& m_transport;
    MessageSink& m_sink;
    RoleManagerLogic& m_manager;
    RightRows m_rights;
};

}  // namespace warden::console
