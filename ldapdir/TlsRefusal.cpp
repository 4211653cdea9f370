#include "ldapdir/TlsRefusal.h"

#include <arpa/inet.h>
#include <ldap.h>
#include <openssl/x509v3.h>
#include <sys/time.h>

#include <memory>

#include "protocol/OpenSslOwners.h"

namespace warden::ldapdir {

namespace {

struct LdapCloser {
    void operator()(LDAP* ld) const { ldap_unbind_ext_s(ld, nullptr, nullptr); }
};
struct UrlCloser {
    void operator()(LDAPURLDesc* url) const { ldap_free_urldesc(url); }
};

// The certificate the directory at `settings.uri` shows, unchecked.
CertPtr PeerCertificate(const LdapSettings& settings) {
    LDAP* raw = nullptr;
    if (ldap_initialize(&raw, settings.uri.c_str()) != LDAP_SUCCESS) return nullptr;
    std::unique_ptr<LDAP, LdapCloser> ld(raw);
    const int version = LDAP_VERSION3;
    ldap_set_option(raw, LDAP_OPT_PROTOCOL_VERSION, &version);
    const timeval timeout{settings.timeoutMs / 1000, (settings.timeoutMs % 1000) * 1000};
    ldap_set_option(raw, LDAP_OPT_NETWORK_TIMEOUT, &timeout);
    ldap_set_option(raw, LDAP_OPT_TIMEOUT, &timeout);
    const int never = LDAP_OPT_X_TLS_NEVER;
    ldap_set_option(raw, LDAP_OPT_X_TLS_REQUIRE_CERT, &never);
    const int client = 0;
    ldap_set_option(raw, LDAP_OPT_X_TLS_NEWCTX, &client);
    const int rc =
        NeedsStartTls(settings.uri) ? ldap_start_tls_s(raw, nullptr, nullptr) : ldap_connect(raw);
    if (rc != LDAP_SUCCESS) return nullptr;
    berval der{0, nullptr};
    if (ldap_get_option(raw, LDAP_OPT_X_TLS_PEERCERT, &der) != LDAP_OPT_SUCCESS || !der.bv_val) {
        return nullptr;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(der.bv_val);
    CertPtr cert(
        d2i_X509(nullptr, &bytes, static_cast<long>(der.bv_len)));
    ber_memfree(der.bv_val);
    return cert;
}

std::string NameText(const X509_NAME* name) {
    char* text = X509_NAME_oneline(name, nullptr, 0);
    std::string result = text ? text : "";
    OPENSSL_free(text);
    return result;
}

// The host names and addresses the certificate is for.
std::string NamesOf(X509* cert) {
    std::string names;
    auto* general =
        static_cast<GENERAL_NAMES*>(X509_get_ext_d2i(cert, NID_subject_alt_name, nullptr, nullptr));
    for (int i = 0; general && i < sk_GENERAL_NAME_num(general); ++i) {
        const GENERAL_NAME* name = sk_GENERAL_NAME_value(general, i);
        std::string text;
        if (name->type == GEN_DNS) {
            const ASN1_IA5STRING* dns = name->d.dNSName;
            text.assign(reinterpret_cast<const char*>(dns->data), static_cast<size_t>(dns->length));
        } else if (name->type == GEN_IPADD && name->d.iPAddress->length == 4) {
            char address[INET_ADDRSTRLEN] = {};
            ::inet_ntop(AF_INET, name->d.iPAddress->data, address, sizeof address);
            text = address;
        } else if (name->type == GEN_IPADD && name->d.iPAddress->length == 16) {
            char address[INET6_ADDRSTRLEN] = {};
            ::inet_ntop(AF_INET6, name->d.iPAddress->data, address, sizeof address);
            text = address;
        }
        if (!text.empty()) names += (names.empty() ? "" : ", ") + text;
    }
    GENERAL_NAMES_free(general);
    return names.empty() ? NameText(X509_get_subject_name(cert)) : names;
}

}  // namespace

std::string ExplainTlsRefusal(const LdapSettings& settings) {
    const auto cert = PeerCertificate(settings);
    if (!cert) return {};
    LDAPURLDesc* rawUrl = nullptr;
    if (ldap_url_parse(settings.uri.c_str(), &rawUrl) != LDAP_URL_SUCCESS) return {};
    std::unique_ptr<LDAPURLDesc, UrlCloser> url(rawUrl);
    const std::string host = url->lud_host ? url->lud_host : "";
    in6_addr ignored{};
    const bool address = ::inet_pton(AF_INET, host.c_str(), &ignored) == 1 ||
                         ::inet_pton(AF_INET6, host.c_str(), &ignored) == 1;
    const bool named = address ? X509_check_ip_asc(cert.get(), host.c_str(), 0) == 1
                               : X509_check_host(cert.get(), host.c_str(), 0, 0, nullptr) == 1;
    if (!named) {
        return "the directory's certificate is for " + NamesOf(cert.get()) + ", not for " + host;
    }
    return "the directory's certificate (" + NameText(X509_get_subject_name(cert.get())) +
           ", issued by " + NameText(X509_get_issuer_name(cert.get())) +
           ") is not signed by a CA that " +
           (settings.caFile.empty() ? std::string("the system's store")
                                    : "[DIRECTORY] CA_FILE " + settings.caFile) +
           " holds, or is not valid now";
}

}  // namespace warden::ldapdir
