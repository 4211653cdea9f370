#include "console/core/StatusText.h"

#include "console/core/ConsoleTexts.h"

namespace warden::console {

namespace {

std::string CarrierText(const std::optional<ConnectionInfo>& connection) {
    if (!connection) return text::kNotConnected;
    if (connection->security == WireSecurity::kPlain) return text::kOverPlain;
    return connection->protocol + text::kEncryptedSuffix +
           (connection->caVerified ? text::kCaVouches : text::kAdminAccepted);
}

}  // namespace

std::string LoginStatusText(const LoginState& login,
                            const std::optional<ConnectionInfo>& connection) {
    return std::string(text::kLoggedInAs) + login.loginName + " (" +
           (login.IsSuper() ? text::kSuperLevel : text::kSecondLevel) + ")  " +
           text::kServerLabelStatus + login.server + " (" + CarrierText(connection) + ")";
}

std::string ConnectionDetailsText(const std::optional<ConnectionInfo>& connection) {
    if (!connection) return {};
    if (connection->security == WireSecurity::kPlain) return text::kPlainDetails;
    return std::string(text::kProtocolLine) + connection->protocol + "\n" + text::kCipherLine +
           connection->cipher + "\n" + text::kFingerprintLine + connection->fingerprint;
}

}  // namespace warden::console
