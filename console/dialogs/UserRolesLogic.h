// The behaviour of the dialog "用户角色管理": the roles of the user being
// edited are chosen by moving names between "全部角色" (what the
// administrator may hand out) and "用户角色". Nothing is sent to the server:
// the editor sends the roles with its next "提交".
//
// A second-level administrator may neither give nor take away a role that is
// not his to hand out: such a role of the user stays where it is.
//
// Thread-safety: none; used on the user-interface thread.
#pragma once

#include <string>

#include "console/core/LoginState.h"
#include "console/core/MessageSink.h"
#include "console/core/Transport.h"
#include "console/dialogs/SortedNames.h"

namespace warden::console {

class UserRolesLogic {
  public:
    // `rolesText` is the editor's roles box: names each followed by ";".
    // REQUIRES: every reference outlives this object.
    UserRolesLogic(Transport& transport, MessageSink& sink, const LoginState& login,
                   std::string rolesText);

    // Reads the roles the administrator may hand out and places the user's.
    void Open();

    const SortedNames& Available() const { return m_available; }
    const SortedNames& Given() const { return m_given; }
    void SelectAvailable(int index) { m_available.Select(index); }
    void SelectGiven(int index) { m_given.Select(index); }
    // "添加 >>" (or a double click): the selected available role is given.
    void GiveSelected();
    // Whether the selected given role may go back: not one the administrator
    // may not hand out.
    bool CanTakeBack() const;
    // "<< 移除" (or a double click): the selected given role goes back.
    void TakeBackSelected();

    // The roles box after "确定": every given role followed by ";".
    std::string RolesText() const;

  private:
    Transport& m_transport;
    MessageSink& m_sink;
    const LoginState& m_login;
    std::string m_rolesText;
    SortedNames m_available;
    SortedNames m_given;
    SortedNames m_grantable;  // every role he may hand out
};

}  // namespace warden::console
