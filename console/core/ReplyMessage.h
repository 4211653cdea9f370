// How the console shows the text of an "error:" or "info:" reply, and the
// tests every window makes on a reply.
#pragma once

#include <string_view>

#include "console/core/MessageSink.h"

namespace warden::console {

// Shows what follows the first "error:" (captioned "错误", error icon), or,
// when there is none, what follows the first "info:" (captioned "信息",
// information icon). Any other reply shows nothing.
void ShowReplyMessage(MessageSink& sink, std::string_view reply);

// An empty reply means that none came (the transport has said why): tells
// the user that what he submitted was not saved and returns true. Returns
// false, showing nothing, for any other reply.
bool ShowUnsavedWithoutReply(MessageSink& sink, std::string_view reply);

// True when "error:" occurs anywhere in the reply.
bool HasErrorPrefix(std::string_view reply);

// True when "info:" occurs anywhere in the reply.
bool HasInfoPrefix(std::string_view reply);

}  // namespace warden::console
