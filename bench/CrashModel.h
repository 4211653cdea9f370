// What the crash checker expects to find after a kill -9 and a restart, and
// the comparison with what the server's files hold.
//
// Every write the load sends is numbered, and the number goes into what it
// writes (a user's name and position, an administrator's departments and
// roles), so the files tell which write each value came from. A write that
// was answered must be there (or a later one); a write that got no answer
// may be there or not, but only whole.
//
// Thread-safety: none; the load threads each own their own users and
// administrators, and the check runs after they are joined.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace warden::bench {

// One user as a sequence of whole writes leaves him.
struct UserState {
    bool exists = false;
    int64_t write = 0;  // the number of the write that gave his data
    std::string dept;   // the one department he is in
    bool password = false;
};

struct TrackedUser {
    std::string account;
    UserState answered;                // after the last write that was answered
    std::optional<UserState> pending;  // after a write that got no clear answer
};

struct TrackedAdmin {
    std::string account;
    std::optional<int64_t> answered;  // the last save answered "info:"
    std::optional<int64_t> pending;   // a save without a clear answer
    bool torn = false;                // row and roles entry disagreed at the last check
};

struct Findings {
    int lostWrites = 0;        // an answered write missing, or overwritten by an older one
    int halfMade = 0;          // a user no sequence of whole writes gives
    int orphans = 0;           // accounts in no department, anywhere in the directory
    int adminMismatches = 0;   // an administrator's row and roles entry newly from different saves
    int unansweredDone = 0;    // writes without an answer that turned out done...
    int unansweredUndone = 0;  // ...and not done
    bool directoryIntact = false;
    bool storeIntact = false;
    std::vector<std::string> details;  // the first few problems, for the report

    bool Clean() const {
        return lostWrites == 0 && halfMade == 0 && orphans == 0 && adminMismatches == 0 &&
               directoryIntact && storeIntact;
    }
};

// The department names the load puts users in (top level).
extern const std::vector<std::string> kLoadDepartments;

// The texts a write numbered `write` stores.
std::string UserNameOf(int64_t write);
std::string PositionOf(int64_t write);
std::string AdminDeptsOf(int64_t write);
std::string AdminRolesOf(int64_t write);

// Compares the files below `baseDir` with what the load expects, then makes
// what was found the new answered state of every tracked user and
// administrator, so that the next cycle goes on from there.
Findings CheckAndSettle(const std::filesystem::path& baseDir, std::vector<TrackedUser*>& users,
                        std::vector<TrackedAdmin*>& admins);

// Temporary files of the roles file and the admin store's data file beside
// them (names as mkstemp makes them).
std::vector<std::filesystem::path> TemporaryFilesIn(const std::filesystem::path& baseDir);

}  // namespace warden::bench
