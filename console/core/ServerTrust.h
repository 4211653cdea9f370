// Which server certificates the console accepts, as SSH does with host keys:
// the one the administrator accepted at the first connection to an address
// and port (kept in client.cfg), and any that the system's CA store
// validates for the host name. A certificate that differs from the accepted
// one is refused, even when a CA vouches for it: the administrator removes
// the stored one deliberately (LoginLogic::ForgetCertificate) if the change
// was expected.
//
// Thread-safety: none; used on the user-interface thread.
#pragma once

#include <filesystem>

#include "console/core/CertificateJudge.h"
#include "console/core/MessageSink.h"
#include "console/core/TrustPrompt.h"

namespace warden::console {

class ServerTrust final : public CertificateJudge {
  public:
    // REQUIRES: `prompt` and `sink` outlive this object.
    ServerTrust(std::filesystem::path configFile, TrustPrompt& prompt, MessageSink& sink)
        : m_configFile(std::move(configFile)), m_prompt(prompt), m_sink(sink) {}

    bool Accept(std::string_view address, std::string_view port,
                const PeerCertificate& peer) override;

  private:
    std::filesystem::path m_configFile;
    TrustPrompt& m_prompt;
    MessageSink& m_sink;
};

}  // namespace warden::console
