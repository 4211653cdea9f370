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
constexpr std::string_view kOldPasswordRefused = "error:原密码错误";
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

    if (newPassword != confirmation) {
        m_sink.ShowMessage(MessageIcon::kWarning, text::kCaptionHint, text::kPasswordsDiffer);
        return PasswordOutcome::kRetypeNew;
    }

    // The server checks the old password with the change, and counts a
    // wrong one as a failed login.
    std::string reply = m_transport.SendRequest(
        req::kChangePwd, ComposeParams({{key::kUsername, m_login.loginName},
                                        {key::kOldPassword, input.oldPassword},
                                        {key::kPassword, newPassword}}));
    // Without any reply the transport has already said why.
    if (reply.empty()) return PasswordOutcome::kStayOpen;
    if (reply == kOldPasswordRefused) {
        m_sink.ShowMessage(MessageIcon::kInformation, text::kCaptionHint, text::kOldPasswordWrong);
        return PasswordOutcome::kStayOpen;
    }
    if (reply.find(kSuccess) != std::string::npos) {
        m_sink.ShowMessage(MessageIcon::kInformation, text::kCaptionInfo, text::kPasswordChanged);
    } else {
        // A refused change must not pass for a done one.
        ShowReplyMessage(m_sink, reply);
    }
    return PasswordOutcome::kClose;
}

}  // namespace warden::console
