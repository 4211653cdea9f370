// Users on LDAP (ImUserManager). Accounts compare without regard to case, as
// the directory compares uid. Passwords are set with the Password Modify
// extended operation, so the directory hashes them by its own policy and
// Warden keeps no form of them: PreparePassword hands the password on
// unchanged. Of the detail record the directory keeps the position and the
// level; its other fields read as 0 and empty and are not stored.
//
// Thread-safe.
#pragma once

#include "directory/ImSdk.h"
#include "ldapdir/LdapTree.h"
#include "ldapdir/UserStore.h"

namespace warden::ldapdir {

class LdapUserManager final : public ImUserManager {
  public:
    LdapUserManager(LdapTree& tree, UserStore& users) : m_tree(tree), m_users(users) {}

    // The new user holds the role "User" and is in no department.
    void AddUser(const std::string& user, int number) override;
    void SetUserPassword(const std::string& user, const std::string& password) override;
    std::string PreparePassword(const std::string& password) override;
    void SetUserPreparedPassword(const std::string& user, const std::string& prepared) override;
    void DeleteUser(const std::string& user) override;
    bool IsUserExist(const std::string& user) override;
    // The uid as the entry holds it.
    std::string GetAccountName(const std::string& user) override;
    UserBasicInfo GetUserBasicInfo(const std::string& user) override;
    void SetUserBasicInfo(const std::string& user, const std::string& name, int gender,
                          const std::string& mobile, const std::string& email,
                          const std::string& phone, int32_t auth) override;
    int64_t GetUserUin(const std::string& user) override;
    UserDetail GetUserDetail(const std::string& user) override;
    void SetUserDetail(const std::string& user, const UserDetail& detail) override;
    UserRecord GetUserRecord(const std::string& user) override;
    // See UserSearch.h.
    void SearchUsers(const std::string& text, const UserMatchVisitor& visit) override;

    // A bind as the user: 0 when the directory accepts the password, 1 when
    // not (an empty password included, which LDAP would take for an
    // anonymous bind), 2 for no such user, after a bind that costs the
    // directory what a wrong password does, so that the answer's time does
    // not tell whether the account exists.
    int16_t VerifyPassword(const std::string& user, const std::string& password);

  private:
    LdapTree& m_tree;
    UserStore& m_users;
};

}  // namespace warden::ldapdir
