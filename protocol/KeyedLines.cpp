#include "protocol/KeyedLines.h"

#include "protocol/SplitList.h"

namespace warden {

namespace {

constexpr std::string_view kFullwidthBar = "\xEF\xBD\x9C";  // "｜"

}  // namespace

std::string KeyedValue(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '|') {
            out += kFullwidthBar;
        } else if (byte < 0x20 || byte == 0x7F) {
            out += ' ';
        } else {
            out += c;
        }
    }
    return out;
}

std::string FormatKeyedLines(const std::vector<KeyedLine>& lines) {
    if (lines.empty()) return " ";
    std::string out;
    for (const KeyedLine& line : lines) {
        if (!out.empty()) out += '\n';
        bool first = true;
        for (const auto& [key, value] : line) {
            if (!first) out += '|';
            first = false;
            out += key;
            out += ':';
            out += KeyedValue(value);
        }
    }
    return out;
}

std::vector<KeyedFields> ParseKeyedLines(std::string_view reply) {
    std::vector<KeyedFields> records;
    for (const std::string& line : SplitList(reply, "\n")) {
        if (Trim(line).empty()) continue;
        KeyedFields fields;
        for (const std::string& field : SplitList(line, "|")) {
            const size_t colon = field.find(':');
            if (colon == std::string::npos) continue;
            fields[field.substr(0, colon)] = field.substr(colon + 1);
        }
        records.push_back(std::move(fields));
    }
    return records;
}

const std::string& FieldOf(const KeyedFields& fields, std::string_view key) {
    static const std::string kEmpty;
    auto it = fields.find(key);
    return it == fields.end() ? kEmpty : it->second;
}

}  // namespace warden
