// server.cfg: the server's settings file in its base directory, an INI file
// whose sections and keys are compared without regard to case. Read as UTF-8,
// or as GBK when it is not valid UTF-8 (a file from an older installation);
// always written in UTF-8.
#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

#include "ldapdir/LdapSettings.h"

namespace warden {

// Which directory the server manages: [DIRECTORY] BACKEND.
enum class DirectoryBackend {
    kVex,      // "vex" (the default): the embedded directory
    kLdap,     // "ldap": the LDAP directory the rest of the section names
    kUnknown,  // any other value: the server refuses to start
};

struct ServerConfig {
    // [VEX_SERVER] IP_ADDRESS, [VEX_PORT] PORT, [LISTEN_PORT] PORT
    std::string imAddress = "127.0.0.1";
    std::string imPort = "8006";
    std::string listenPort = "8800";
    // [LISTEN_PORT] PLAINTEXT: whether the plain port listens at all;
    // ADDRESS: where both listeners listen (an IPv4 or IPv6 address; empty:
    // every address of both families).
    bool plaintext = true;
    std::string listenAddress;
    // [TLS] PORT, CERTIFICATE, PRIVATE_KEY (relative to the base directory),
    // HANDSHAKE_MS: how long a TLS handshake may take.
    std::string tlsPort = "8801";
    std::string tlsCertificate = "tls/server.crt";
    std::string tlsPrivateKey = "tls/server.key";
    int handshakeMs = 10'000;
    // [VEX_SERVER] INSTALLDIR: where the IM directory is installed; nullopt
    // when the key is absent (an empty value says "none known").
    std::optional<std::string> imInstallDir;
    // [SERVER] WORKERS, MAX_REQUEST (bytes)
    size_t workers = 16;
    size_t maxRequest = 1 << 20;
    // [SERVER] limits on connections and on how long their input may take;
    // a missing, zero or unreadable value keeps the default.
    size_t maxConnections = 1000;  // MAX_CONNECTIONS
    size_t maxAnonymous = 128;     // MAX_ANONYMOUS: connections without a login
    int anonymousIdleMs = 30'000;  // ANONYMOUS_IDLE_MS: how long such a one may idle
    int backlog = 0;               // BACKLOG: pending connections; 0: the system's maximum
    int arrivalMs = 30'000;        // ARRIVAL_MS: a request still arriving after this closes
    int graceMs = 100;             // GRACE_MS: quiet time that ends a long request (>= 100)
    int writeStallMs = 30'000;     // WRITE_STALL_MS: a reply making no progress this long
    // [SECURITY] REQUIRE_LOGIN
    bool requireLogin = true;
    // [SECURITY] LOGIN_FAILURES: consecutive failed logins of one account or
    // from one address before further attempts are refused for a while;
    // LOCKOUT_SECONDS: the longest such lock.
    int loginFailures = 5;
    int lockoutSeconds = 900;
    // [SECURITY] TRUSTED_DAYS: an address an account logged in from within
    // this many days is not slowed by that account's failures elsewhere.
    int trustedDays = 30;
    // [SECURITY] IDLE_MINUTES, SESSION_HOURS: a login ends after this long
    // without a request, and this long after it was made (fractions allowed;
    // 0: never). MAX_SESSIONS_PER_ACCOUNT: logged-in connections of one
    // administrator's account at once.
    std::chrono::milliseconds sessionIdle = std::chrono::minutes(60);
    std::chrono::milliseconds sessionLifetime = std::chrono::hours(12);
    size_t maxSessionsPerAccount = 8;
    // [SECURITY] HASH_THREADS, HASH_QUEUE: the threads that check login
    // passwords, and how many logins may wait for one before a login is
    // answered "busy" at once.
    size_t hashThreads = 2;
    size_t hashQueue = 64;
    // [AUDIT] KEEP_DAYS: entries older than this are removed at start and
    // daily; 0 keeps them all.
    int auditKeepDays = 365;
    // [ADMIN_STORE] CONNECTION: an ODBC connection string whose placeholders
    // take the base directory and the data file; empty: the built-in default.
    std::string adminStoreConnection;
    // [ADMIN_STORE] ROLES_IN_STORE: the roles second-level administrators
    // may grant are kept in the admin store instead of RolesAdmin.ini, so
    // that servers sharing the store share them.
    bool rolesInStore = false;
    // [DIRECTORY] BACKEND; with kLdap, URI, BIND_DN, BIND_PASSWORD, BASE_DN,
    // CONNECTIONS, TIMEOUT_MS and CA_FILE.
    DirectoryBackend directoryBackend = DirectoryBackend::kVex;
    std::string directoryBackendName = "vex";  // as written, for messages
    ldapdir::LdapSettings ldap;
};

// Reads `file`; a missing file or key keeps the default.
ServerConfig LoadServerConfig(const std::filesystem::path& file);

// Writes the three connection settings into `file`, keeping every other
// section and key. The file is replaced whole (temporary file, then rename),
// so a crash leaves the old or the new settings, never half of them; a file
// that holds these values already is not written, and a link is followed to
// the file it names.
bool SaveConnectionSettings(const std::filesystem::path& file, const std::string& imAddress,
                            const std::string& imPort, const std::string& listenPort);

}  // namespace warden
