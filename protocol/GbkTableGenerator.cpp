// Build tool: writes the double-byte table of code page 936 as C++ source,
// so the codec needs nothing at run time (no converter to open, nothing that
// can fail at a descriptor limit).
//
// Code page 936 gives every lead byte 0x81–0xFE with every trail byte
// 0x40–0x7E, 0x80–0xFE a character: 23,940 sequences. glibc's GBK knows all
// of them but for the user-defined areas and a few gaps, which code page 936
// maps to the private-use area: AAA1–AFFE from U+E000, F8A1–FEFE from U+E234,
// A140–A7A0 from U+E4C6, then the gaps listed below, in code order, from
// U+E766 to U+E864. The assigned characters come from glibc; the build fails
// when glibc disagrees with this picture, rather than produce a table that
// does not round-trip.
//
// Usage: gbk-table-generator OUTPUT
#include <iconv.h>

#include <cstdint>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int kLeads = 0xFE - 0x81 + 1;  // 126
constexpr int kTrails = 190;             // 0x40–0x7E and 0x80–0xFE

int TrailByte(int index) {
    return index < 0x3F ? 0x40 + index : 0x41 + index;
}

// The gaps of GBK outside the user-defined areas, as inclusive ranges.
constexpr uint16_t kGaps[][2] = {
    {0xA2AB, 0xA2B0}, {0xA2E3, 0xA2E4}, {0xA2EF, 0xA2F0}, {0xA2FD, 0xA2FE}, {0xA4F4, 0xA4FE},
    {0xA5F7, 0xA5FE}, {0xA6B9, 0xA6C0}, {0xA6D9, 0xA6DF}, {0xA6EC, 0xA6ED}, {0xA6F3, 0xA6F3},
    {0xA6F6, 0xA6FE}, {0xA7C2, 0xA7D0}, {0xA7F2, 0xA7FE}, {0xA896, 0xA8A0}, {0xA8BC, 0xA8BC},
    {0xA8BF, 0xA8BF}, {0xA8C1, 0xA8C4}, {0xA8EA, 0xA8FE}, {0xA958, 0xA958}, {0xA95B, 0xA95B},
    {0xA95D, 0xA95F}, {0xA989, 0xA995}, {0xA997, 0xA9A3}, {0xA9F0, 0xA9FE}, {0xD7FA, 0xD7FE},
    {0xFE50, 0xFE7E}, {0xFE80, 0xFEA0},
};

// The private-use code point of every sequence glibc does not know.
std::vector<std::pair<uint16_t, uint16_t>> PrivateUseMapping() {
    std::vector<std::pair<uint16_t, uint16_t>> out;
    uint16_t next = 0xE000;
    auto area = [&](int leadFrom, int leadTo, int trailFrom, int trailTo) {
        for (int lead = leadFrom; lead <= leadTo; ++lead) {
            for (int trail = trailFrom; trail <= trailTo; ++trail) {
                if (trail == 0x7F) continue;
                out.emplace_back(static_cast<uint16_t>(lead << 8 | trail), next++);
            }
        }
    };
    area(0xAA, 0xAF, 0xA1, 0xFE);
    area(0xF8, 0xFE, 0xA1, 0xFE);
    area(0xA1, 0xA7, 0x40, 0xA0);
    for (const auto& gap : kGaps) {
        for (int code = gap[0]; code <= gap[1]; ++code) {
            if ((code & 0xFF) == 0x7F) continue;
            out.emplace_back(static_cast<uint16_t>(code), next++);
        }
    }
    return out;
}

// glibc's reading of one sequence: a single code point, or 0 when refused.
uint32_t Glibc(iconv_t cd, uint16_t code) {
    char in[2] = {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
    uint32_t out[2] = {};
    char* src = in;
    size_t srcLeft = sizeof in;
    char* dst = reinterpret_cast<char*>(out);
    size_t dstLeft = sizeof out;
    ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (::iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1)) return 0;
    if (srcLeft != 0 || sizeof out - dstLeft != sizeof(uint32_t)) return 0;
    return out[0];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: gbk-table-generator OUTPUT\n", stderr);
        return 2;
    }
    iconv_t cd = ::iconv_open("UTF-32LE", "GBK");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        std::perror("iconv_open GBK");
        return 1;
    }
    std::vector<uint16_t> table(kLeads * kTrails, 0);
    auto slot = [](uint16_t code) {
        int trail = code & 0xFF;
        return ((code >> 8) - 0x81) * kTrails + (trail < 0x7F ? trail - 0x40 : trail - 0x41);
    };
    for (const auto& [code, unicode] : PrivateUseMapping()) table[slot(code)] = unicode;

    std::set<uint32_t> seen;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int t = 0; t < kTrails; ++t) {
            const auto code = static_cast<uint16_t>(lead << 8 | TrailByte(t));
            const uint32_t known = Glibc(cd, code);
            uint16_t& entry = table[slot(code)];
            if (known != 0 && entry != 0) {
                std::fprintf(stderr, "glibc assigns %04X, which code page 936 leaves private\n",
                             code);
                return 1;
            }
            if (known == 0 && entry == 0) {
                std::fprintf(stderr, "glibc refuses %04X, which code page 936 assigns\n", code);
                return 1;
            }
            if (known > 0xFFFF || (known >= 0xE000 && known <= 0xF8FF)) {
                std::fprintf(stderr, "glibc maps %04X outside the assigned BMP\n", code);
                return 1;
            }
            if (known != 0) entry = static_cast<uint16_t>(known);
            if (!seen.insert(entry).second) {
                std::fprintf(stderr, "U+%04X has two sequences\n", entry);
                return 1;
            }
        }
    }
    ::iconv_close(cd);

    std::FILE* out = std::fopen(argv[1], "w");
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }
    std::fputs("// Generated by gbk-table-generator; do not edit.\n", out);
    std::fprintf(out, "inline constexpr uint16_t kGbkDoubleByte[%d] = {\n", kLeads * kTrails);
    for (size_t i = 0; i < table.size(); ++i) {
        std::fprintf(out, "0x%04X,%s", table[i], i % 12 == 11 ? "\n" : "");
    }
    std::fputs("};\n", out);
    return std::fclose(out) == 0 ? 0 : 1;
}
