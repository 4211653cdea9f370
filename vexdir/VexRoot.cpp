#include "vexdir/VexRoot.h"

#include "vexdir/Names.h"

namespace warden::vexdir {

namespace {

class VexUnitOfWork final : public ImUnitOfWork {
  public:
    explicit VexUnitOfWork(VexDatabase& db) : m_unit(db) {}
    void Commit() override { m_unit.Commit(); }

  private:
    VexDatabase::Unit m_unit;
};

}  // namespace

VexRoot::VexRoot(const std::filesystem::path& databaseFile, Durability durability)
    : m_db(databaseFile, durability),
      m_depts(m_db),
      m_users(m_db),
      m_roles(m_db),
      m_application(m_db) {}

void VexRoot::SetServerAddress(const std::string& address) {
    CheckText("server address", address);
    std::lock_guard lock(m_mutex);
    m_serverAddress = address;
}

void VexRoot::SetServerPort(int port) {
    if (port < 0 || port > 65535) {
        throw ImError(im_code::kInvalidArgument, kErrorSource,
                      "port " + std::to_string(port) + " is out of range");
    }
    std::lock_guard lock(m_mutex);
    m_serverPort = port;
}

std::unique_ptr<ImUnitOfWork> VexRoot::BeginUnitOfWork() {
    return std::make_unique<VexUnitOfWork>(m_db);
}

int16_t VexRoot::VerifyPassword(const std::string& user, const std::string& password) {
    return m_users.VerifyPassword(user, password);
}

std::string VexRoot::GetRightInfo(const std::string& right) {
    return m_roles.GetRightInfo(right);
}

}  // namespace warden::vexdir
