// The main window's status bar in words: who is logged in, to which server
// and over what, as the transport reports its connection; and the
// connection's details for the tooltip.
//
// Thread-safety: no state.
#pragma once

#include <optional>
#include <string>

#include "console/core/LoginState.h"
#include "console/core/Transport.h"

namespace warden::console {

// "当前用户: admin (超级管理员)  服务器: 10.0.0.8:8801 (TLSv1.3 加密, 证书经系统CA验证)".
std::string LoginStatusText(const LoginState& login,
                            const std::optional<ConnectionInfo>& connection);

// The protocol, cipher and certificate fingerprint of a TLS connection, one
// a line; a warning for the plain port; empty without a connection.
std::string ConnectionDetailsText(const std::optional<ConnectionInfo>& connection);

}  // namespace warden::console
