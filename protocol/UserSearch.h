// "SearchUsers.asp": its limits and its reply, shared by the server (which
// writes it) and the console (which reads it).
//
// Reply: keyed lines (KeyedLines.h), one per user found, with the fields
// account, name and depts: his departments as paths ("\销售部\华东区"), each
// followed by ";" (a second-level administrator gets only those in his
// scope). " " when nobody matches. At most "count" lines: a reply of that
// many may have left users out.
//
// Thread-safety: no state.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace warden {

namespace search_limits {
inline constexpr size_t kMinChars = 2;     // fewer would match half the directory
inline constexpr size_t kMaxChars = 254;   // the longest field searched (an e-mail)
inline constexpr int kDefaultCount = 100;
inline constexpr int kMaxCount = 500;
}  // namespace search_limits

struct UserHit {
    std::string account;
    std::string name;
    std::vector<std::string> depts;  // paths with the leading "\"

    bool operator==(const UserHit&) const = default;
};

std::string FormatUserSearch(const std::vector<UserHit>& hits);
std::vector<UserHit> ParseUserSearch(std::string_view reply);

}  // namespace warden
