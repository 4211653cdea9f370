// The only bridge between the UTF-8 used inside both programs and the GBK
// (code page 936) text of the wire and of files brought from older
// installations.
//
// Every sequence code page 936 accepts is read, and written back unchanged:
// the user-defined areas (AAA1–AFFE, F8A1–FEFE, A140–A7A0), where sites keep
// rare characters of people's names, and the other unassigned codes come in
// as private-use characters (U+E000–U+E864), as code page 936 reads them;
// 0x80 is the euro sign and 0xFF is U+F8F5.
//
// Thread-safe and free of resources: the tables are compiled in, so a
// conversion never opens anything and cannot fail but on its input.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace warden {

// GBK bytes to UTF-8; nullopt when the bytes are not valid code page 936.
std::optional<std::string> GbkToUtf8(std::string_view gbk);

// UTF-8 to GBK; nullopt when the text is not valid UTF-8 or holds a
// character that GBK cannot carry.
std::optional<std::string> Utf8ToGbk(std::string_view utf8);

// What Utf8ToGbkSubstituting writes for a character GBK cannot carry: the
// full-width question mark "？" (A3 BF). Not the ASCII "?", which would
// break a request apart if a console sent the text back.
inline constexpr const char kGbkSubstitute[] = "\xA3\xBF";

// UTF-8 to GBK for text that must reach the peer whatever it holds: each
// character GBK cannot carry, and each byte that is not valid UTF-8, becomes
// kGbkSubstitute; everything else is converted as Utf8ToGbk does.
std::string Utf8ToGbkSubstituting(std::string_view utf8);

// The text of a configuration file: UTF-8 when the bytes are valid UTF-8
// (a leading byte-order mark dropped), otherwise read as GBK, the encoding
// of files brought from older installations. nullopt when it is neither.
std::optional<std::string> ConfigTextToUtf8(std::string_view bytes);

}  // namespace warden
