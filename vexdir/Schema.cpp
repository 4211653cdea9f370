#include "vexdir/Schema.h"

#include <string>

namespace warden::vexdir {

namespace {

constexpr int kSchemaVersion = 2;

constexpr const char kCreateTables[] = R"sql(
CREATE TABLE vex_meta(
  Key TEXT PRIMARY KEY,
  Value INTEGER NOT NULL
);
CREATE TABLE vex_dept(
  DeptID INTEGER PRIMARY KEY,
  PDeptID INTEGER NOT NULL DEFAULT 0,
  DeptName TEXT NOT NULL COLLATE NOCASE,
  SortID INTEGER NOT NULL DEFAULT 0
);
CREATE UNIQUE INDEX vex_dept_by_name ON vex_dept(PDeptID, DeptName);
-- Covers the children listing, the busiest query: no table lookups.
CREATE INDEX vex_dept_by_order ON vex_dept(PDeptID, SortID, DeptID, DeptName);
CREATE TABLE vex_user(
  UserID INTEGER PRIMARY KEY,
  Account TEXT NOT NULL UNIQUE COLLATE NOCASE,
  Uin INTEGER NOT NULL UNIQUE,
  PasswordHash TEXT NOT NULL DEFAULT '',
  Name TEXT NOT NULL DEFAULT '',
  Gender INTEGER NOT NULL DEFAULT 0,
  Mobile TEXT NOT NULL DEFAULT '',
  Email TEXT NOT NULL DEFAULT '',
  Phone TEXT NOT NULL DEFAULT '',
  Auth INTEGER NOT NULL DEFAULT 0,
  Detail1 INTEGER NOT NULL DEFAULT 0,
  Detail2 INTEGER NOT NULL DEFAULT 0,
  Detail3 INTEGER NOT NULL DEFAULT 0,
  DetailText1 TEXT NOT NULL DEFAULT '',
  DetailText2 TEXT NOT NULL DEFAULT '',
  DetailText3 TEXT NOT NULL DEFAULT '',
  DetailText4 TEXT NOT NULL DEFAULT '',
  DetailText5 TEXT NOT NULL DEFAULT '',
  DetailText6 TEXT NOT NULL DEFAULT '',
  DetailText7 TEXT NOT NULL DEFAULT '',
  DetailText8 TEXT NOT NULL DEFAULT '',
  DetailText9 TEXT NOT NULL DEFAULT '',
  DetailText10 TEXT NOT NULL DEFAULT '',
  DetailLevel INTEGER NOT NULL DEFAULT 0
);
CREATE TABLE vex_dept_user(
  MemberID INTEGER PRIMARY KEY,
  DeptID INTEGER NOT NULL REFERENCES vex_dept(DeptID) ON DELETE CASCADE,
  UserID INTEGER NOT NULL REFERENCES vex_user(UserID) ON DELETE CASCADE,
  UNIQUE(DeptID, UserID)
);
CREATE INDEX vex_dept_user_by_dept ON vex_dept_user(DeptID, MemberID, UserID);
CREATE INDEX vex_dept_user_by_user ON vex_dept_user(UserID, MemberID, DeptID);
CREATE TABLE vex_role(
  RoleID INTEGER PRIMARY KEY,
  RoleName TEXT NOT NULL UNIQUE COLLATE NOCASE,
  Description TEXT NOT NULL DEFAULT '',
  BuiltIn INTEGER NOT NULL DEFAULT 0
);
CREATE TABLE vex_user_role(
  UserID INTEGER NOT NULL REFERENCES vex_user(UserID) ON DELETE CASCADE,
  RoleID INTEGER NOT NULL REFERENCES vex_role(RoleID) ON DELETE CASCADE,
  PRIMARY KEY(UserID, RoleID)
) WITHOUT ROWID;
CREATE INDEX vex_user_role_by_role ON vex_user_role(RoleID);
CREATE TABLE vex_right(
  RightID INTEGER PRIMARY KEY,
  Identity TEXT NOT NULL UNIQUE,
  Name TEXT NOT NULL,
  DefaultAllow INTEGER NOT NULL
);
CREATE TABLE vex_role_right(
  RoleID INTEGER NOT NULL REFERENCES vex_role(RoleID) ON DELETE CASCADE,
  RightID INTEGER NOT NULL REFERENCES vex_right(RightID) ON DELETE CASCADE,
  Deny INTEGER NOT NULL DEFAULT 0,
  Allow INTEGER NOT NULL DEFAULT 0,
  PRIMARY KEY(RoleID, RightID)
) WITHOUT ROWID;
CREATE TABLE vex_application(
  AppGuid TEXT PRIMARY KEY COLLATE NOCASE,
  AppName TEXT NOT NULL,
  ProgId TEXT NOT NULL DEFAULT '',
  ReceiverName TEXT NOT NULL DEFAULT '',
  ServerAddress TEXT NOT NULL DEFAULT '',
  ServerPort INTEGER NOT NULL DEFAULT 0,
  OptionNumber1 INTEGER NOT NULL DEFAULT 0,
  OptionNumber2 INTEGER NOT NULL DEFAULT 0,
  OptionText1 TEXT NOT NULL DEFAULT '',
  OptionText2 TEXT NOT NULL DEFAULT '',
  OptionText3 TEXT NOT NULL DEFAULT '',
  OptionText4 TEXT NOT NULL DEFAULT '',
  OptionText5 TEXT NOT NULL DEFAULT '',
  RegisteredAt INTEGER NOT NULL,
  StartedAt INTEGER,
  StartValue TEXT,
  StartTimeoutMs INTEGER
);
)sql";

// Version 2: the search index of users (see Schema.h). The triggers keep it in
// step inside the transaction of every change to vex_user, whichever
// connection or program makes it, so it can never lag behind the table.
constexpr const char kAddSearchIndex[] = R"sql(
CREATE VIRTUAL TABLE vex_user_search USING fts5(
  Text, tokenize = 'trigram case_sensitive 1');
CREATE VIRTUAL TABLE vex_user_search_terms USING fts5vocab(vex_user_search, row);
CREATE TRIGGER vex_user_search_add AFTER INSERT ON vex_user BEGIN
  INSERT INTO vex_user_search(rowid, Text) VALUES(new.UserID,
    lower(new.Account) || char(31) || lower(new.Name) || char(31) || lower(new.Mobile) ||
    char(31) || lower(new.Phone) || char(31) || lower(new.Email) || char(31));
END;
CREATE TRIGGER vex_user_search_change
AFTER UPDATE OF UserID, Account, Name, Mobile, Phone, Email ON vex_user BEGIN
  DELETE FROM vex_user_search WHERE rowid = old.UserID;
  INSERT INTO vex_user_search(rowid, Text) VALUES(new.UserID,
    lower(new.Account) || char(31) || lower(new.Name) || char(31) || lower(new.Mobile) ||
    char(31) || lower(new.Phone) || char(31) || lower(new.Email) || char(31));
END;
CREATE TRIGGER vex_user_search_remove AFTER DELETE ON vex_user BEGIN
  DELETE FROM vex_user_search WHERE rowid = old.UserID;
END;
INSERT INTO vex_user_search(rowid, Text)
  SELECT UserID, lower(Account) || char(31) || lower(Name) || char(31) || lower(Mobile) ||
    char(31) || lower(Phone) || char(31) || lower(Email) || char(31) FROM vex_user;
)sql";

