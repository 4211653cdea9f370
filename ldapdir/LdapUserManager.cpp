#include "ldapdir/LdapUserManager.h"

#include <ldap.h>

#include "directory/TextRules.h"
#include "ldapdir/UserSearch.h"

namespace warden::ldapdir {

namespace {

UserBasicInfo BasicOf(const UserState& user) {
    UserBasicInfo info;
    info.name = user.name;
    info.gender = user.gender;
    info.mobile = user.mobile;
    info.email = user.email;
    info.phone = user.phone;
    info.auth = user.auth;
    return info;
}

UserDetail DetailOf(const UserState& user) {
    UserDetail detail;
    detail.Position() = user.position;
    detail.Level() = user.level;
    return detail;
}

}  // namespace

void LdapUserManager::AddUser(const std::string& user, int number) {
    CheckName(kErrorSource, "account", user);
    m_users.Create(user, number);
}

void LdapUserManager::SetUserPassword(const std::string& user, const std::string& password) {
    SetUserPreparedPassword(user, PreparePassword(password));
}

std::string LdapUserManager::PreparePassword(const std::string& password) {
    return password;
}

void LdapUserManager::SetUserPreparedPassword(const std::string& user,
                                              const std::string& prepared) {
    if (prepared.empty()) {
        throw ImError(im_code::kInvalidArgument, kErrorSource, "a password must not be empty");
    }
    m_users.Change(user, [&](UserState& state) { state.password = prepared; });
}

void LdapUserManager::DeleteUser(const std::string& user) {
    m_users.Delete(user);
}

bool LdapUserManager::IsUserExist(const std::string& user) {
    return m_users.Exists(user);
}

std::string LdapUserManager::GetAccountName(const std::string& user) {
    return m_users.Get(user).account;
}

UserBasicInfo LdapUserManager::GetUserBasicInfo(const std::string& user) {
    return BasicOf(m_users.Get(user));
}

void LdapUserManager::SetUserBasicInfo(const std::string& user, const std::string& name, int gender,
                                       const std::string& mobile, const std::string& email,
                                       const std::string& phone, int32_t auth) {
    CheckText(kErrorSource, "name", name);
    CheckText(kErrorSource, "mobile", mobile);
    CheckText(kErrorSource, "email", email);
    CheckText(kErrorSource, "phone", phone);
    m_users.Change(user, [&](UserState& state) {
        state.name = name;
        state.gender = gender;
        state.mobile = mobile;
        state.email = email;
        state.phone = phone;
        state.auth = auth;
    });
}

int64_t LdapUserManager::GetUserUin(const std::string& user) {
    return m_users.Get(user).uin;
}

UserDetail LdapUserManager::GetUserDetail(const std::string& user) {
    return DetailOf(m_users.Get(user));
}

void LdapUserManager::SetUserDetail(const std::string& user, const UserDetail& detail) {
    for (const std::string& text : detail.texts) CheckText(kErrorSource, "detail text", text);
    m_users.Change(user, [&](UserState& state) {
        state.position = detail.texts[9];
        state.level = detail.trailing;
    });
}

UserRecord LdapUserManager::GetUserRecord(const std::string& user) {
    const UserState state = m_users.Get(user);
    UserRecord record;
    record.basic = BasicOf(state);
    record.uin = state.uin;
    record.detail = DetailOf(state);
    return record;
}

void LdapUserManager::SearchUsers(const std::string& text, const UserMatchVisitor& visit) {
    ldapdir::SearchUsers(m_tree, text, visit);
}

int16_t LdapUserManager::VerifyPassword(const std::string& user, const std::string& password) {
    m_tree.Ready();
    std::optional<LdapEntry> entry;
    try {
        entry = m_tree.FindUser(user, {});
    } catch (const ImError& e) {
        // Two entries of one account: neither may log in as the account.
        if (e.Code() != im_code::kFail) throw;
    }
    // An unknown account binds as an entry whose password nobody knows,
    // hashed by the directory's own policy like every user's.
    const std::string dn = entry ? entry->dn : m_tree.DecoyDn();
    const std::string tried = password.empty() ? std::string(1, '\0') : password;
    const int rc =
        m_tree.Binds().Run([&](LdapConnection& ldap) { return ldap.Bind(dn, tried); }, true);
    if (!entry) return 2;
    if (password.empty()) return 1;
    return rc == LDAP_SUCCESS ? 0 : 1;
}

}  // namespace warden::ldapdir
