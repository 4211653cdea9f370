// The server's registration on LDAP (ImApplication). The directory has no
// registry of applications: the registration is kept here, and Register
// checks instead that the directory is reachable with the settings, holds
// BASE_DN and Warden's schema, and makes what Warden keeps there (the
// container and the built-in roles) when missing.
//
// Thread-safe.
#pragma once

#include <mutex>
#include <string>

#include "directory/ImSdk.h"
#include "ldapdir/LdapTree.h"

namespace warden::ldapdir {

class LdapApplication final : public ImApplication {
  public:
    explicit LdapApplication(LdapTree& tree) : m_tree(tree) {}

    void SetServerAddress(const std::string& address) override;
    void SetServerPort(int port) override;
    void SetAppGuid(const std::string& guid) override;
    void SetAppName(const std::string& name) override;
    void SetProgId(const std::string& progId) override;
    void SetReceiverName(const std::string& name) override;
    void SetOptionNumber1(int value) override;
    void SetOptionNumber2(int value) override;
    void SetOptionText1(const std::string& value) override;
    void SetOptionText2(const std::string& value) override;
    void SetOptionText3(const std::string& value) override;
    void SetOptionText4(const std::string& value) override;
    void SetOptionText5(const std::string& value) override;
    // REQUIRES: a GUID and a name were set (else ImError kInvalidArgument).
    // Fails with kUnreachable when the directory cannot be reached or
    // refuses the bind, and with the directory's reason otherwise.
    void Register() override;
    // Fails unless the application with the current GUID is registered.
    void Start(const std::string& value, int timeoutMs) override;

  private:
    LdapTree& m_tree;
    std::mutex m_mutex;
    std::string m_guid;
    std::string m_name;
    std::string m_registeredGuid;
};

}  // namespace warden::ldapdir
