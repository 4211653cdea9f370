// Fuzzes the path every request takes before a handler sees it: GBK decoding,
// trimming and parsing. Checks the parser's invariants, not just "no crash".
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "protocol/GbkCodec.h"
#include "protocol/ParamMap.h"
#include "protocol/SplitList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view wire(reinterpret_cast<const char*>(data), size);
    auto text = warden::GbkToUtf8(wire);
    if (!text) return 0;
    // Every valid GBK text comes back byte for byte.
    if (warden::Utf8ToGbk(*text) != std::string(wire)) std::abort();

    warden::ParsedRequest request = warden::ParseRequest(*text);
    if (request.name.find('?') != std::string::npos) std::abort();
    for (const auto& [key, value] : request.params) {
        if (key.find('=') != std::string::npos || key.find('`') != std::string::npos) std::abort();
        if (value.find('`') != std::string::npos || value.find('?') != std::string::npos) {
            std::abort();
        }
    }
    for (const std::string& piece : warden::SplitList(*text, ",|\\")) {
        if (piece.empty() || piece.find_first_of(",|\\") != std::string::npos) std::abort();
    }
    return 0;
}
