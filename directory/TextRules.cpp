#include "directory/TextRules.h"

#include <string>

#include "directory/ImError.h"

namespace warden {

namespace {

[[noreturn]] void Refuse(std::string_view source, std::string_view what, std::string_view why) {
    throw ImError(im_code::kInvalidArgument, std::string(source),
                  std::string(what) + " " + std::string(why));
}

bool IsControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t length;
        uint32_t cp;
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + length > text.size()) return false;
        for (size_t k = 1; k < length; ++k) {
            const auto t = static_cast<unsigned char>(text[i + k]);
            if ((t & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (t & 0x3F);
        }
        if ((length == 3 && cp < 0x800) || (length == 4 && cp < 0x10000) || cp > 0x10FFFF ||
            (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        i += length;
    }
    return true;
}

void CheckName(std::string_view source, std::string_view what, std::string_view name) {
    if (name.empty()) Refuse(source, what, "is empty");
    if (!IsValidUtf8(name)) Refuse(source, what, "is not valid UTF-8");
    for (char c : name) {
        if (IsControl(static_cast<unsigned char>(c)))
            Refuse(source, what, "holds a control character");
    }
}

void CheckDeptName(std::string_view source, std::string_view name) {
    CheckName(source, "department name", name);
    if (name.find('\\') != std::string_view::npos)
        Refuse(source, "department name", "holds \"\\\"");
}

void CheckText(std::string_view source, std::string_view what, std::string_view text) {
    if (!IsValidUtf8(text)) Refuse(source, what, "is not valid UTF-8");
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (IsControl(u) && c != '\t' && c != '\n' && c != '\r') {
            Refuse(source, what, "holds a control character");
        }
    }
}

void CheckSearchText(std::string_view source, std::string_view text) {
    if (!IsValidUtf8(text)) Refuse(source, "the search text", "is not valid UTF-8");
    size_t characters = 0;
    for (char c : text) {
        if (IsControl(static_cast<unsigned char>(c))) {
            Refuse(source, "the search text", "holds a control character");
        }
        characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }
    if (characters < 2) Refuse(source, "the search text", "is too short");
}

}  // namespace warden
