// Throw-away certificates for tests, made with OpenSSL in memory: a CA of the
// test's own, certificates it signs for given names, and self-signed ones
// such as a server makes for itself. Keys are ECDSA P-256.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace warden::test {

struct TestIdentity {
    std::string certificatePem;
    std::string keyPem;
    std::string fingerprint;  // SHA-256, as the console shows it

    // Writes both PEM files (the key readable by the owner only).
    void Write(const std::filesystem::path& certificate, const std::filesystem::path& key) const;
};

// `names` go into the subject alternative names: dotted IPv4 addresses as
// addresses, anything else as host names.
TestIdentity MakeSelfSigned(const std::vector<std::string>& names);

class TestCa {
  public:
    TestCa();
    ~TestCa();
    TestCa(const TestCa&) = delete;
    TestCa& operator=(const TestCa&) = delete;

    // The CA's certificate, for a trust store (SSL_CERT_FILE).
    const std::string& CertificatePem() const { return m_self.certificatePem; }
    TestIdentity Issue(const std::vector<std::string>& names) const;

  private:
    struct Keys;
    std::unique_ptr<Keys> m_keys;
    TestIdentity m_self;
};

}  // namespace warden::test
