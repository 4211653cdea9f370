// The written form of a certificate's fingerprint, the one an administrator
// reads off the server and compares with what the console shows: the digest's
// bytes as upper-case hex pairs joined by ":" ("AB:01:..."), as OpenSSL's
// `x509 -fingerprint` writes them.
#pragma once

#include <span>
#include <string>

using X509 = struct x509_st;  // OpenSSL's certificate

namespace warden {

std::string FormatFingerprint(std::span<const unsigned char> digest);

// The SHA-256 fingerprint of `certificate` in that form; empty when it cannot
// be computed.
std::string Sha256Fingerprint(const X509& certificate);

}  // namespace warden
