// How the console asks the administrator about a server's certificate. The
// Qt implementation shows the two dialogs; tests answer from a script.
//
// Thread-safety: none; used on the user-interface thread.
#pragma once

#include <string_view>

namespace warden::console {

class TrustPrompt {
  public:
    virtual ~TrustPrompt() = default;

    // The first connection to `server` ("address:port"): shows the
    // certificate's `fingerprint`, asks the administrator to compare it with
    // what `warden-server --fingerprint` prints on the server, and whether
    // to trust it. True to trust it.
    virtual bool AskFirstUse(std::string_view server, std::string_view fingerprint) = 0;

    // The certificate of `server` is not the one trusted before: says that
    // the connection was refused and names both fingerprints. Offers no way
    // to go on. `caSigned`: the new certificate is one the system's CA store
    // validates (a site that moved to its own certificates, most likely).
    virtual void ShowChanged(std::string_view server, std::string_view trusted,
                             std::string_view presented, bool caSigned) = 0;
};

}  // namespace warden::console
