#include "ldapdir/LdapSettings.h"
#include "protocol/SplitList.h"

#include <arpa/inet.h>
#include <ldap.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace warden::ldapdir {

namespace {

struct UrlDesc {
    LDAPURLDesc* desc = nullptr;
    ~UrlDesc() {
        if (desc) ldap_free_urldesc(desc);
    }
};

// A host name or address that can only be this machine: "localhost" and
// every address of 127.0.0.0/8 and ::1. Other names could resolve anywhere.
bool IsLoopbackHost(const std::string& host) {
    const std::string lower = LowerAscii(host);
    if (lower == "localhost" || lower == "localhost.") return true;
    in_addr v4{};
    if (::inet_pton(AF_INET, lower.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    return ::inet_pton(AF_INET6, lower.c_str(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
}

}  // namespace

bool NeedsStartTls(const std::string& uri) {
    UrlDesc url;
    if (ldap_url_parse(uri.c_str(), &url.desc) != LDAP_URL_SUCCESS) return false;
    const std::string scheme = LowerAscii(url.desc->lud_scheme ? url.desc->lud_scheme : "");
    return scheme == "ldap" && !IsLoopbackHost(url.desc->lud_host ? url.desc->lud_host : "");
}

std::string CheckLdapSettings(const LdapSettings& settings) {
    if (settings.uri.empty()) return "[DIRECTORY] URI is missing";
    const std::string lower = LowerAscii(settings.uri);
    if (!lower.starts_with("ldap://") && !lower.starts_with("ldaps://") &&
        !lower.starts_with("ldapi://")) {
        return "[DIRECTORY] URI must begin with ldaps://, ldap:// or ldapi://";
    }
    UrlDesc url;
    if (ldap_url_parse(settings.uri.c_str(), &url.desc) != LDAP_URL_SUCCESS) {
        return "[DIRECTORY] URI is not an LDAP URL: " + settings.uri;
    }
    if (!lower.starts_with("ldapi://") && (!url.desc->lud_host || !*url.desc->lud_host)) {
        return "[DIRECTORY] URI names no host";
    }
    if (settings.baseDn.empty()) return "[DIRECTORY] BASE_DN is missing";
    if (settings.bindDn.empty()) return "[DIRECTORY] BIND_DN is missing";
    if (settings.bindPassword.empty()) return "[DIRECTORY] BIND_PASSWORD is missing";
    LDAPDN parsed = nullptr;
    for (const std::string* dn : {&settings.baseDn, &settings.bindDn}) {
        if (ldap_str2dn(dn->c_str(), &parsed, LDAP_DN_FORMAT_LDAPV3) != LDAP_SUCCESS) {
            return "[DIRECTORY] " + std::string(dn == &settings.baseDn ? "BASE_DN" : "BIND_DN") +
                   " is not a distinguished name: " + *dn;
        }
        ldap_dnfree(parsed);
    }
    // The client library would only say that it cannot reach the directory.
    if (!settings.caFile.empty()) {
        const int fd = ::open(settings.caFile.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            return "[DIRECTORY] CA_FILE cannot be read: " + settings.caFile + " (" +
                   std::strerror(errno) + ")";
        }
        struct stat info {};
        const bool file = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
        ::close(fd);
        if (!file) return "[DIRECTORY] CA_FILE is not a file: " + settings.caFile;
    }
    return {};
}

}  // namespace warden::ldapdir
