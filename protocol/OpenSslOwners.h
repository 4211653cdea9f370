// Owning pointers for the OpenSSL objects that certificates are made and
// read with, so that every early return frees what was made.
#pragma once

#include <openssl/evp.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>

namespace warden {

template <typename T, void (*Free)(T*)>
struct OpenSslFree {
    void operator()(T* p) const { Free(p); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, OpenSslFree<EVP_PKEY, EVP_PKEY_free>>;
using CertPtr = std::unique_ptr<X509, OpenSslFree<X509, X509_free>>;
using NamesPtr = std::unique_ptr<GENERAL_NAMES, OpenSslFree<GENERAL_NAMES, GENERAL_NAMES_free>>;
using ExtPtr = std::unique_ptr<X509_EXTENSION, OpenSslFree<X509_EXTENSION, X509_EXTENSION_free>>;

}  // namespace warden
