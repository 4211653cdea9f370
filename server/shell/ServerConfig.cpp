#include "server/shell/ServerConfig.h"

#include <SimpleIni.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "protocol/Framing.h"
#include "protocol/SplitList.h"

#include "server/store/ConfigFile.h"
#include "server/store/TemporaryFiles.h"

namespace warden {

namespace {

std::string Text(const CSimpleIniA& ini, const char* section, const char* key,
                 const std::string& fallback) {
    const char* value = ini.GetValue(section, key, nullptr);
    return value ? std::string(value) : fallback;
}

size_t Count(const CSimpleIniA& ini, const char* section, const char* key, size_t fallback) {
    const char* value = ini.GetValue(section, key, nullptr);
    if (!value) return fallback;
    // strtoull would take "-3" as a huge count.
    const char* digits = value + std::strspn(value, " \t");
    if (!std::isdigit(static_cast<unsigned char>(*digits))) return fallback;
    char* end = nullptr;
    unsigned long long n = std::strtoull(digits, &end, 10);
    return n == 0 ? fallback : static_cast<size_t>(n);
}

// A duration in milliseconds, at most a day.
int Millis(const CSimpleIniA& ini, const char* key, int fallback) {
    return static_cast<int>(std::min<size_t>(Count(ini, "SERVER", key, fallback), 86'400'000));
}

// A whole number of at least `least`; a missing or unreadable value keeps
// `fallback`.
int Number(const CSimpleIniA& ini, const char* section, const char* key, int fallback, int least) {
    const char* value = ini.GetValue(section, key, nullptr);
    if (!value) return fallback;
    char* end = nullptr;
    long n = std::strtol(value, &end, 10);
    if (end == value || n < least || n > 1'000'000'000) return fallback;
    return static_cast<int>(n);
}

// A time of `unit`s, fractions allowed, at most a year; 0 stays 0 (no
// limit). A missing, negative or unreadable value keeps `fallback`.
std::chrono::milliseconds Duration(const CSimpleIniA& ini, const char* key,
                                   std::chrono::milliseconds unit,
                                   std::chrono::milliseconds fallback) {
    const char* value = ini.GetValue("SECURITY", key, nullptr);
    if (!value) return fallback;
    char* end = nullptr;
    const double n = std::strtod(value, &end);
    if (end == value || !(n >= 0) || n * unit.count() > 365.0 * 86'400'000) return fallback;
    return std::chrono::milliseconds(static_cast<int64_t>(n * unit.count()));
}

}  // namespace

ServerConfig LoadServerConfig(const std::filesystem::path& file) {
    ServerConfig config;
    CSimpleIniA ini(/*isUtf8=*/true);
    const std::optional<std::string> text = ReadConfigFile(file);
    if (!text || ini.LoadData(text->data(), text->size()) < 0) return config;
    config.imAddress = Text(ini, "VEX_SERVER", "IP_ADDRESS", config.imAddress);
    config.imPort = Text(ini, "VEX_PORT", "PORT", config.imPort);
    config.listenPort = Text(ini, "LISTEN_PORT", "PORT", config.listenPort);
    config.plaintext = ini.GetLongValue("LISTEN_PORT", "PLAINTEXT", 1) != 0;
    config.listenAddress = std::string(Trim(Text(ini, "LISTEN_PORT", "ADDRESS", "")));
    config.tlsPort = Text(ini, "TLS", "PORT", config.tlsPort);
    config.tlsCertificate = Text(ini, "TLS", "CERTIFICATE", config.tlsCertificate);
    config.tlsPrivateKey = Text(ini, "TLS", "PRIVATE_KEY", config.tlsPrivateKey);
    config.handshakeMs = static_cast<int>(
        std::min<size_t>(Count(ini, "TLS", "HANDSHAKE_MS", config.handshakeMs), 86'400'000));
    if (const char* dir = ini.GetValue("VEX_SERVER", "INSTALLDIR", nullptr)) {
        config.imInstallDir = dir;
    }
    config.workers = Count(ini, "SERVER", "WORKERS", config.workers);
    config.maxRequest = Count(ini, "SERVER", "MAX_REQUEST", config.maxRequest);
    config.maxConnections = Count(ini, "SERVER", "MAX_CONNECTIONS", config.maxConnections);
    config.maxAnonymous = Count(ini, "SERVER", "MAX_ANONYMOUS", config.maxAnonymous);
    config.anonymousIdleMs = Millis(ini, "ANONYMOUS_IDLE_MS", config.anonymousIdleMs);
    config.backlog = static_cast<int>(std::min<size_t>(Count(ini, "SERVER", "BACKLOG", 0), 65535));
    config.arrivalMs = Millis(ini, "ARRIVAL_MS", config.arrivalMs);
    // Shorter than this, the segments of one long request could be taken for
    // two requests.
    config.graceMs = std::max(Millis(ini, "GRACE_MS", config.graceMs), kMinGraceMs);
    config.writeStallMs = Millis(ini, "WRITE_STALL_MS", config.writeStallMs);
    config.requireLogin = ini.GetLongValue("SECURITY", "REQUIRE_LOGIN", 1) != 0;
    config.adminStoreConnection = Text(ini, "ADMIN_STORE", "CONNECTION", "");
    config.loginFailures = Number(ini, "SECURITY", "LOGIN_FAILURES", config.loginFailures, 1);
    config.lockoutSeconds = Number(ini, "SECURITY", "LOCKOUT_SECONDS", config.lockoutSeconds, 1);
    config.trustedDays = Number(ini, "SECURITY", "TRUSTED_DAYS", config.trustedDays, 0);
    config.sessionIdle =
        Duration(ini, "IDLE_MINUTES", std::chrono::minutes(1), config.sessionIdle);
    config.sessionLifetime =
        Duration(ini, "SESSION_HOURS", std::chrono::hours(1), config.sessionLifetime);
    config.maxSessionsPerAccount =
        Count(ini, "SECURITY", "MAX_SESSIONS_PER_ACCOUNT", config.maxSessionsPerAccount);
    config.hashThreads = Count(ini, "SECURITY", "HASH_THREADS", config.hashThreads);
    config.hashQueue = Count(ini, "SECURITY", "HASH_QUEUE", config.hashQueue);
    config.auditKeepDays = Number(ini, "AUDIT", "KEEP_DAYS", config.auditKeepDays, 0);
    config.rolesInStore = ini.GetLongValue("ADMIN_STORE", "ROLES_IN_STORE", 0) != 0;
    config.directoryBackendName = Text(ini, "DIRECTORY", "BACKEND", config.directoryBackendName);
    std::string backend = config.directoryBackendName;
    for (char& c : backend) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    config.directoryBackend = backend == "vex"    ? DirectoryBackend::kVex
                              : backend == "ldap" ? DirectoryBackend::kLdap
                                                  : DirectoryBackend::kUnknown;
    ldapdir::LdapSettings& ldap = config.ldap;
    ldap.uri = Text(ini, "DIRECTORY", "URI", "");
    ldap.bindDn = Text(ini, "DIRECTORY", "BIND_DN", "");
    ldap.bindPassword = Text(ini, "DIRECTORY", "BIND_PASSWORD", "");
    ldap.baseDn = Text(ini, "DIRECTORY", "BASE_DN", "");
    ldap.caFile = Text(ini, "DIRECTORY", "CA_FILE", "");
    ldap.connections = static_cast<int>(
        std::min<size_t>(Count(ini, "DIRECTORY", "CONNECTIONS", ldap.connections), 64));
    ldap.timeoutMs = static_cast<int>(
        std::min<size_t>(Count(ini, "DIRECTORY", "TIMEOUT_MS", ldap.timeoutMs), 600'000));
    return config;
}

bool SaveConnectionSettings(const std::filesystem::path& file, const std::string& imAddress,
                            const std::string& imPort, const std::string& listenPort) {
    CSimpleIniA ini(/*isUtf8=*/true);
    ini.SetSpaces(false);  // KEY=value, as profile files have always been written
    std::error_code ec;
    if (std::filesystem::exists(file, ec)) {
        const std::optional<std::string> text = ReadConfigFile(file);
        if (!text || ini.LoadData(text->data(), text->size()) < 0) return false;
        // A file that holds these values already stays as the administrator
        // wrote it, comments and all; the service may not be allowed to
        // write it at all (a package's file in /etc).
        if (Text(ini, "VEX_SERVER", "IP_ADDRESS", "") == imAddress &&
            Text(ini, "VEX_PORT", "PORT", "") == imPort &&
            Text(ini, "LISTEN_PORT", "PORT", "") == listenPort) {
            return true;
        }
    }
    ini.SetValue("VEX_SERVER", "IP_ADDRESS", imAddress.c_str());
    ini.SetValue("VEX_PORT", "PORT", imPort.c_str());
    ini.SetValue("LISTEN_PORT", "PORT", listenPort.c_str());
    // Through a link the file it names is replaced, so the link keeps
    // pointing at the settings the administrator edits.
    std::filesystem::path target = std::filesystem::weakly_canonical(file, ec);
    if (ec) target = file;
    // The new file keeps the old one's permissions: it may hold passwords.
    struct stat old {};
    const mode_t mode = ::stat(target.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0600;
    std::string text;
    if (ini.Save(text, /*addSignature=*/false) < 0) return false;
    return ReplaceFile(target, text, mode);
}

}  // namespace warden
