#include "bench/CrashModel.h"

#include <map>
#include <regex>

#include "server/store/RolesFile.h"
#include "vexdir/Sqlite.h"

namespace warden::bench {

const std::vector<std::string> kLoadDepartments = {"压测一", "压测二", "压测三", "压测四"};

std::string UserNameOf(int64_t write) {
    return "名" + std::to_string(write);
}
std::string PositionOf(int64_t write) {
    return "职位" + std::to_string(write);
}
std::string AdminDeptsOf(int64_t write) {
    return "\\压测\\" + std::to_string(write) + ";";
}
std::string AdminRolesOf(int64_t write) {
    return "r" + std::to_string(write) + "|";
}

namespace {

struct FoundUser {
    std::optional<int64_t> nameWrite, positionWrite;
    bool password = false;
    int depts = 0;
    std::string dept;
};

// The number after `prefix` in `text` when `text` is exactly prefix, number
// and `suffix`.
std::optional<int64_t> NumberIn(const std::string& text, const std::string& prefix,
                                const std::string& suffix = "") {
    if (!text.starts_with(prefix) || !text.ends_with(suffix)) return std::nullopt;
    const std::string digits =
        text.substr(prefix.size(), text.size() - prefix.size() - suffix.size());
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    return std::stoll(digits);
}

bool Intact(const std::filesystem::path& file, std::string& problem) {
    try {
        sqlite::Connection db(file, false);
        auto stmt = db.Prepare("PRAGMA integrity_check");
        std::string result = stmt.Step() ? stmt.Text(0) : "no answer";
        if (result == "ok") return true;
        problem = file.string() + ": " + result;
    } catch (const std::exception& e) {
        problem = e.what();
    }
    return false;
}

bool Matches(const UserState& state, const std::optional<FoundUser>& found) {
    if (!state.exists) return !found;
    return found && found->nameWrite == state.write && found->depts == 1 &&
           found->dept == state.dept && (!state.password || found->password);
}

void Note(Findings& findings, const std::string& what) {
    if (findings.details.size() < 20) findings.details.push_back(what);
}

}  // namespace

Findings CheckAndSettle(const std::filesystem::path& baseDir, std::vector<TrackedUser*>& users,
                        std::vector<TrackedAdmin*>& admins) {
    Findings findings;
    const auto vexFile = baseDir / "vex" / "db" / "vexdb.db";
    const auto storeFile = baseDir / "DB" / "db.dat";
    std::string problem;
    findings.directoryIntact = Intact(vexFile, problem);
    if (!findings.directoryIntact) Note(findings, problem);
    findings.storeIntact = Intact(storeFile, problem);
    if (!findings.storeIntact) Note(findings, problem);

    std::map<std::string, FoundUser> found;
    {
        sqlite::Connection db(vexFile, false);
        auto stmt = db.Prepare(
            "SELECT u.Account, u.Name, u.DetailText10, u.PasswordHash <> '', "
            "(SELECT COUNT(*) FROM vex_dept_user m WHERE m.UserID = u.UserID), "
            "(SELECT d.DeptName FROM vex_dept_user m JOIN vex_dept d ON d.DeptID = m.DeptID "
            " WHERE m.UserID = u.UserID LIMIT 1) FROM vex_user u");
        while (stmt.Step()) {
            FoundUser user;
            user.nameWrite = NumberIn(stmt.Text(1), "名");
            user.positionWrite = NumberIn(stmt.Text(2), "职位");
            user.password = stmt.Int(3) != 0;
            user.depts = static_cast<int>(stmt.Int(4));
            user.dept = stmt.Text(5);
            if (user.depts == 0) {
                ++findings.orphans;
                Note(findings, "account " + stmt.Text(0) + " is in no department");
            }
            found[stmt.Text(0)] = user;
        }
    }
    for (TrackedUser* user : users) {
        std::optional<FoundUser> here;
        if (auto it = found.find(user->account); it != found.end()) here = it->second;
        if (here && (here->nameWrite != here->positionWrite || here->depts != 1)) {
            ++findings.halfMade;
            Note(findings, user->account + " is half made: name of write " +
                               std::to_string(here->nameWrite.value_or(-1)) +
                               ", position of write " +
                               std::to_string(here->positionWrite.value_or(-1)) + ", in " +
                               std::to_string(here->depts) + " departments");
        } else if (Matches(user->answered, here)) {
            if (user->pending) ++findings.unansweredUndone;
        } else if (user->pending && Matches(*user->pending, here)) {
            ++findings.unansweredDone;
        } else {
            ++findings.lostWrites;
            auto describe = [](const UserState& state) {
                return state.exists ? "write " + std::to_string(state.write) + " in " + state.dept
                                    : std::string("absent");
            };
            Note(findings, user->account + ": expected " + describe(user->answered) +
                               (user->pending ? " or " + describe(*user->pending) : "") +
                               ", found " +
                               (here ? "write " + std::to_string(here->nameWrite.value_or(-1)) +
                                           " in " + here->dept
                                     : "absent"));
        }
        // From here on the files are the truth the next cycle builds on.
        UserState now;
        if (here) {
            now = {true, here->nameWrite.value_or(0), here->dept, here->password};
        }
        user->answered = now;
        user->pending.reset();
    }

    std::map<std::string, std::optional<int64_t>> rows;
    {
        sqlite::Connection db(storeFile, false);
        auto stmt = db.Prepare("SELECT admin_name, admin_depts FROM vex_2nd_admins");
        while (stmt.Step()) {
            rows[stmt.Text(0)] = NumberIn(stmt.Text(1), "\\压测\\", ";");
        }
    }
    RolesFile roles(baseDir / "RolesAdmin.ini");
    for (TrackedAdmin* admin : admins) {
        std::optional<int64_t> row;
        if (auto it = rows.find(admin->account); it != rows.end()) row = it->second;
        std::optional<int64_t> roleWrite;
        try {
            roleWrite = NumberIn(roles.Get(admin->account), "r", "|");
        } catch (const std::exception& e) {
            Note(findings, e.what());
        }
        if (admin->pending) {
            ++(row == admin->pending ? findings.unansweredDone : findings.unansweredUndone);
        }
        if (row != admin->answered && (!admin->pending || row != admin->pending)) {
            ++findings.lostWrites;
            Note(findings, admin->account + ": the answered save " +
                               std::to_string(admin->answered.value_or(-1)) +
                               " is not in the admin store");
        }
        // Counted when it appears, not again at each check while it lasts.
        if (row != roleWrite && !admin->torn) {
            ++findings.adminMismatches;
            Note(findings, admin->account + ": row of save " + std::to_string(row.value_or(-1)) +
                               ", roles of save " + std::to_string(roleWrite.value_or(-1)));
        }
        admin->torn = row != roleWrite;
        admin->answered = row;
        admin->pending.reset();
    }
    return findings;
}

std::vector<std::filesystem::path> TemporaryFilesIn(const std::filesystem::path& baseDir) {
    static const std::regex temporary(R"((RolesAdmin\.ini|db\.dat)\.[A-Za-z0-9]{6})");
    std::vector<std::filesystem::path> files;
    for (const auto& folder : {baseDir, baseDir / "DB"}) {
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
            if (std::regex_match(entry.path().filename().string(), temporary)) {
                files.push_back(entry.path());
            }
        }
    }
    return files;
}

}  // namespace warden::bench
