#include "tests/support/SlapdServer.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "ldapdir/LdapConnection.h"
#include "tests/support/ChildProcess.h"

namespace warden::test {

namespace {

using namespace std::chrono_literals;

constexpr const char kSlapd[] = "/usr/sbin/slapd";
constexpr const char kSlapadd[] = "/usr/sbin/slapadd";
constexpr const char kSuffix[] = "dc=test";
constexpr const char kRootDn[] = "cn=root,dc=test";
constexpr const char kBindDn[] = "cn=warden-bind,dc=test";

// Replaces every "{NAME}" of `text` by its value.
std::string Fill(std::string text, const std::vector<std::pair<std::string, std::string>>& values) {
    for (const auto& [name, value] : values) {
        const std::string key = "{" + name + "}";
        for (size_t at = text.find(key); at != std::string::npos; at = text.find(key, at)) {
            text.replace(at, key.size(), value);
            at += value.size();
        }
    }
    return text;
}

// The access rules and limits are what the README asks of a site for
// Warden's bind account.
constexpr const char kConfigLdif[] = R"(dn: cn=config
objectClass: olcGlobal
cn: config
olcPidFile: {DIR}/slapd.pid{TLS}

dn: cn=module{0},cn=config
objectClass: olcModuleList
cn: module{0}
olcModulePath: /usr/lib/ldap
olcModuleLoad: back_mdb

dn: cn=schema,cn=config
objectClass: olcSchemaConfig
cn: schema

include: file:///etc/ldap/schema/core.ldif

include: file:///etc/ldap/schema/cosine.ldif

include: file:///etc/ldap/schema/inetorgperson.ldif

include: file://{DIR}/warden.ldif

dn: olcDatabase={-1}frontend,cn=config
objectClass: olcDatabaseConfig
objectClass: olcFrontendConfig
olcDatabase: {-1}frontend

dn: olcDatabase={0}config,cn=config
objectClass: olcDatabaseConfig
olcDatabase: {0}config
olcAccess: to * by * none

dn: olcDatabase={1}mdb,cn=config
objectClass: olcDatabaseConfig
objectClass: olcMdbConfig
olcDatabase: {1}mdb
olcSuffix: {SUFFIX}
olcRootDN: {ROOT}
olcRootPW: {ROOTPW}
olcDbDirectory: {DIR}/data
olcDbMaxSize: 4294967296
olcDbNoSync: TRUE
olcDbIndex: objectClass eq
olcDbIndex: entryUUID,wardenDepartmentRef,wardenRoleRef,wardenUin eq
olcDbIndex: uid eq,sub
olcDbIndex: cn,displayName,mail,mobile,telephoneNumber sub
olcAccess: to dn.subtree="{SUFFIX}" attrs=userPassword
  by dn.exact="{BIND}" write
  by anonymous auth
  by * break
olcAccess: to dn.subtree="{SUFFIX}"
  by dn.exact="{BIND}" write
  by * break
olcLimits: dn.exact="{BIND}" size=unlimited time=unlimited
)";

constexpr const char kBaseLdif[] = R"(dn: {SUFFIX}
objectClass: dcObject
objectClass: organization
dc: test
o: test

dn: {BIND}
objectClass: applicationProcess
objectClass: simpleSecurityObject
cn: warden-bind
userPassword: {BINDPW}
)";

bool WriteFile(const std::filesystem::path& file, const std::string& text) {
    std::ofstream out(file);
    out << text;
    return static_cast<bool>(out);
}

}  // namespace

SlapdServer::SlapdServer(const std::filesystem::path& load, const std::optional<SlapdTls>& tls) {
    if (!Start(load, tls)) Stop();
}

SlapdServer::~SlapdServer() {
    Stop();
}

std::string SlapdServer::Uri() const {
    return "ldap://127.0.0.1:" + std::to_string(m_port);
}

std::string SlapdServer::LdapsUri() const {
    return "ldaps://127.0.0.1:" + std::to_string(m_ldapsPort);
}

std::string SlapdServer::StartTlsUri() const {
    return "ldap://" + m_startTlsHost + ":" + std::to_string(m_startTlsPort);
}

std::string SlapdServer::Listeners() const {
    std::string listeners = Uri() + "/";
    if (m_ldapsPort > 0) listeners += " " + LdapsUri() + "/ " + StartTlsUri() + "/";
    return listeners;
}

ldapdir::LdapSettings SlapdServer::RootSettings() const {
    ldapdir::LdapSettings settings;
    settings.uri = Uri();
    settings.bindDn = kRootDn;
    settings.bindPassword = m_rootPassword;
    settings.baseDn = kSuffix;
    return settings;
}

ldapdir::LdapSettings SlapdServer::CreateBase() {
    if (!Running()) throw std::runtime_error("no slapd for the test: " + m_problem);
    const std::string name = "t" + std::to_string(++m_bases);
    const std::string base = "dc=" + name + "," + kSuffix;
    ldapdir::LdapConnection root(RootSettings(), true);
    root.Add(base, {{ldapdir::LdapChange::Op::kAdd, "objectClass", {"dcObject", "organization"}},
                    {ldapdir::LdapChange::Op::kAdd, "dc", {name}},
                    {ldapdir::LdapChange::Op::kAdd, "o", {name}}});
    ldapdir::LdapSettings settings = RootSettings();
    settings.bindDn = kBindDn;
    settings.bindPassword = m_bindPassword;
    settings.baseDn = base;
    return settings;
}

