// `warden-server --unlock ACCOUNT`: clears the login locks of an account in
// the running server, through its local control channel, and the server's
// side of that command (which records it in the audit trail).
#pragma once

#include <filesystem>
#include <string>

#include "server/net/ControlChannel.h"

namespace warden {

class AuditRecorder;
class LoginThrottle;

// The command text that asks to unlock `account`.
std::string UnlockCommandText(const std::string& account);

// The server's answer to a command of the control channel, run for `peer`:
// "ok" or "error" on the first line, then what was done or why not.
// `audit` may be null.
std::string RunControlCommand(const std::string& command, const ControlPeer& peer,
                              LoginThrottle& throttle, AuditRecorder* audit);

// The client: asks the server running in `baseDir` to unlock `account`,
// prints its answer and returns the exit status.
int UnlockAccount(const std::filesystem::path& baseDir, const std::string& account);

}  // namespace warden
