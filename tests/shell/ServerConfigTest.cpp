#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "protocol/GbkCodec.h"
#include "server/shell/ServerConfig.h"

namespace warden {
namespace {

class ServerConfigTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_dir = std::filesystem::temp_directory_path() /
                ("warden-cfg-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_dir);
        m_file = m_dir / "server.cfg";
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }
    void Write(const std::string& text) { std::ofstream(m_file) << text; }
    std::filesystem::path m_dir, m_file;
};

TEST_F(ServerConfigTest, MissingFileGivesTheDefaults) {
    ServerConfig c = LoadServerConfig(m_file);
    EXPECT_EQ(c.imAddress, "127.0.0.1");
    EXPECT_EQ(c.imPort, "8006");
    EXPECT_EQ(c.listenPort, "8800");
    EXPECT_TRUE(c.requireLogin);
    EXPECT_EQ(c.maxRequest, 1u << 20);
}

TEST_F(ServerConfigTest, SectionsAndKeysIgnoreCaseAndBadNumbersKeepDefaults) {
    Write(
        "[vex_server]\nip_address=10.0.0.9\n[Listen_Port]\nPort=9900\n"
        "[SERVER]\nWORKERS=zero\nMAX_REQUEST=4096\n[SECURITY]\nREQUIRE_LOGIN=0\n");
    ServerConfig c = LoadServerConfig(m_file);
    EXPECT_EQ(c.imAddress, "10.0.0.9");
    EXPECT_EQ(c.listenPort, "9900");
    EXPECT_EQ(c.imPort, "8006");
    EXPECT_EQ(c.workers, ServerConfig{}.workers);
    EXPECT_EQ(c.maxRequest, 4096u);
    EXPECT_FALSE(c.requireLogin);
}

TEST_F(ServerConfigTest, ThrottleAndAuditSettingsTakeZeroOnlyWhereItMeansSomething) {
    Write(
        "[SECURITY]\nLOGIN_FAILURES=0\nLOCKOUT_SECONDS=60\nHASH_THREADS=4\nHASH_QUEUE=x\n"
        "[audit]\nkeep_days=0\n");
    ServerConfig c = LoadServerConfig(m_file);
    EXPECT_EQ(c.loginFailures, 5) << "a lock after no failure at all would lock everybody";
    EXPECT_EQ(c.lockoutSeconds, 60);
    EXPECT_EQ(c.hashThreads, 4u);
    EXPECT_EQ(c.hashQueue, ServerConfig{}.hashQueue);
    EXPECT_EQ(c.auditKeepDays, 0) << "0 keeps every entry";
    Write("[AUDIT]\nKEEP_DAYS=-1\n");
    EXPECT_EQ(LoadServerConfig(m_file).auditKeepDays, 365);
}

TEST_F(ServerConfigTest, SessionTimesTakeFractionsAndZeroForNoLimit) {
    using namespace std::chrono_literals;
    ServerConfig c = LoadServerConfig(m_file);
    EXPECT_EQ(c.sessionIdle, 60min);
    EXPECT_EQ(c.sessionLifetime, 12h);
    EXPECT_EQ(c.trustedDays, 30);
    EXPECT_EQ(c.maxSessionsPerAccount, 8u);
    Write(
        "[SECURITY]\nIDLE_MINUTES=0.5\nSESSION_HOURS=0\nTRUSTED_DAYS=0\n"
        "MAX_SESSIONS_PER_ACCOUNT=-2\n");
    c = LoadServerConfig(m_file);
    EXPECT_EQ(c.sessionIdle, 30s);
    EXPECT_EQ(c.sessionLifetime, 0ms);
    EXPECT_EQ(c.trustedDays, 0);
    EXPECT_EQ(c.maxSessionsPerAccount, 8u);
    Write("[SECURITY]\nIDLE_MINUTES=-1\nSESSION_HOURS=1e9\n");
    c = LoadServerConfig(m_file);
    EXPECT_EQ(c.sessionIdle, 60min);
    EXPECT_EQ(c.sessionLifetime, 12h);
}

TEST_F(ServerConfigTest, ConnectionLimitsAreReadWithSaneFloors) {
    const ServerConfig defaults;
    EXPECT_EQ(defaults.maxConnections, 1000u);
    EXPECT_EQ(defaults.backlog, 0);  // the system's maximum
    EXPECT_GE(defaults.graceMs, 100);
    Write(
        "[SERVER]\nMAX_CONNECTIONS=50\nMAX_ANONYMOUS=0\nANONYMOUS_IDLE_MS=2500\nBACKLOG=99999\n"
        "ARRIVAL_MS=-3\nGRACE_MS=20\nWRITE_STALL_MS=99999999999\n");
    ServerConfig c = LoadServerConfig(m_file);
    EXPECT_EQ(c.maxConnections, 50u);
    EXPECT_EQ(c.maxAnonymous, defaults.maxAnonymous);  // zero keeps the default
    EXPECT_EQ(c.anonymousIdleMs, 2500);
    EXPECT_EQ(c.backlog, 65535);
    EXPECT_EQ(c.arrivalMs, defaults.arrivalMs);  // not a count
    EXPECT_EQ(c.graceMs, 100);                   // never shorter than a long request needs
    EXPECT_EQ(c.writeStallMs, 86'400'000);       // at most a day
}

TEST_F(ServerConfigTest, DirectoryAndRolesSettings) {
    ServerConfig defaults = LoadServerConfig(m_file);
    EXPECT_EQ(defaults.directoryBackend, DirectoryBackend::kVex);
    EXPECT_FALSE(defaults.rolesInStore);
    Write(
        "[directory]\nbackend=LDAP\nuri=ldaps://ldap.example.com\nbind_dn=cn=w,dc=x\n"
        "bind_password=p;w=\nbase_dn=ou=org,dc=x\nconnections=500\ntimeout_ms=-3\n"
        "ca_file=/etc/ca.pem\n[ADMIN_STORE]\nROLES_IN_STORE=1\n");
    ServerConfig c = LoadServerConfig(m_file);
    EXPECT_EQ(c.directoryBackend, DirectoryBackend::kLdap);
    EXPECT_EQ(c.ldap.uri, "ldaps://ldap.example.com");
    EXPECT_EQ(c.ldap.bindDn, "cn=w,dc=x");
    EXPECT_EQ(c.ldap.bindPassword, "p;w=");
    EXPECT_EQ(c.ldap.baseDn, "ou=org,dc=x");
    EXPECT_EQ(c.ldap.connections, 64);  // held at the most
    EXPECT_EQ(c.ldap.timeoutMs, 10'000);
    EXPECT_EQ(c.ldap.caFile, "/etc/ca.pem");
    EXPECT_TRUE(c.rolesInStore);
    Write("[DIRECTORY]\nBACKEND=ldap2\n");
    EXPECT_EQ(LoadServerConfig(m_file).directoryBackend, DirectoryBackend::kUnknown);
}

TEST_F(ServerConfigTest, AFolderInPlaceOfTheFileGivesDefaultsAndIsNotReplaced) {
    std::filesystem::create_directory(m_file);
    EXPECT_EQ(LoadServerConfig(m_file).listenPort, "8800");
    EXPECT_FALSE(SaveConnectionSettings(m_file, "10.0.0.1", "1", "2"));
    EXPECT_TRUE(std::filesystem::is_directory(m_file));
}

TEST_F(ServerConfigTest, SavingKeepsOtherSettings) {
    Write("[SECURITY]\nREQUIRE_LOGIN=0\n[VEX_SERVER]\nINSTALLDIR=/opt/vex\n");
    // The file may hold passwords: it stays as private as it was.
    std::filesystem::permissions(m_file, std::filesystem::perms::owner_read |
                                             std::filesystem::perms::owner_write |
                                             std::filesystem::perms::group_read);
    ASSERT_TRUE(SaveConnectionSettings(m_file, "192.168.0.5", "8007", "8801"));
    EXPECT_EQ(std::filesystem::status(m_file).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                  std::filesystem::perms::group_read);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir),
                            std::filesystem::directory_iterator()),
              1)
        << "a temporary file was left";
    ServerConfig c = LoadServerConfig(m_file);
    EXPECT_EQ(c.imAddress, "192.168.0.5");
    EXPECT_EQ(c.imPort, "8007");
    EXPECT_EQ(c.listenPort, "8801");
    EXPECT_FALSE(c.requireLogin);
    std::stringstream text;
    text << std::ifstream(m_file).rdbuf();
    EXPECT_NE(text.str().find("INSTALLDIR=/opt/vex"), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("IP_ADDRESS=192.168.0.5"), std::string::npos) << text.str();
}