int UserVersion(sqlite::Connection& connection) {
    auto stmt = connection.Prepare("PRAGMA user_version");
    return stmt.Step() ? static_cast<int>(stmt.Int(0)) : 0;
}

void Seed(sqlite::Connection& connection) {
    connection.Prepare("INSERT INTO vex_meta(Key, Value) VALUES('NextUin', ?)")
        .Bind(1, kFirstUin)
        .Run();
    for (size_t i = 0; i < kRights.size(); ++i) {
        connection
            .Prepare(
                "INSERT INTO vex_right(RightID, Identity, Name, DefaultAllow) VALUES(?, ?, ?, ?)")
            .Bind(1, static_cast<int64_t>(i + 1))
            .Bind(2, kRights[i].identity)
            .Bind(3, kRights[i].name)
            .Bind(4, kRights[i].defaultAllow ? 1 : 0)
            .Run();
    }
    connection.Prepare("INSERT INTO vex_role(RoleName, Description, BuiltIn) VALUES(?, ?, 1)")
        .Bind(1, kRoleUser)
        .Bind(2, kRoleUserDescription)
        .Run();
    connection.Prepare("INSERT INTO vex_role(RoleName, Description, BuiltIn) VALUES(?, ?, 1)")
        .Bind(1, kRoleAdministrator)
        .Bind(2, kRoleAdministratorDescription)
        .Run();
    // "User" starts with each right's default; administrators may do everything.
    connection.Exec(
        "INSERT INTO vex_role_right(RoleID, RightID, Deny, Allow) "
        "SELECT r.RoleID, g.RightID, 1 - g.DefaultAllow, g.DefaultAllow "
        "FROM vex_role r, vex_right g WHERE r.RoleName = 'User';"
        "INSERT INTO vex_role_right(RoleID, RightID, Deny, Allow) "
        "SELECT r.RoleID, g.RightID, 0, 1 FROM vex_role r, vex_right g WHERE r.BuiltIn = 1 "
        "AND r.RoleName <> 'User';");
}

}  // namespace

void EnsureSchema(sqlite::Connection& connection) {
    sqlite::Transaction transaction(connection, sqlite::Transaction::Kind::kImmediate);
    int version = UserVersion(connection);
    if (version == kSchemaVersion) return;
    if (version > kSchemaVersion) {
        throw sqlite::Error(SQLITE_ERROR, "the directory database was made by a newer version (" +
                                              std::to_string(version) + ")");
    }
    if (version == 0) {
        connection.Exec(kCreateTables);
        Seed(connection);
    }
    // A directory of version 1 gets the index of the users it already has.
    connection.Exec(kAddSearchIndex);
    connection.Exec("PRAGMA user_version = 2");
    transaction.Commit();
}

}  // namespace warden::vexdir
