// The one list-cutting rule both programs use for every list on the wire.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace warden {

// Cuts `text` at every character found in `delimiters`. Runs of delimiters
// count as one and delimiters at either end produce nothing, so no piece is
// ever empty; an empty text or a text of delimiters only gives no pieces.
// Works on UTF-8, so a delimiter never matches inside a multi-byte character.
std::vector<std::string> SplitList(std::string_view text, std::string_view delimiters);

// Removes ASCII white space (space, \t, \r, \n, \v, \f) from both ends.
std::string_view Trim(std::string_view text);
std::string_view TrimLeft(std::string_view text);

// ASCII case-insensitive comparison, the "any case" of the protocol.
bool EqualsNoCase(std::string_view a, std::string_view b);

// `text` with the ASCII letters in lower case; other bytes unchanged.
std::string LowerAscii(std::string_view text);

}  // namespace warden
