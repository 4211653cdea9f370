#include "protocol/GbkCodec.h"

#include <array>
#include <cstdint>

namespace warden {

namespace {

#include "GbkTable.inc"  // generated at build time by GbkTableGenerator

constexpr int kTrails = 190;
constexpr uint32_t kEuro = 0x20AC;      // the single byte 0x80
constexpr uint32_t kByteFF = 0xF8F5;    // the single byte 0xFF
constexpr uint32_t kNoCharacter = ~0u;  // a malformed UTF-8 sequence

constexpr int Slot(unsigned lead, unsigned trail) {
    if (lead < 0x81 || lead > 0xFE) return -1;
    if (trail < 0x40 || trail == 0x7F || trail > 0xFE) return -1;
    return static_cast<int>((lead - 0x81) * kTrails + (trail < 0x7F ? trail - 0x40 : trail - 0x41));
}

// Unicode (the BMP) to GBK: a two-byte code, a single byte above 0x7F for
// the two single-byte characters, or 0 where GBK has no sequence.
constexpr std::array<uint16_t, 0x10000> BuildEncodeTable() {
    std::array<uint16_t, 0x10000> table{};
    for (int i = 0; i < static_cast<int>(std::size(kGbkDoubleByte)); ++i) {
        const int lead = 0x81 + i / kTrails;
        const int t = i % kTrails;
        const int trail = t < 0x3F ? 0x40 + t : 0x41 + t;
        table[kGbkDoubleByte[i]] = static_cast<uint16_t>(lead << 8 | trail);
    }
    table[kEuro] = 0x80;
    table[kByteFF] = 0xFF;
    return table;
}

constexpr std::array<uint16_t, 0x10000> kEncode = BuildEncodeTable();

// Writes `cp` (below U+10000) as UTF-8 at `out` and returns the end.
inline char* PutUtf8(char* out, uint32_t cp) {
    if (cp < 0x80) {
        *out++ = static_cast<char>(cp);
    } else if (cp < 0x800) {
        *out++ = static_cast<char>(0xC0 | cp >> 6);
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        *out++ = static_cast<char>(0xE0 | cp >> 12);
        *out++ = static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
    return out;
}

// The code point starting at `i`, strictly (no overlongs, surrogates or
// values above U+10FFFF); advances `i` past it, or by one byte and returns
// kNoCharacter when the bytes there are not UTF-8.
uint32_t NextCodePoint(std::string_view text, size_t& i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned lead = byte(i);
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    size_t length;
    uint32_t cp;
    uint32_t min;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, cp = lead & 0x1F, min = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, cp = lead & 0x0F, min = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, cp = lead & 0x07, min = 0x10000;
    } else {
        ++i;
        return kNoCharacter;
    }
    if (text.size() - i < length) {
        ++i;
        return kNoCharacter;
    }
    for (size_t k = 1; k < length; ++k) {
        const unsigned next = byte(i + k);
        if ((next & 0xC0) != 0x80) {
            ++i;
            return kNoCharacter;
        }
        cp = cp << 6 | (next & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return kNoCharacter;
    }
    i += length;
    return cp;
}

// Writes the GBK form of `cp` at `out` and returns the end; nullptr when
// GBK has none. Never writes more than two bytes.
inline char* PutGbk(char* out, uint32_t cp) {
    if (cp < 0x80) {
        *out++ = static_cast<char>(cp);
        return out;
    }
    if (cp > 0xFFFF || kEncode[cp] == 0) return nullptr;
    const uint16_t code = kEncode[cp];
    if (code > 0xFF) *out++ = static_cast<char>(code >> 8);
    *out++ = static_cast<char>(code & 0xFF);
    return out;
}

// Encodes `utf8`; `substitute` decides what a character GBK cannot carry, or
// a byte that is not UTF-8, becomes (nullptr: the conversion fails).
std::optional<std::string> Encode(std::string_view utf8, const char* substitute) {
    // A character never grows in GBK; only a substitute for one bad byte does.
    std::string out(substitute ? utf8.size() * 2 : utf8.size(), '\0');
    char* end = out.data();
    for (size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {  // the common case, kept short
            *end++ = static_cast<char>(lead);
            ++i;
            continue;
        }
        const uint32_t cp = NextCodePoint(utf8, i);
        char* next = cp == kNoCharacter ? nullptr : PutGbk(end, cp);
        if (next == nullptr) {
            if (substitute == nullptr) return std::nullopt;
            *end++ = substitute[0];
            *end++ = substitute[1];
        } else {
            end = next;
        }
    }
    out.resize(static_cast<size_t>(end - out.data()));
    return out;
}

bool IsUtf8(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        if (NextCodePoint(text, i) == kNoCharacter) return false;
    }
    return true;
}

}  // namespace

std::optional<std::string> GbkToUtf8(std::string_view gbk) {
    // A two-byte character takes three bytes in UTF-8, an ASCII one one; the
    // two single-byte characters take three and make room for themselves.
    std::string out(gbk.size() + gbk.size() / 2 + 1, '\0');
    char* end = out.data();
    for (size_t i = 0; i < gbk.size(); ++i) {
        const auto lead = static_cast<unsigned char>(gbk[i]);
        if (lead < 0x80) {
            *end++ = static_cast<char>(lead);
        } else if (lead == 0x80 || lead == 0xFF) {
            const auto at = static_cast<size_t>(end - out.data());
            out.resize(out.size() + 2);
            end = PutUtf8(out.data() + at, lead == 0x80 ? kEuro : kByteFF);
        } else {
            if (i + 1 == gbk.size()) return std::nullopt;
            const int slot = Slot(lead, static_cast<unsigned char>(gbk[++i]));
            if (slot < 0) return std::nullopt;
            end = PutUtf8(end, kGbkDoubleByte[slot]);
        }
    }
    out.resize(static_cast<size_t>(end - out.data()));
    return out;
}

std::optional<std::string> Utf8ToGbk(std::string_view utf8) {
    return Encode(utf8, nullptr);
}

std::string Utf8ToGbkSubstituting(std::string_view utf8) {
    return *Encode(utf8, kGbkSubstitute);
}

std::optional<std::string> ConfigTextToUtf8(std::string_view bytes) {
    if (IsUtf8(bytes)) {
        if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
        return std::string(bytes);
    }
    return GbkToUtf8(bytes);
}

}  // namespace warden