// A packaged server.cfg is a link into /etc that the service may not write:
// a start with the same settings leaves it untouched, and a change replaces
// the file behind the link, never the link.
TEST_F(ServerConfigTest, SettingsBehindALinkStayTheAdministratorsFile) {
    const std::filesystem::path real = m_dir / "etc-server.cfg";
    const std::string edited = "; edited by hand\n[VEX_SERVER]\nIP_ADDRESS = 127.0.0.1\n"
                               "[VEX_PORT]\nPORT=8006\n[LISTEN_PORT]\nPORT=8800\n";
    std::ofstream(real) << edited;
    std::filesystem::create_symlink(real.filename(), m_file);
    const auto readReal = [&] {
        std::stringstream text;
        text << std::ifstream(real).rdbuf();
        return text.str();
    };

    ASSERT_TRUE(SaveConnectionSettings(m_file, "127.0.0.1", "8006", "8800"));
    EXPECT_EQ(readReal(), edited);

    ASSERT_TRUE(SaveConnectionSettings(m_file, "127.0.0.1", "8006", "9900"));
    EXPECT_TRUE(std::filesystem::is_symlink(m_file));
    EXPECT_EQ(LoadServerConfig(real).listenPort, "9900");
    EXPECT_NE(readReal().find("; edited by hand"), std::string::npos) << readReal();
    EXPECT_FALSE(std::filesystem::exists(m_dir / "etc-server.cfg.tmp"));
}

// A server.cfg from an older installation is GBK; it is read as such and
// written back in UTF-8 with nothing lost.
TEST_F(ServerConfigTest, AGbkFileIsReadAndRewrittenInUtf8) {
    const std::string utf8 = "[VEX_SERVER]\r\nIP_ADDRESS=10.0.0.2\r\nINSTALLDIR=/srv/即时通讯\r\n";
    Write(*Utf8ToGbk(utf8));
    EXPECT_EQ(LoadServerConfig(m_file).imInstallDir, "/srv/即时通讯");
    ASSERT_TRUE(SaveConnectionSettings(m_file, "127.0.0.1", "8006", "8800"));
    std::stringstream text;
    text << std::ifstream(m_file).rdbuf();
    EXPECT_NE(text.str().find("INSTALLDIR=/srv/即时通讯"), std::string::npos) << text.str();
    EXPECT_EQ(LoadServerConfig(m_file).imInstallDir, "/srv/即时通讯");
}

}  // namespace
}  // namespace warden
