#include "tests/support/TestCertificates.h"

#include <arpa/inet.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <fstream>
#include <stdexcept>

#include "protocol/Fingerprint.h"
#include "protocol/OpenSslOwners.h"

namespace warden::test {

namespace {

void Check(bool ok, const char* what) {
    if (!ok) throw std::runtime_error(std::string("test certificate: ") + what);
}

KeyPtr NewKey() {
    KeyPtr key(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"));
    Check(key != nullptr, "key");
    return key;
}

void AddExtension(X509* cert, X509* issuer, int nid, const std::string& value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str());
    Check(ext != nullptr && X509_add_ext(cert, ext, -1) == 1, "extension");
    X509_EXTENSION_free(ext);
}

// A certificate for `key` named `commonName`, signed by `issuerKey` (itself
// when `issuer` is null).
CertPtr Sign(EVP_PKEY* key, const std::string& commonName, const std::vector<std::string>& names,
             bool isCa, X509* issuer, EVP_PKEY* issuerKey) {
    static long serial = 1;
    CertPtr cert(X509_new());
    Check(cert != nullptr, "certificate");
    X509_set_version(cert.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), serial++);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 24 * 3600);
    X509_set_pubkey(cert.get(), key);
    X509_NAME* subject = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1,
                               0);
    X509* signer = issuer != nullptr ? issuer : cert.get();
    X509_set_issuer_name(cert.get(), X509_get_subject_name(signer));
    AddExtension(cert.get(), signer, NID_basic_constraints, isCa ? "critical,CA:TRUE" : "CA:FALSE");
    AddExtension(cert.get(), signer, NID_key_usage,
                 isCa ? "critical,keyCertSign,cRLSign" : "critical,digitalSignature");
    AddExtension(cert.get(), signer, NID_subject_key_identifier, "hash");
    if (!names.empty()) {
        std::string alternative;
        for (const std::string& name : names) {
            in_addr ignored{};
            bool address = ::inet_pton(AF_INET, name.c_str(), &ignored) == 1;
            alternative +=
                (alternative.empty() ? "" : ",") + std::string(address ? "IP:" : "DNS:") + name;
        }
        AddExtension(cert.get(), signer, NID_subject_alt_name, alternative);
        AddExtension(cert.get(), signer, NID_ext_key_usage, "serverAuth");
    }
    Check(X509_sign(cert.get(), issuerKey, EVP_sha256()) > 0, "signature");
    return cert;
}

std::string Pem(int (*write)(BIO*, void*), void* object) {
    BIO* bio = BIO_new(BIO_s_mem());
    Check(bio != nullptr && write(bio, object) == 1, "PEM");
    char* data = nullptr;
    long length = BIO_get_mem_data(bio, &data);
    std::string text(data, static_cast<size_t>(length));
    BIO_free(bio);
    return text;
}

TestIdentity Identity(X509* cert, EVP_PKEY* key) {
    TestIdentity identity;
    identity.certificatePem =
        Pem([](BIO* bio, void* c) { return PEM_write_bio_X509(bio, static_cast<X509*>(c)); }, cert);
    identity.keyPem = Pem(
        [](BIO* bio, void* k) {
            return PEM_write_bio_PrivateKey(bio, static_cast<EVP_PKEY*>(k), nullptr, nullptr, 0,
                                            nullptr, nullptr);
        },
        key);
    identity.fingerprint = Sha256Fingerprint(*cert);
    Check(!identity.fingerprint.empty(), "digest");
    return identity;
}

}  // namespace

void TestIdentity::Write(const std::filesystem::path& certificate,
                         const std::filesystem::path& key) const {
    std::filesystem::create_directories(certificate.parent_path());
    std::filesystem::create_directories(key.parent_path());
    std::ofstream(certificate, std::ios::binary | std::ios::trunc) << certificatePem;
    std::ofstream(key, std::ios::binary | std::ios::trunc) << keyPem;
    std::filesystem::permissions(
        key, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TestIdentity MakeSelfSigned(const std::vector<std::string>& names) {
    KeyPtr key = NewKey();
    CertPtr cert =
        Sign(key.get(), names.empty() ? "warden" : names.front(), names, false, nullptr, key.get());
    return Identity(cert.get(), key.get());
}

struct TestCa::Keys {
    KeyPtr key;
    CertPtr cert;
};

TestCa::TestCa() : m_keys(std::make_unique<Keys>()) {
    m_keys->key = NewKey();
    m_keys->cert = Sign(m_keys->key.get(), "Warden test CA", {}, true, nullptr, m_keys->key.get());
    m_self = Identity(m_keys->cert.get(), m_keys->key.get());
}

TestCa::~TestCa() = default;

TestIdentity TestCa::Issue(const std::vector<std::string>& names) const {
    KeyPtr key = NewKey();
    CertPtr cert = Sign(key.get(), names.empty() ? "warden" : names.front(), names, false,
                        m_keys->cert.get(), m_keys->key.get());
    return Identity(cert.get(), key.get());
}

}  // namespace warden::test
