// A server's registration with the directory as an application
// (ImApplication). The setters collect the registration; Register stores it
// under its GUID (replacing an earlier one), and Start records that the
// registered application has started. Thread-safe.
#pragma once

#include <mutex>

#include "directory/ImSdk.h"
#include "vexdir/VexDatabase.h"

namespace warden::vexdir {

class VexApplication final : public ImApplication {
  public:
    explicit VexApplication(VexDatabase& db) : m_db(db) {}

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
    // Fails with kUnreachable unless the server address is one of this
    // machine's (see LocalAddress.h).
    void Register() override;
    // Fails unless the application with the current GUID is registered.
    void Start(const std::string& value, int timeoutMs) override;

  private:
    struct Registration {
        std::string serverAddress;
        int serverPort = 0;
        std::string guid;
        std::string name;
        std::string progId;
        std::string receiverName;
        int optionNumber1 = 0;
        int optionNumber2 = 0;
        std::string optionText[5];
    };

    VexDatabase& m_db;
    std::mutex m_mutex;
    Registration m_registration;
};

}  // namespace warden::vexdir
