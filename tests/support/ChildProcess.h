// Starting the throw-away servers tests run (PostgreSQL, slapd): a free
// loopback port, a random password, an unprivileged account to run as when
// the tests run as root, and a child process that dies with the test program.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace warden::test {

// A TCP port on 127.0.0.1 that was free a moment ago.
int FreePort();

// 24 random hexadecimal digits.
std::string RandomPassword();

// A new folder "<prefix>-XXXXXX" under the system's temporary directory,
// kept when the test ends (the server's owner removes it); empty, with
// `problem` set, when it cannot be made.
std::filesystem::path MakeServerFolder(const char* prefix, std::string& problem);

// The last 2,000 characters of `file`.
std::string ReadTail(const std::filesystem::path& file);

// The account a server runs as: the caller, unless the tests run as root.
struct Account {
    bool switchTo = false;
    uid_t uid = 0;
    gid_t gid = 0;
};

// The account `name` when running as root (empty `problem`); the caller's
// own otherwise. `problem` says why when root has no such account.
Account UnprivilegedAccount(const char* name, std::string& problem);

// Hands `path` to `account` (when switching). False when it cannot.
bool HandTo(const std::filesystem::path& path, const Account& account);

// Starts `argv` as `account`, its output going to `logFd`. The child is
// stopped with `deathSignal` if this process dies before stopping it. The
// child exits 126 when it cannot switch account, 127 when it cannot run.
int Spawn(const std::vector<std::string>& argv, const Account& account, int logFd, int deathSignal);

// Waits for `pid` to end: its exit status, or 128 + the signal.
int WaitExit(int pid);

// Sends `signal`, waits up to 20 s for the end, then kills.
void StopChild(int pid, int signal);

}  // namespace warden::test
