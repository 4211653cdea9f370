// The only bridge between the UTF-8 used inside both programs and the GBK
// text used on the wire. Thread-safe: each thread keeps its own converters.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace warden {

// GBK bytes to UTF-8; nullopt when the bytes are not valid GBK.
std::optional<std::string> GbkToUtf8(std::string_view gbk);

// UTF-8 to GBK; nullopt when the text is not valid UTF-8 or holds a
// character that GBK cannot carry.
std::optional<std::string> Utf8ToGbk(std::string_view utf8);

}  // namespace warden
