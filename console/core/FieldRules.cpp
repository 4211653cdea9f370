#include "console/core/FieldRules.h"

#include "console/core/ConsoleTexts.h"
#include "protocol/NameRules.h"

namespace warden::console {

std::string FieldProblem(const FieldCheck& check) {
    std::string label(check.label);
    if (label.ends_with(':')) label.pop_back();
    if (check.kind == FieldKind::kName && !IsCarriableName(check.text)) {
        return label + text::kNameCharsRefused;
    }
    if (!IsCarriableValue(check.text)) return label + text::kValueCharsRefused;
    if (CharacterCount(check.text) > check.maxChars) {
        return label + "不能超过" + std::to_string(check.maxChars) + "个字符";
    }
    return {};
}

bool CheckFields(MessageSink& sink, std::initializer_list<FieldCheck> checks) {
    for (const FieldCheck& check : checks) {
        if (std::string problem = FieldProblem(check); !problem.empty()) {
            sink.ShowMessage(MessageIcon::kInformation, text::kCaptionHint, problem);
            return false;
        }
    }
    return true;
}

bool CheckLoginPassword(MessageSink& sink, std::string_view password) {
    if (IsCarriableValue(password)) return true;
    sink.ShowMessage(MessageIcon::kInformation, text::kCaptionHint, text::kPasswordUnsendable);
    return false;
}

}  // namespace warden::console
