#include "server/shell/ServerCertificate.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <unistd.h>

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <span>

#include "protocol/Fingerprint.h"
#include "protocol/OpenSslOwners.h"

namespace warden {

namespace {

std::string OpenSslError(const std::string& what) {
    const unsigned long code = ERR_peek_last_error();
    ERR_clear_error();
    if (code == 0) return what;
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    return what + ": " + text;
}

constexpr long kTenYears = 10L * 365 * 24 * 3600 + 2L * 24 * 3600;  // with the leap days

bool AddExtension(X509* cert, int nid, const char* value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
    ExtPtr ext(X509V3_EXT_conf_nid(nullptr, &ctx, nid, value));
    return ext && X509_add_ext(cert, ext.get(), -1) == 1;
}

bool AddAlternativeNames(X509* cert, const std::vector<std::string>& names,
                         const std::vector<std::string>& addresses) {
    NamesPtr list(GENERAL_NAMES_new());
    if (!list) return false;
    auto add = [&](int type, const std::string& value) {
        GENERAL_NAME* name = a2i_GENERAL_NAME(nullptr, nullptr, nullptr, type, value.c_str(), 0);
        if (!name) return;  // a name that cannot be carried is left out
        if (!sk_GENERAL_NAME_push(list.get(), name)) GENERAL_NAME_free(name);
    };
    for (const std::string& name : names) add(GEN_DNS, name);
    for (const std::string& address : addresses) add(GEN_IPADD, address);
    ERR_clear_error();
    return X509_add1_ext_i2d(cert, NID_subject_alt_name, list.get(), 0, X509V3_ADD_DEFAULT) == 1;
}

// Writes `pem` into a new file beside `target` with `mode`; the caller
// renames it over `target` once everything is written.
bool WriteNew(const std::filesystem::path& temp, mode_t mode,
              const std::function<bool(FILE*)>& pem) {
    std::error_code ec;
    std::filesystem::remove(temp, ec);
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) return false;
    FILE* file = ::fdopen(fd, "w");
    if (!file) {
        ::close(fd);
        return false;
    }
    bool ok = pem(file) && std::fflush(file) == 0 && ::fsync(fd) == 0;
    ok = std::fclose(file) == 0 && ok;
    if (!ok) std::filesystem::remove(temp, ec);
    return ok;
}

}  // namespace

bool CreateSelfSignedCertificate(const std::filesystem::path& certificate,
                                 const std::filesystem::path& privateKey,
                                 const std::vector<std::string>& names,
                                 const std::vector<std::string>& addresses, std::string& error) {
    ERR_clear_error();
    KeyPtr key(EVP_EC_gen("P-256"));
    CertPtr cert(X509_new());
    if (!key || !cert) {
        error = OpenSslError("cannot make a key");
        return false;
    }
    unsigned char serial[16];
    RAND_bytes(serial, sizeof serial);
    serial[0] &= 0x7F;  // a serial number is positive
    BIGNUM* serialNumber = BN_bin2bn(serial, sizeof serial, nullptr);
    const bool made =
        serialNumber && BN_to_ASN1_INTEGER(serialNumber, X509_get_serialNumber(cert.get())) &&
        X509_set_version(cert.get(), X509_VERSION_3) &&
        X509_gmtime_adj(X509_getm_notBefore(cert.get()), 0) &&
        X509_gmtime_adj(X509_getm_notAfter(cert.get()), kTenYears) &&
        X509_set_pubkey(cert.get(), key.get()) &&
        X509_NAME_add_entry_by_txt(X509_get_subject_name(cert.get()), "CN", MBSTRING_UTF8,
                                   reinterpret_cast<const unsigned char*>(names.front().c_str()),
                                   -1, -1, 0) &&
        X509_set_issuer_name(cert.get(), X509_get_subject_name(cert.get())) &&
        AddExtension(cert.get(), NID_basic_constraints, "critical,CA:FALSE") &&
        AddExtension(cert.get(), NID_key_usage, "critical,digitalSignature") &&
        AddExtension(cert.get(), NID_ext_key_usage, "serverAuth") &&
        AddExtension(cert.get(), NID_subject_key_identifier, "hash") &&
        AddAlternativeNames(cert.get(), names, addresses) &&
        X509_sign(cert.get(), key.get(), EVP_sha256()) > 0;
    BN_free(serialNumber);
    if (!made) {
        error = OpenSslError("cannot make the certificate");
        return false;
    }

    std::error_code ec;
    std::filesystem::create_directories(certificate.parent_path(), ec);
    std::filesystem::create_directories(privateKey.parent_path(), ec);
    std::filesystem::path keyTemp = privateKey, certTemp = certificate;
    keyTemp += ".tmp";
    certTemp += ".tmp";
    const bool written =
        WriteNew(keyTemp, 0600,
                 [&](FILE* f) {
                     return PEM_write_PrivateKey(f, key.get(), nullptr, nullptr, 0, nullptr,
                                                 nullptr) == 1;
                 }) &&
        WriteNew(certTemp, 0644, [&](FILE* f) { return PEM_write_X509(f, cert.get()) == 1; });
    if (!written) {
        error = "cannot write " + keyTemp.string() + " and " + certTemp.string();
        std::filesystem::remove(keyTemp, ec);
        return false;
    }
    // The key first: a certificate found alone would be taken for a site's
    // own, missing its key.
    std::filesystem::rename(keyTemp, privateKey, ec);
    if (!ec) std::filesystem::rename(certTemp, certificate, ec);
    if (ec) {
        error = "cannot put the new certificate in place: " + ec.message();
        std::filesystem::remove(certTemp, ec);
        return false;
    }
    return true;
}

std::optional<std::string> CertificateFingerprint(const std::filesystem::path& certificate,
                                                  std::string& error) {
    FILE* file = std::fopen(certificate.c_str(), "r");
    if (!file) {
        error = "cannot read " + certificate.string();
        return std::nullopt;
    }
    CertPtr cert(PEM_read_X509(file, nullptr, nullptr, nullptr));
    std::fclose(file);
    std::string fingerprint = cert ? Sha256Fingerprint(*cert) : std::string();
    if (fingerprint.empty()) {
        error = OpenSslError(certificate.string() + " holds no certificate");
        return std::nullopt;
    }
    return fingerprint;
}

std::vector<std::string> LocalHostNames() {
    std::vector<std::string> names;
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) == 0 && host[0]) names.emplace_back(host);
    if (std::find(names.begin(), names.end(), "localhost") == names.end()) {
        names.emplace_back("localhost");
    }
    return names;
}

std::vector<std::string> LocalAddresses(const std::string& configuredAddress) {
    if (!configuredAddress.empty()) return {configuredAddress};
    std::vector<std::string> addresses;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return {"127.0.0.1", "::1"};
    for (ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr) continue;
        char text[INET6_ADDRSTRLEN] = {};
        const int family = entry->ifa_addr->sa_family;
        if (family == AF_INET) {
            ::inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(entry->ifa_addr)->sin_addr, text,
                        sizeof text);
        } else if (family == AF_INET6) {
            const auto* v6 = reinterpret_cast<sockaddr_in6*>(entry->ifa_addr);
            if (IN6_IS_ADDR_LINKLOCAL(&v6->sin6_addr)) continue;  // needs a zone to mean anything
            ::inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
        } else {
            continue;
        }
        if (std::find(addresses.begin(), addresses.end(), text) == addresses.end()) {
            addresses.emplace_back(text);
        }
    }
    ::freeifaddrs(list);
    return addresses;
}

}  // namespace warden
