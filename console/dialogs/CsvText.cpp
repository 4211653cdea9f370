#include "console/dialogs/CsvText.h"

#include <fstream>

#include "console/core/ConsoleTexts.h"

namespace warden::console {

namespace {

constexpr std::string_view kFormulaStarts = "=+-@\t\r";
constexpr const char kNotSaved[] = "保存文件失败";

// True when a spreadsheet would take `value` for a formula, or for a value
// the guard has already led by "'": such a value gets one more "'", so that
// taking one off on reading always gives the value back.
bool NeedsGuard(std::string_view value) {
    size_t first = value.find_first_not_of('\'');
    return first != std::string_view::npos && kFormulaStarts.find(value[first]) != std::string_view::npos;
}

}  // namespace

std::string CsvField(std::string_view value) {
    std::string text(value);
    if (NeedsGuard(text)) text.insert(0, "'");
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::string CsvLine(const std::vector<std::string>& values) {
    std::string line;
    for (size_t i = 0; i < values.size(); ++i) {
        if (i > 0) line += ',';
        line += CsvField(values[i]);
    }
    return line + "\r\n";
}

std::string UnguardCsvValue(std::string field) {
    if (field.starts_with('\'') && NeedsGuard(std::string_view(field).substr(1))) field.erase(0, 1);
    return field;
}

CsvTable ParseCsv(std::string_view text) {
    CsvTable table;
    CsvRecord record;
    std::string field;
    int line = 1;
    size_t i = 0;
    auto endRecord = [&] {
        record.fields.push_back(std::move(field));
        field.clear();
        // A line with nothing on it is no record.
        if (record.fields.size() > 1 || !record.fields[0].empty()) {
            table.records.push_back(std::move(record));
        }
        record = CsvRecord{};
    };
    record.line = line;
    while (i < text.size()) {
        char c = text[i];
        if (c == '"' && field.empty()) {
            // A quoted field: up to the quote not doubled.
            const int opened = line;
            ++i;
            for (;;) {
                if (i >= text.size()) {
                    table.error = "第" + std::to_string(opened) + "行的引号没有结束";
                    return table;
                }
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                if (text[i] == '\n') ++line;
                field += text[i++];
            }
            continue;
        }
        if (c == ',') {
            record.fields.push_back(std::move(field));
            field.clear();
            ++i;
            continue;
        }
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        if (c == '\n' || c == '\r') {
            endRecord();
            ++i;
            record.line = ++line;
            continue;
        }
        field += c;
        ++i;
    }
    if (!field.empty() || !record.fields.empty()) endRecord();
    return table;
}

bool SaveCsvFile(MessageSink& sink, const std::filesystem::path& file, std::string_view csv) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << kUtf8Bom << csv;
    out.close();
    if (!out) {
        sink.ShowMessage(MessageIcon::kError, text::kCaptionError,
                         std::string(kNotSaved) + ": " + file.string());
        return false;
    }
    return true;
}

}  // namespace warden::console
