#include "console/dialogs/ChangePasswordLogic.h"

#include "console/core/ConsoleTexts.h"
#include "console/core/FieldRules.h"
#include "console/core/ReplyMessage.h"
#include "console/dialogs/DialogTexts.h"
#include "console/dialogs/RequestParams.h"
#include "protocol/NameRules.h"
#include "protocol/ParamKeys.h"
#include "protocol/RequestNames.h"
#include "protocol/SplitList.h"

namespace warden::console {

namespace {
constexpr std::string_view kSuccess = "success";
}

ChangePasswordLogic::ChangePasswordLogic(Transport& transport, MessageSink& sink,
                                         const LoginState& login)
    : m_transport(transport), m_sink(sink), m_login(login) {}

PasswordOutcome ChangePasswordLogic::Submit(const PasswordInput& input) {
    const std::string_view newPassword = Trim(input.newPassword);
    const std::string_view confirmation = Trim(input.confirmation);

    // An empty password could be stored, but the console's login refuses an
    // empty password: the administrator would be locked out.
    if (newPassword.empty()) {
        m_sink.ShowMessage(MessageIcon::kInformation, text::kCaptionHint, text::kNewPasswordEmpty);
        return PasswordOutcome::kRetypeNew;
    }
    if (!CheckLoginPassword(m_sink, input.oldPassword)) return PasswordOutcome::kStayOpen;
    if (!CheckFields(m_sink, {{text::kNewPasswordLabel, newPassword, FieldKind::kValue,
                               limits::kPassword}})) {
        return PasswordOutcome::kRetypeNew;
    }

    // The old password first: a mismatched confirmation is not worth
    // mentioning to someone who may not be the administrator.
    std::string check = m_transport.SendRequest(
        req::kLoginCheck, ComposeParams({{key::kUsername, m_login.loginName},
                                         {key::kPassword, input.oldPassword},
                                         {key::kVer, m_login.clientVersion}}));
    // Without any reply the transport has already said why; the old password
    // was not found wrong.
    if (check.empty()) return PasswordOutcome::kStayOpen;
    if (check.find(kSuccess) == std::string::npos) {
        m_sink.ShowMessage(MessageIcon::kInformation, text::kCaptionHint, text::kOldPasswordWrong);
        return PasswordOutcome::kStayOpen;
    }
    if (newPassword != confirmation) {
        m_sink.ShowMessage(MessageIcon::kWarning, text::kCaptionHint, text::kPasswordsDiffer);
        return PasswordOutcome::kRetypeNew;
    }

    std::string reply = m_transport.SendRequest(
        req::kChangePwd,
        ComposeParams({{key::kUsername, m_login.loginName}, {key::kPassword, newPassword}}));
    if (reply.find(kSuccess) != std::string::npos) {
        m_sink.ShowMessage(MessageIcon::kInformation, text::kCaptionInfo, text::kPasswordChanged);
    } else {
        // A refused change must not pass for a done one.
        ShowReplyMessage(m_sink, reply);
    }
    return PasswordOutcome::kClose;
}

}  // namespace warden::console