bool SlapdServer::Start(const std::filesystem::path& load, const std::optional<SlapdTls>& tls) {
    if (::access(kSlapd, X_OK) != 0 || ::access(kSlapadd, X_OK) != 0) {
        m_problem = "slapd is not installed (no /usr/sbin/slapd); scripts/bootstrap installs it";
        return false;
    }
    const Account account = UnprivilegedAccount("openldap", m_problem);
    if (!m_problem.empty()) return false;

    m_dir = MakeServerFolder("warden-slapd", m_problem);
    if (m_dir.empty()) return false;
    m_rootPassword = RandomPassword();
    m_bindPassword = RandomPassword();
    std::error_code ec;
    std::filesystem::create_directories(m_dir / "config", ec);
    std::filesystem::create_directories(m_dir / "data", ec);
    std::filesystem::copy_file(std::filesystem::path(WARDEN_SCHEMA_DIR) / "warden.ldif",
                               m_dir / "warden.ldif", ec);
    std::string tlsConfig;
    std::vector<const char*> files = {"",         "config", "data", "warden.ldif", "config.ldif",
                                      "base.ldif"};
    if (tls) {
        tls->identity.Write(m_dir / "server.pem", m_dir / "server.key");
        tlsConfig = "\nolcTLSCertificateFile: " + (m_dir / "server.pem").string() +
                    "\nolcTLSCertificateKeyFile: " + (m_dir / "server.key").string();
        files.insert(files.end(), {"server.pem", "server.key"});
        m_startTlsHost = tls->startTlsHost;
    }
    const std::vector<std::pair<std::string, std::string>> values = {
        {"DIR", m_dir.string()},    {"SUFFIX", kSuffix}, {"ROOT", kRootDn},
        {"ROOTPW", m_rootPassword}, {"BIND", kBindDn},   {"BINDPW", m_bindPassword},
        {"TLS", tlsConfig}};
    if (ec || !WriteFile(m_dir / "config.ldif", Fill(kConfigLdif, values)) ||
        !WriteFile(m_dir / "base.ldif", Fill(kBaseLdif, values))) {
        m_problem = "cannot write the server's files into " + m_dir.string();
        return false;
    }
    for (const char* part : files) {
        if (!HandTo(m_dir / part, account)) {
            m_problem = "cannot hand " + m_dir.string() + " to the account \"openldap\"";
            return false;
        }
    }
    const std::filesystem::path log = m_dir / "log";
    const int logFd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (logFd < 0) {
        m_problem = "cannot create " + log.string();
        return false;
    }

    const std::string config = (m_dir / "config").string();
    std::vector<std::vector<std::string>> loads = {
        {kSlapadd, "-n0", "-F", config, "-l", (m_dir / "config.ldif").string()},
        {kSlapadd, "-n1", "-F", config, "-l", (m_dir / "base.ldif").string()},
    };
    // Quick mode: a file made by a program needs none of slapadd's checks.
    if (!load.empty()) loads.push_back({kSlapadd, "-q", "-n1", "-F", config, "-l", load.string()});
    for (const auto& step : loads) {
        const int pid = Spawn(step, account, logFd, SIGKILL);
        const int exit = pid < 0 ? -1 : WaitExit(pid);
        if (exit != 0) {
            ::close(logFd);
            m_problem = exit == 126 ? "cannot switch to the account \"openldap\""
                        : exit == 127
                            ? std::string("cannot run ") + kSlapadd
                            : "slapadd failed (" + std::to_string(exit) + "): " + ReadTail(log);
            return false;
        }
    }

    // A port found free may be taken before the server binds it: then the
    // server exits at once, and another port is tried.
    std::string lastError;
    bool ready = false;
    for (int attempt = 0; attempt < 3 && !ready; ++attempt) {
        m_port = FreePort();
        if (tls) {
            m_ldapsPort = FreePort();
            m_startTlsPort = FreePort();
        }
        m_pid =
            Spawn({kSlapd, "-d", "0", "-F", config, "-h", Listeners()}, account, logFd, SIGTERM);
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (m_pid > 0 && std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                break;
            }
            try {
                ldapdir::LdapConnection probe(RootSettings(), true);
                ready = true;
                break;
            } catch (const std::exception& e) {
                lastError = e.what();
                std::this_thread::sleep_for(50ms);
            }
        }
    }
    ::close(logFd);
    if (!ready) {
        m_problem = "slapd did not accept a bind (" + lastError + "); its log: " + ReadTail(log);
        return false;
    }
    return true;
}

void SlapdServer::Stop() {
    if (m_pid > 0) {
        StopChild(m_pid, SIGINT);
        m_pid = -1;
    }
    if (!m_dir.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
        m_dir.clear();
    }
}

}  // namespace warden::test
