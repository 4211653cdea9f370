// Decides whether the console goes on with a TLS connection, from the
// certificate the server presented. The transport asks it after the
// handshake and before it sends anything.
//
// Thread-safety: none; used on the user-interface thread.
#pragma once

#include <string_view>

#include "console/core/PeerCertificate.h"

namespace warden::console {

class CertificateJudge {
  public:
    virtual ~CertificateJudge() = default;

    // True to use the connection to `address`:`port`; may ask the user, and
    // tells him itself why it refuses.
    virtual bool Accept(std::string_view address, std::string_view port,
                        const PeerCertificate& peer) = 0;
};

}  // namespace warden::console
