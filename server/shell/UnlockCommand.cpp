#include "server/shell/UnlockCommand.h"

#include <pwd.h>

#include <cstdio>

#include "protocol/SplitList.h"
#include "server/dispatch/AuditRecorder.h"
#include "server/dispatch/LoginThrottle.h"
#include "server/shell/StderrView.h"

namespace warden {

namespace {

constexpr const char kUnlock[] = "unlock";

// The name of the local account `uid`, or its number.
std::string AccountOf(uid_t uid) {
    passwd entry{};
    passwd* found = nullptr;
    char buffer[1024];
    if (::getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found) {
        return found->pw_name;
    }
    return "uid " + std::to_string(uid);
}

}  // namespace

std::string UnlockCommandText(const std::string& account) {
    return std::string(kUnlock) + "\n" + account;
}

std::string RunControlCommand(const std::string& command, const ControlPeer& peer,
                              LoginThrottle& throttle, AuditRecorder* audit) {
    const size_t cut = command.find('\n');
    if (command.substr(0, cut) != kUnlock || cut == std::string::npos) {
        return "error\nunknown command\n";
    }
    const std::string account = command.substr(cut + 1);
    if (Trim(account).empty() || account.find('\n') != std::string::npos) {
        return "error\nname one account\n";
    }
    const std::vector<std::string> cleared =
        throttle.Unlock(account, LoginThrottle::Clock::now());
    std::string said = cleared.empty() ? "\"" + account + "\" had no failed logins to clear"
                                       : "cleared the failed logins of \"" + account + "\":";
    std::string detail;
    for (const std::string& line : cleared) {
        said += "\n  " + line;
        detail += (detail.empty() ? "" : "; ") + line;
    }
    if (audit) {
        AuditRecord record;
        record.account = AccountOf(peer.uid);
        record.level = audit_level::kLocal;
        record.address = "local";
        record.port = static_cast<int>(peer.pid);
        record.request = "--unlock";
        record.target = account;
        record.outcome = cleared.empty() ? "nothing to clear" : "cleared";
        record.detail = detail;
        audit->Write(std::move(record));
    }
    return "ok\n" + said + "\n";
}

int UnlockAccount(const std::filesystem::path& baseDir, const std::string& account) {
    const std::filesystem::path path = ControlSocketPath(baseDir);
    std::string problem;
    const std::optional<std::string> answer =
        SendControlCommand(path, UnlockCommandText(account), problem);
    if (!answer) {
        SayOnStderr("no running server answers in " + baseDir.string() + " (" + problem +
                    "); locks end with the server, so a stopped server has none");
        return 1;
    }
    const size_t cut = answer->find('\n');
    const std::string status = answer->substr(0, cut);
    const std::string text = cut == std::string::npos ? "" : answer->substr(cut + 1);
    std::fputs(text.c_str(), status == "ok" ? stdout : stderr);
    return status == "ok" ? 0 : 1;
}

}  // namespace warden
