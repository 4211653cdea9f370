// What the console learned of the server's certificate during the TLS
// handshake: what an administrator compares, and whether the system's CA
// store vouches for it.
#pragma once

#include <string>

namespace warden::console {

struct PeerCertificate {
    std::string fingerprint;  // SHA-256 of the certificate, "AB:01:..." (protocol/Fingerprint.h)
    // The system's CA store validates the chain for the host name (or
    // address) connected to.
    bool caVerified = false;
};

}  // namespace warden::console
