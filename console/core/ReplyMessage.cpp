#include "console/core/ReplyMessage.h"

#include "console/core/ConsoleTexts.h"
#include "protocol/Replies.h"

namespace warden::console {

namespace {

// The text after the first `prefix`, or nothing when `reply` lacks it.
bool TextAfter(std::string_view reply, std::string_view prefix, std::string_view& text) {
    size_t at = reply.find(prefix);
    if (at == std::string_view::npos) return false;
    text = reply.substr(at + prefix.size());
    return true;
}

}  // namespace

void ShowReplyMessage(MessageSink& sink, std::string_view reply) {
    std::string_view text;
    if (TextAfter(reply, reply::kErrorPrefix, text)) {
        sink.ShowMessage(MessageIcon::kError, text::kCaptionError, text);
    } else if (TextAfter(reply, reply::kInfoPrefix, text)) {
        sink.ShowMessage(MessageIcon::kInformation, text::kCaptionInfo, text);
    }
}

bool ShowUnsavedWithoutReply(MessageSink& sink, std::string_view reply) {
    if (!reply.empty()) return false;
    sink.ShowMessage(MessageIcon::kWarning, text::kCaptionHint, text::kNotSavedWithoutReply);
    return true;
}

bool HasErrorPrefix(std::string_view reply) {
    return reply.find(reply::kErrorPrefix) != std::string_view::npos;
}

bool HasInfoPrefix(std::string_view reply) {
    return reply.find(reply::kInfoPrefix) != std::string_view::npos;
}

}  // namespace warden::console
