#include "vexdir/VexUserManager.h"

#include <unordered_map>

#include "protocol/NameRules.h"
#include "vexdir/Lookup.h"
#include "vexdir/Names.h"
#include "vexdir/PasswordHash.h"
#include "vexdir/Schema.h"

namespace warden::vexdir {

namespace {

using sqlite::Connection;

[[noreturn]] void Fail(uint32_t code, const std::string& message) {
    throw ImError(code, kErrorSource, message);
}

int64_t TakeUin(Connection& db, int number) {
    const int64_t nextUin = sqlite::QueryInt(db, "SELECT Value FROM vex_meta WHERE Key = 'NextUin'")
                                .value_or(kFirstUin);
    auto isTaken = [&](int64_t uin) {
        return sqlite::QueryInt(db, "SELECT 1 FROM vex_user WHERE Uin = ?", uin).has_value();
    };
    int64_t uin = number > 0 ? number : nextUin;
    if (number > 0) {
        if (isTaken(uin)) Fail(im_code::kAlreadyExists, "uin " + std::to_string(uin) + " is taken");
    } else {
        // Uins of deleted users are never handed out again; skip any that a
        // caller chose explicitly.
        while (isTaken(uin)) ++uin;
    }
    if (uin >= nextUin) {
        db.Prepare("INSERT OR REPLACE INTO vex_meta(Key, Value) VALUES('NextUin', ?)")
            .Bind(1, uin + 1)
            .Run();
    }
    return uin;
}

constexpr const char kDetailColumns[] =
    "SELECT Detail1, Detail2, Detail3, DetailText1, DetailText2, DetailText3, DetailText4, "
    "DetailText5, DetailText6, DetailText7, DetailText8, DetailText9, DetailText10, DetailLevel "
    "FROM vex_user WHERE UserID = ?";
constexpr const char kRecordColumns[] =
    "SELECT Detail1, Detail2, Detail3, DetailText1, DetailText2, DetailText3, DetailText4, "
    "DetailText5, DetailText6, DetailText7, DetailText8, DetailText9, DetailText10, DetailLevel, "
    "Name, Gender, Mobile, Email, Phone, Auth, Uin FROM vex_user WHERE UserID = ?";

// The detail record in the first 14 columns of `stmt`'s row.
UserDetail ReadDetail(const sqlite::Statement& stmt) {
    UserDetail detail;
    for (int i = 0; i < 3; ++i) detail.leading[i] = static_cast<int32_t>(stmt.Int(i));
    for (int i = 0; i < 10; ++i) detail.texts[i] = stmt.Text(3 + i);
    detail.trailing = static_cast<int32_t>(stmt.Int(13));
    return detail;
}

// An FTS5 string: the text in double quotes, with its own doubled.
std::string QuotedTerm(std::string_view text) {
    std::string quoted = "\"";
    for (char c : text) {
        quoted += c;
        if (c == '"') quoted += '"';
    }
    quoted += '"';
    return quoted;
}

// The index query for `lowered` (at least two characters): a text of three
// or more characters is a phrase of its trigrams, which matches exactly
// where the text occurs. Two characters make no trigram, but every pair of a
// field starts one (each field ends in char(31)), so they match the rows of
// every trigram that begins with them. Empty when nothing can match.
std::string SearchQuery(Connection& db, const std::string& lowered, size_t characters) {
    if (characters >= 3) return QuotedTerm(lowered);
    std::string query;
    auto terms = db.Prepare(
        "SELECT term FROM vex_user_search_terms WHERE term >= ? AND term < ? || char(1114111)");
    terms.Bind(1, lowered).Bind(2, lowered);
    while (terms.Step()) {
        if (!query.empty()) query += " OR ";
        query += QuotedTerm(terms.Text(0));
    }
    return query;
}

}  // namespace

void VexUserManager::SearchUsers(const std::string& text, const UserMatchVisitor& visit) {
    CheckSearchText(kErrorSource, text);
    const size_t characters = CharacterCount(text);
    m_db.Read([&](Connection& db) {
        // The index holds what SQL's lower() made of each field: the text
        // goes through the same function.
        std::string lowered;
        {
            auto lower = db.Prepare("SELECT lower(?)");
            lower.Bind(1, text);
            lower.Step();
            lowered = lower.Text(0);
        }
        std::unordered_map<int64_t, std::string> paths;  // DeptID → path, for this search
        auto match = [&](int64_t userId, std::string account, std::string name) {
            UserMatch found{std::move(account), std::move(name), {}};
            auto depts =
                db.Prepare("SELECT DeptID FROM vex_dept_user WHERE UserID = ? ORDER BY MemberID");
            depts.Bind(1, userId);
            while (depts.Step()) {
                const int64_t dept = depts.Int(0);
                auto known = paths.find(dept);
                if (known == paths.end()) known = paths.emplace(dept, DeptPathOf(db, dept)).first;
                found.depts.push_back(known->second);
            }
            return visit(std::move(found));
        };

        const std::optional<int64_t> exact = FindUser(db, text);
        if (exact) {
            auto row = db.Prepare("SELECT Account, Name FROM vex_user WHERE UserID = ?");
            row.Bind(1, *exact);
            row.Step();
            std::string account = row.Text(0);
            std::string name = row.Text(1);
            if (!match(*exact, std::move(account), std::move(name))) return;
        }
        const std::string query = SearchQuery(db, lowered, characters);
        if (query.empty()) return;
        auto rows = db.Prepare(
            "SELECT u.UserID, u.Account, u.Name FROM vex_user_search s "
            "JOIN vex_user u ON u.UserID = s.rowid "
            "WHERE vex_user_search MATCH ? ORDER BY s.rowid");
        rows.Bind(1, query);
        while (rows.Step()) {
            const int64_t userId = rows.Int(0);
            if (userId == exact) continue;
            if (!match(userId, rows.Text(1), rows.Text(2))) return;
        }
    });
}

void VexUserManager::AddUser(const std::string& user, int number) {
    CheckName("account", user);
    m_db.Write([&](Connection& db) {
        if (FindUser(db, user)) Fail(im_code::kAlreadyExists, "user \"" + user + "\" exists");
        int64_t uin = TakeUin(db, number);
        db.Prepare("INSERT INTO vex_user(Account, Uin) VALUES(?, ?)")
            .Bind(1, user)
            .Bind(2, uin)
            .Run();
        int64_t userId = db.LastInsertRowId();
        db.Prepare("INSERT INTO vex_user_role(UserID, RoleID) VALUES(?, ?)")
            .Bind(1, userId)
            .Bind(2, RequireRole(db, kRoleUser))
            .Run();
    });
}

void VexUserManager::SetUserPassword(const std::string& user, const std::string& password) {
    // Hashing takes tens of milliseconds on purpose: do it before taking the
    // write lock so other writers do not wait for it.
    if (!IsUserExist(user)) Fail(im_code::kNotFound, "user \"" + user + "\" does not exist");
    SetUserPreparedPassword(user, PreparePassword(password));
}

std::string VexUserManager::PreparePassword(const std::string& password) {
    return HashPassword(password);
}

void VexUserManager::SetUserPreparedPassword(const std::string& user, const std::string& prepared) {
    if (!IsPasswordHash(prepared)) {
        Fail(im_code::kInvalidArgument, "a prepared password must be a password hash");
    }
    m_db.Write([&](Connection& db) {
        db.Prepare("UPDATE vex_user SET PasswordHash = ? WHERE UserID = ?")
            .Bind(1, prepared)
            .Bind(2, RequireUser(db, user))
            .Run();
    });
}

void VexUserManager::DeleteUser(const std::string& user) {
    m_db.Write([&](Connection& db) {
        db.Prepare("DELETE FROM vex_user WHERE UserID = ?").Bind(1, RequireUser(db, user)).Run();
    });
}

bool VexUserManager::IsUserExist(const std::string& user) {
    return m_db.Read([&](Connection& db) { return FindUser(db, user).has_value(); });
}

std::string VexUserManager::GetAccountName(const std::string& user) {
    return m_db.Read([&](Connection& db) {
        auto stmt = db.Prepare("SELECT Account FROM vex_user WHERE UserID = ?");
        stmt.Bind(1, RequireUser(db, user));
        stmt.Step();
        return stmt.Text(0);
    });
}

UserBasicInfo VexUserManager::GetUserBasicInfo(const std::string& user) {
    return m_db.Read([&](Connection& db) {
        auto stmt = db.Prepare(
            "SELECT Name, Gender, Mobile, Email, Phone, Auth FROM vex_user WHERE UserID = ?");
        stmt.Bind(1, RequireUser(db, user));
        stmt.Step();
        UserBasicInfo info;
        info.name = stmt.Text(0);
        info.gender = static_cast<int>(stmt.Int(1));
        info.mobile = stmt.Text(2);
        info.email = stmt.Text(3);
        info.phone = stmt.Text(4);
        info.auth = static_cast<int32_t>(stmt.Int(5));
        return info;
    });
}

void VexUserManager::SetUserBasicInfo(const std::string& user, const std::string& name, int gender,
                                      const std::string& mobile, const std::string& email,
                                      const std::string& phone, int32_t auth) {
    CheckText("name", name);
    CheckText("mobile", mobile);
    CheckText("email", email);
    CheckText("phone", phone);
    m_db.Write([&](Connection& db) {
        db.Prepare(
              "UPDATE vex_user SET Name = ?, Gender = ?, Mobile = ?, Email = ?, Phone = ?, "
              "Auth = ? WHERE UserID = ?")
            .Bind(1, name)
            .Bind(2, gender)
            .Bind(3, mobile)
            .Bind(4, email)
            .Bind(5, phone)
            .Bind(6, static_cast<int64_t>(auth))
            .Bind(7, RequireUser(db, user))
            .Run();
    });
}

int64_t VexUserManager::GetUserUin(const std::string& user) {
    return m_db.Read([&](Connection& db) {
        auto stmt = db.Prepare("SELECT Uin FROM vex_user WHERE UserID = ?");
        stmt.Bind(1, RequireUser(db, user));
        stmt.Step();
        return stmt.Int(0);
    });
}

UserDetail VexUserManager::GetUserDetail(const std::string& user) {
    return m_db.Read([&](Connection& db) {
        auto stmt = db.Prepare(kDetailColumns);
        stmt.Bind(1, RequireUser(db, user));
        stmt.Step();
        return ReadDetail(stmt);
    });
}

UserRecord VexUserManager::GetUserRecord(const std::string& user) {
    return m_db.ReadUserRecord(user, [&](Connection& db) {
        auto stmt = db.Prepare(kRecordColumns);
        stmt.Bind(1, RequireUser(db, user));
        stmt.Step();
        UserRecord record;
        record.detail = ReadDetail(stmt);
        record.basic.name = stmt.Text(14);
        record.basic.gender = static_cast<int>(stmt.Int(15));
        record.basic.mobile = stmt.Text(16);
        record.basic.email = stmt.Text(17);
        record.basic.phone = stmt.Text(18);
        record.basic.auth = static_cast<int32_t>(stmt.Int(19));
        record.uin = stmt.Int(20);
        return record;
    });
}

void VexUserManager::SetUserDetail(const std::string& user, const UserDetail& detail) {
    for (const std::string& text : detail.texts) CheckText("detail text", text);
    m_db.Write([&](Connection& db) {
        auto stmt = db.Prepare(
            "UPDATE vex_user SET Detail1 = ?, Detail2 = ?, Detail3 = ?, DetailText1 = ?, "
            "DetailText2 = ?, DetailText3 = ?, DetailText4 = ?, DetailText5 = ?, "
            "DetailText6 = ?, DetailText7 = ?, DetailText8 = ?, DetailText9 = ?, "
            "DetailText10 = ?, DetailLevel = ? WHERE UserID = ?");
        for (int i = 0; i < 3; ++i) stmt.Bind(1 + i, static_cast<int64_t>(detail.leading[i]));
        for (int i = 0; i < 10; ++i) stmt.Bind(4 + i, detail.texts[i]);
        stmt.Bind(14, static_cast<int64_t>(detail.trailing));
        stmt.Bind(15, RequireUser(db, user));
        stmt.Run();
    });
}

int16_t VexUserManager::VerifyPassword(const std::string& user, const std::string& password) {
    auto hash = m_db.Read([&](Connection& db) -> std::optional<std::string> {
        auto stmt = db.Prepare("SELECT PasswordHash FROM vex_user WHERE Account = ?");
        stmt.Bind(1, user);
        if (!stmt.Step()) return std::nullopt;
        return stmt.Text(0);
    });
    if (!hash) {
        // An unknown account takes the time of a known one, so that the
        // answer's time does not tell which accounts exist.
        VerifyPasswordHash(DummyPasswordHash(), password);
        return 2;
    }
    return VerifyPasswordHash(*hash, password) ? 0 : 1;
}

}  // namespace warden::vexdir
