// The root object of the embedded directory (ImRoot): owns the database and
// the managers, all of which live as long as the root. Thread-safe.
#pragma once

#include <filesystem>
#include <memory>
#include <mutex>

#include "directory/ImSdk.h"
#include "vexdir/VexApplication.h"
#include "vexdir/VexDatabase.h"
#include "vexdir/VexDeptManager.h"
#include "vexdir/VexRoleManager.h"
#include "vexdir/VexUserManager.h"

namespace warden::vexdir {

class VexRoot final : public ImRoot {
  public:
    // Opens (creating when missing) the database file. Throws ImError.
    explicit VexRoot(const std::filesystem::path& databaseFile,
                     Durability durability = Durability::kPowerLoss);

    // The directory runs inside this process: the address and port the
    // server gives are kept, but there is no connection to make.
    void SetServerAddress(const std::string& address) override;
    void SetServerPort(int port) override;
    // One transaction of the database (VexDatabase::Unit).
    std::unique_ptr<ImUnitOfWork> BeginUnitOfWork() override;
    ImDeptManager& GetDeptManager() override { return m_depts; }
    ImUserManager& GetUserManager() override { return m_users; }
    ImRoleManager& GetRoleManager() override { return m_roles; }
    ImApplication& GetApplication() override { return m_application; }
    // 0 on a match, 1 for a wrong password (or none set), 2 for no such user.
    int16_t VerifyPassword(const std::string& user, const std::string& password) override;
    // Throws ImError(kNotFound) for an identity the directory does not know.
    std::string GetRightInfo(const std::string& right) override;

    const std::filesystem::path& DatabaseFile() const { return m_db.File(); }

  private:
    VexDatabase m_db;
    VexDeptManager m_depts;
    VexUserManager m_users;
    VexRoleManager m_roles;
    VexApplication m_application;
    std::mutex m_mutex;
    std::string m_serverAddress;
    int m_serverPort = 0;
};

}  // namespace warden::vexdir
