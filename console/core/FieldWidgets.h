// How the console's input boxes behave and look: each stops at its field's
// length limit (counted in characters, as protocol/NameRules.h counts them),
// and a box the user cannot change looks unchangeable.
//
// Thread-safety: GUI thread only.
#pragma once

#include <cstddef>

class QLineEdit;
class QPlainTextEdit;

namespace warden::console {

// Typing or pasting beyond `maxChars` characters is refused.
void LimitLength(QLineEdit* box, size_t maxChars);
// Text beyond `maxChars` characters is cut off as it arrives.
void LimitLength(QPlainTextEdit* box, size_t maxChars);

// Makes the box read-only (or editable again) and gives it the window's
// background while it is read-only, so that it does not invite typing.
void SetReadOnly(QLineEdit* box, bool readOnly = true);
void SetReadOnly(QPlainTextEdit* box, bool readOnly = true);

}  // namespace warden::console
