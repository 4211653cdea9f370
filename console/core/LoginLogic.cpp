#include "console/core/LoginLogic.h"

#include "console/core/ConsoleSocket.h"
#include "console/core/ConsoleTexts.h"
#include "console/core/FieldRules.h"
#include "console/core/ReplyMessage.h"
#include "protocol/NameRules.h"
#include "protocol/ParamKeys.h"
#include "protocol/Replies.h"
#include "protocol/RequestNames.h"
#include "protocol/SplitList.h"

namespace warden::console {

namespace {
// The password the shipped admin store gives the super administrator.
constexpr std::string_view kInitialSuperPassword = "admin";
}  // namespace

LoginLogic::LoginLogic(Transport& transport, MessageSink& sink, LoginState& state,
                       std::filesystem::path startDir)
    : m_transport(transport),
      m_sink(sink),
      m_state(state),
      m_configFile(startDir / kClientConfigName) {
    m_state.startDir = std::move(startDir);
}

ClientConfig LoginLogic::SavedConfig() const {
    if (std::optional<ClientConfig> saved = ReadClientConfig(m_configFile)) return *saved;
    return ClientConfig{{"", text::kDefaultTlsPort}, WireSecurity::kTls, {}};
}

ServerAddress LoginLogic::InitialServer() const {
    ClientConfig saved = SavedConfig();
    if (!saved.security) {
        saved.server.port = PortAfterSwitch(saved.server.port, WireSecurity::kTls);
    }
    return saved.server;
}

WireSecurity LoginLogic::InitialSecurity() const {
    return SavedConfig().security.value_or(WireSecurity::kTls);
}

std::string LoginLogic::PortAfterSwitch(std::string_view port, WireSecurity security) {
    const bool tls = security == WireSecurity::kTls;
    if (Trim(port) == (tls ? text::kDefaultPlainPort : text::kDefaultTlsPort)) {
        return tls ? text::kDefaultTlsPort : text::kDefaultPlainPort;
    }
    return std::string(port);
}

bool LoginLogic::FocusNameFirst(const ServerAddress& shown) {
    return !Trim(shown.address).empty();
}

LoginOutcome LoginLogic::Press(const LoginInput& input) {
    const std::string address(Trim(input.address));
    const std::string port(Trim(input.port));
    const std::string name(Trim(input.name));
    const std::string password(Trim(input.password));

    struct Check {
        const std::string& value;
        const char* message;
        LoginField field;
    };
    const Check checks[] = {
        {address, text::kEnterAddress, LoginField::kAddress},
        {name, text::kEnterLoginName, LoginField::kName},
        {password, text::kPasswordEmpty, LoginField::kPassword},
        {port, text::kEnterPort, LoginField::kPort},
    };
    for (const Check& check : checks) {
        if (check.value.empty()) {
            m_sink.ShowMessage(MessageIcon::kInformation, text::kCaptionHint, check.message);
            return {false, check.field};
        }
    }

    if (!IsServerAddress(address)) {
        m_sink.ShowMessage(MessageIcon::kInformation, text::kCaptionHint, text::kAddressInvalid);
        return {false, LoginField::kAddress};
    }
    if (!CheckFields(m_sink, {{text::kLoginNameField, name, FieldKind::kName, limits::kAccount}})) {
        return {false, LoginField::kName};
    }
    // A password with "`" or "?" would reach the server cut short or not at
    // all, and be refused as a wrong password or a wrong version.
    if (!CheckLoginPassword(m_sink, password)) return {false, LoginField::kPassword};

    // A folder we may not write to must not stop the login.
    ClientConfig config = ReadClientConfig(m_configFile).value_or(ClientConfig{});
    config.server = {address, port};
    config.security = input.security;
    WriteClientConfig(m_configFile, config);

    if (!m_transport.OpenConnection(address, port, input.security)) return {};
    m_state.server = address + ":" + port;

    std::string params;
    params.append(key::kUsername).append("=").append(name);
    params.append("`").append(key::kPassword).append("=").append(password);
    params.append("`").append(key::kVer).append("=").append(m_state.clientVersion);
    const std::string reply = m_transport.SendRequest(req::kLoginCheck, params);

    if (size_t at = reply.find(reply::kErrorPrefix); at != std::string::npos) {
        m_sink.ShowMessage(MessageIcon::kWarning, text::kCaptionError,
                           std::string_view(reply).substr(at + sizeof reply::kErrorPrefix - 1));
        return {};
    }
    if (reply.find("success") == std::string::npos) return {};
    const bool done = FinishLogin(name, reply);
    m_state.initialPassword =
        done && m_state.IsSuper() && password == kInitialSuperPassword;
    return {done, LoginField::kNone};
}

bool LoginLogic::ForgetCertificate(std::string_view address, std::string_view port) {
    const std::string server = std::string(Trim(address)) + ":" + std::string(Trim(port));
    std::optional<ClientConfig> config = ReadClientConfig(m_configFile);
    auto trusted = config ? config->trusted.find(TrustKey(address, port))
                          : std::map<std::string, std::string>::iterator{};
    if (!config || trusted == config->trusted.end()) {
        m_sink.ShowMessage(MessageIcon::kInformation, text::kCaptionHint,
                           std::string(text::kNoTrustedCertificate) + server);
        return false;
    }
    if (!m_sink.AskOkCancel(text::kCaptionConfirm, std::string(text::kForgetCertificateAsk1) +
                                                       server + text::kForgetCertificateAsk2 +
                                                       trusted->second +
                                                       text::kForgetCertificateAsk3)) {
        return false;
    }
    config->trusted.erase(trusted);
    if (!WriteClientConfig(m_configFile, *config)) {
        m_sink.ShowMessage(MessageIcon::kError, text::kCaptionError, text::kConfigNotWritten);
        return false;
    }
    m_sink.ShowMessage(MessageIcon::kInformation, text::kCaptionInfo,
                       std::string(text::kCertificateForgotten) + server);
    return true;
}

bool LoginLogic::FinishLogin(const std::string& name, const std::string& reply) {
    m_state.loginName = name;
    size_t bar = reply.find('|');
    size_t flagAt = bar == std::string::npos ? 0 : bar + 1;
    m_state.superFlag = reply.substr(flagAt, flagAt < reply.size() ? 1 : 0);
    m_state.managedDepts.clear();

    std::string params = std::string(key::kUsername) + "=" + name;
    const std::string raw = m_transport.SendRequest(req::kQueryUserAdminDepts, params);
    // No reply at all (time-out or a lost connection) is not an empty list of
    // departments: the login cannot be completed without knowing them.
    if (raw.empty()) return false;
    const std::string depts(Trim(raw));
    if (depts.empty()) return true;
    if (HasErrorPrefix(depts)) {  // a refusal is not a list of departments
        ShowReplyMessage(m_sink, depts);
        return false;
    }
    if (m_state.IsSuper()) return true;  // the super administrator manages everything
    if (depts.size() == 1) {
        m_sink.ShowMessage(MessageIcon::kInformation, text::kCaptionHint, text::kNoAdminRights);
        return false;
    }
    size_t depBar = depts.find('|');
    m_state.managedDepts = depBar == std::string::npos ? depts : depts.substr(depBar + 1);
    return true;
}

}  // namespace warden::console
