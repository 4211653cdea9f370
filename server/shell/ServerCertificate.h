// The TLS port's certificate. A site may put its own (signed by its CA) in
// the configured files; when both are missing the server makes a
// self-signed one at start, which a console pins by its fingerprint.
//
// Thread-safety: no state.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace warden {

// Makes a self-signed certificate with a new ECDSA P-256 key, valid for ten
// years, whose subject is `names.front()` and whose alternative names are
// `names` (host names) and `addresses` (IPv4 or IPv6 literals); writes the
// key readable by its owner only. Both files appear whole or not at all
// (each is written beside itself and renamed over). False, with the reason
// in `error`, when it cannot.
// REQUIRES: `names` is not empty; neither file exists.
bool CreateSelfSignedCertificate(const std::filesystem::path& certificate,
                                 const std::filesystem::path& privateKey,
                                 const std::vector<std::string>& names,
                                 const std::vector<std::string>& addresses, std::string& error);

// The SHA-256 fingerprint of the first certificate in the PEM file, as
// `openssl x509 -fingerprint -sha256` prints it: 32 upper-case hex pairs
// joined by ":". Nullopt, with the reason in `error`, when it cannot be read.
std::optional<std::string> CertificateFingerprint(const std::filesystem::path& certificate,
                                                  std::string& error);

// What a certificate made on this machine should name: its host name and
// "localhost", and the address the listeners are bound to, or, when they
// listen on every address, the addresses of the machine's interfaces.
std::vector<std::string> LocalHostNames();
std::vector<std::string> LocalAddresses(const std::string& configuredAddress);

}  // namespace warden
