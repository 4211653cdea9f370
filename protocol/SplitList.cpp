#include "protocol/SplitList.h"

namespace warden {

std::vector<std::string> SplitList(std::string_view text, std::string_view delimiters) {
    std::vector<std::string> pieces;
    size_t start = 0;
    while (start < text.size()) {
        start = text.find_first_not_of(delimiters, start);
        if (start == std::string_view::npos) break;
        size_t end = text.find_first_of(delimiters, start);
        if (end == std::string_view::npos) end = text.size();
        pieces.emplace_back(text.substr(start, end - start));
        start = end;
    }
    return pieces;
}

namespace {
constexpr std::string_view kWhiteSpace = " \t\r\n\v\f";
}

std::string_view TrimLeft(std::string_view text) {
    size_t first = text.find_first_not_of(kWhiteSpace);
    return first == std::string_view::npos ? std::string_view{} : text.substr(first);
}

std::string_view Trim(std::string_view text) {
    text = TrimLeft(text);
    size_t last = text.find_last_not_of(kWhiteSpace);
    return last == std::string_view::npos ? std::string_view{} : text.substr(0, last + 1);
}

std::string LowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x += 'a' - 'A';
        if (y >= 'A' && y <= 'Z') y += 'a' - 'A';
        if (x != y) return false;
    }
    return true;
}

}  // namespace warden
