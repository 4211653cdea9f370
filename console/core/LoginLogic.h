// The behaviour of the login dialog "登录": the initial values from
// client.cfg, the input checks in their order, the login and the
// departments query, and what the login state becomes.
//
// Thread-safety: none; used on the user-interface thread.
#pragma once

#include <filesystem>
#include <string>

#include "console/core/ClientConfig.h"
#include "console/core/LoginState.h"
#include "console/core/MessageSink.h"
#include "console/core/Transport.h"

namespace warden::console {

struct LoginInput {
    std::string address;
    std::string port;
    std::string name;
    std::string password;
    WireSecurity security = WireSecurity::kTls;  // the box "加密连接"
};

enum class LoginField { kNone, kAddress, kName, kPassword, kPort };

struct LoginOutcome {
    bool success = false;
    LoginField focus = LoginField::kNone;  // the box to put the focus in after a failed check
};

class LoginLogic {
  public:
    // REQUIRES: every reference outlives this object. `state` receives the
    // login's results; `startDir` is where client.cfg is read and written.
    LoginLogic(Transport& transport, MessageSink& sink, LoginState& state,
               std::filesystem::path startDir);

    // The address and port to show when the dialog opens: those of
    // client.cfg, or no address and the encrypted port 8801 without one. A
    // file of an older console that names the plain port 8800 shows 8801:
    // the encrypted port of the same server.
    ServerAddress InitialServer() const;
    // Whether the box "加密连接" starts ticked: unless the last login
    // unticked it.
    WireSecurity InitialSecurity() const;
    // The port to show after the box changed to `security`: the default
    // port of that transport when the box held the other one's, else `port`.
    static std::string PortAfterSwitch(std::string_view port, WireSecurity security);

    // Whether the focus should start in the login-name box.
    static bool FocusNameFirst(const ServerAddress& shown);

    // The press of "登 录". On success the login state is complete.
    LoginOutcome Press(const LoginInput& input);

    // The menu entry that removes the certificate trusted for `address`:
    // `port`: says when there is none, asks for confirmation naming it, and
    // says when it is gone. Returns whether it was removed.
    bool ForgetCertificate(std::string_view address, std::string_view port);

  private:
    ClientConfig SavedConfig() const;
    // Steps after a reply holding "success"; true when the login completes.
    bool FinishLogin(const std::string& name, const std::string& reply);

    Transport& m_transport;
    MessageSink& m_sink;
    LoginState& m_state;
    std::filesystem::path m_configFile;
};

}  // namespace warden::console
