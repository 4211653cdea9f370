// The console's check of typed text before it goes into a request. Nothing is
// escaped on the wire, so a value holding "`" or "?" would be cut short or
// would empty the whole request, and a name holding one of the list
// separators could be created but never named again. Such text is refused
// here, with one message that names the characters, before anything is sent;
// so is text longer than the field's limit in protocol/NameRules.h.
//
// Thread-safety: no state.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

#include "console/core/MessageSink.h"

namespace warden::console {

enum class FieldKind {
    kName,   // a department, role or account name: the reserved set is refused
    kValue,  // any other text: "`" and "?" are refused
};

struct FieldCheck {
    std::string_view label;  // the field's label; a trailing ":" is left out
    std::string_view text;
    FieldKind kind;
    size_t maxChars;
};

// The message for `check`, or the empty text when it passes.
std::string FieldProblem(const FieldCheck& check);

// Shows the problem of the first failing field ("提示", information icon) and
// returns false; true when every field passes.
bool CheckFields(MessageSink& sink, std::initializer_list<FieldCheck> checks);

// A password that the login would have to send but cannot. The password is
// not refused: it simply cannot reach the server.
bool CheckLoginPassword(MessageSink& sink, std::string_view password);

}  // namespace warden::console
