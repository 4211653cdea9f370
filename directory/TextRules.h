// What a directory accepts as a name or a free text. Everything it stores
// must come back intact through its XML answers (and, on LDAP, through the
// directory's UTF-8 syntaxes), so text is refused when it is not valid UTF-8
// or holds characters XML 1.0 cannot carry.
#pragma once

#include <string_view>

namespace warden {

// Department names, accounts and role names: not empty, valid UTF-8, no
// control characters. A department name may also not hold "\", which
// separates the names of a path.
// Each throws ImError(kInvalidArgument) from `source`, naming `what`, when
// the text is refused.
void CheckName(std::string_view source, std::string_view what, std::string_view name);
void CheckDeptName(std::string_view source, std::string_view name);

// Free texts (descriptions, user data): valid UTF-8; tab, line feed and
// carriage return are the only control characters allowed. May be empty.
void CheckText(std::string_view source, std::string_view what, std::string_view text);

// A text to search users for: valid UTF-8, at least two characters (one
// would match half the directory), no control characters.
void CheckSearchText(std::string_view source, std::string_view text);

// True when `text` is well-formed UTF-8 (no overlongs, surrogates or values
// above U+10FFFF).
bool IsValidUtf8(std::string_view text);

}  // namespace warden
