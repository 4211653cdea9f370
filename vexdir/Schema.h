// The directory database's schema, seeded with what every new directory
// starts with (directory/BuiltIns.h).
//
// Tables (the department table keeps the names and columns that the
// department-ordering side reads through ODBC):
//   vex_dept(DeptID, PDeptID, DeptName, SortID)       PDeptID 0 = top level
//   vex_user(UserID, Account, Uin, PasswordHash, Name, Gender, Mobile, Email,
//            Phone, Auth, Detail1..3, DetailText1..10, DetailLevel)
//   vex_dept_user(MemberID, DeptID, UserID)           memberships
//   vex_role(RoleID, RoleName, Description, BuiltIn)
//   vex_user_role(UserID, RoleID)
//   vex_right(RightID, Identity, Name, DefaultAllow)
//   vex_role_right(RoleID, RightID, Deny, Allow)
//   vex_application(AppGuid, ...)                     registrations
//   vex_meta(Key, Value)                              next uin
//   vex_user_search(Text)                             FTS5 trigram index, rowid
//            = UserID: account, name, mobile, phone, e-mail, ASCII letters in
//            lower case, each followed by char(31) (no field holds it, so no
//            match spans two fields, and every two characters of a field
//            start a trigram); kept by triggers on vex_user
//   vex_user_search_terms                             its trigrams (fts5vocab)
// Names of departments, users and roles compare without regard to ASCII case.
#pragma once

#include "directory/BuiltIns.h"
#include "vexdir/Sqlite.h"

namespace warden::vexdir {

// Creates the tables, indexes and built-in rows when they are missing; a
// database of the current schema is left as it is. Refuses a database that
// holds a newer schema than this build knows.
void EnsureSchema(sqlite::Connection& connection);

}  // namespace warden::vexdir
