#include "console/core/ServerTrust.h"

#include "console/core/ClientConfig.h"
#include "console/core/ConsoleTexts.h"
#include "protocol/SplitList.h"

namespace warden::console {

bool ServerTrust::Accept(std::string_view address, std::string_view port,
                         const PeerCertificate& peer) {
    ClientConfig config = ReadClientConfig(m_configFile).value_or(ClientConfig{});
    const std::string key = TrustKey(address, port);
    const std::string server = std::string(Trim(address)) + ":" + std::string(Trim(port));
    if (auto trusted = config.trusted.find(key); trusted != config.trusted.end()) {
        if (trusted->second == peer.fingerprint) return true;
        m_prompt.ShowChanged(server, trusted->second, peer.fingerprint, peer.caVerified);
        return false;
    }
    // Nothing to pin: a CA-validated certificate is renewed by its site at
    // will, and each renewal would otherwise look like an attack.
    if (peer.caVerified) return true;
    if (!m_prompt.AskFirstUse(server, peer.fingerprint)) return false;
    config.trusted[key] = peer.fingerprint;
    if (!WriteClientConfig(m_configFile, config)) {
        m_sink.ShowMessage(MessageIcon::kWarning, text::kProgramName, text::kTrustNotSaved);
    }
    return true;
}

}  // namespace warden::console
