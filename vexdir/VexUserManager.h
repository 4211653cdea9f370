// The directory's users (ImUserManager): accounts with a unique uin, an
// Argon2id password hash, basic data and the detail record. Accounts compare
// without regard to ASCII case. A new user holds the role "User". Every
// failure throws ImError and leaves the directory unchanged. Thread-safe.
#pragma once

#include "directory/ImSdk.h"
#include "vexdir/VexDatabase.h"

namespace warden::vexdir {

class VexUserManager final : public ImUserManager {
  public:
    explicit VexUserManager(VexDatabase& db) : m_db(db) {}

    // `number`: the uin to give the user, or 0 (or less) for the next free one.
    // A uin already held fails like an account already taken.
    void AddUser(const std::string& user, int number) override;
    void SetUserPassword(const std::string& user, const std::string& password) override;
    // The Argon2id hash of `password`.
    std::string PreparePassword(const std::string& password) override;
    // Refuses (kInvalidArgument) anything that is not such a hash, so that a
    // plain password can never be stored by mistake.
    void SetUserPreparedPassword(const std::string& user, const std::string& prepared) override;
    // Also takes the user out of every department and role.
    void DeleteUser(const std::string& user) override;
    bool IsUserExist(const std::string& user) override;
    std::string GetAccountName(const std::string& user) override;
    UserBasicInfo GetUserBasicInfo(const std::string& user) override;
    void SetUserBasicInfo(const std::string& user, const std::string& name, int gender,
                          const std::string& mobile, const std::string& email,
                          const std::string& phone, int32_t auth) override;
    int64_t GetUserUin(const std::string& user) override;
    UserDetail GetUserDetail(const std::string& user) override;
    UserRecord GetUserRecord(const std::string& user) override;
    void SetUserDetail(const std::string& user, const UserDetail& detail) override;
    // Reads the trigram index (see Schema.h) in one read transaction.
    void SearchUsers(const std::string& text, const UserMatchVisitor& visit) override;

    // 0 when `password` is the user's; 1 when it is not (or none was set);
    // 2 when there is no such user.
    int16_t VerifyPassword(const std::string& user, const std::string& password);

  private:
    VexDatabase& m_db;
};

}  // namespace warden::vexdir
