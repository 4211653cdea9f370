// The behaviour of the dialog "修改密码": the logged-in administrator types
// his old password and the new one twice; the server stores the new one only
// when the old one is right.
//
// Thread-safety: none; used on the user-interface thread.
#pragma once

#include <string>

#include "console/core/LoginState.h"
#include "console/core/MessageSink.h"
#include "console/core/Transport.h"

namespace warden::console {

struct PasswordInput {
    std::string oldPassword;   // sent exactly as typed
    std::string newPassword;   // compared and sent trimmed
    std::string confirmation;  // compared trimmed
};

enum class PasswordOutcome {
    kStayOpen,
    kRetypeNew,  // stay open; focus the new password with its text selected
    kClose,
};

class ChangePasswordLogic {
  public:
    // REQUIRES: every reference outlives this object.
    ChangePasswordLogic(Transport& transport, MessageSink& sink, const LoginState& login);

    // What the read-only "用户名:" box shows.
    const std::string& UserName() const { return m_login.loginName; }

    // The press of "提交".
    PasswordOutcome Submit(const PasswordInput& input);

  private:
    Transport& m_transport;
    MessageSink& m_sink;
    const LoginState& m_login;
};

}  // namespace warden::console
