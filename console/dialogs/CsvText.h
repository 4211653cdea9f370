// Comma-separated text as spreadsheets write and read it: fields holding a
// comma, a double quote or a line break are quoted, a quote inside doubled;
// lines end in CRLF; files begin with a UTF-8 byte-order mark, without which
// spreadsheets read Chinese as another code page.
//
// Every value written goes through the formula guard: a value a spreadsheet
// would run as a formula (any account, name or reply text can be someone
// else's text) is led by "'", which spreadsheets show as plain text. Reading
// takes the guard off again, so a file written here reads back to the same
// values.
//
// Thread-safety: no state.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "console/core/MessageSink.h"

namespace warden::console {

inline constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";

// One field: guarded, then quoted when it needs it.
std::string CsvField(std::string_view value);

// The fields joined by "," and ended by CRLF.
std::string CsvLine(const std::vector<std::string>& values);

// The value a field that was read stands for: a "'" that the guard put
// before it is taken off.
std::string UnguardCsvValue(std::string field);

struct CsvRecord {
    int line = 0;  // where the record begins, from 1
    std::vector<std::string> fields;
};

struct CsvTable {
    std::vector<CsvRecord> records;  // blank lines are left out
    std::string error;               // set when a quoted field never ends
};

// Splits `text` (without byte-order mark) into records. Fields are returned
// as they stand in the file: quotes removed, guard kept. Lines may end in
// CRLF or LF; a quote inside an unquoted field is taken literally, as
// spreadsheets do.
CsvTable ParseCsv(std::string_view text);

// Writes the byte-order mark and `csv` to `file`. False, after a message, on
// failure.
bool SaveCsvFile(MessageSink& sink, const std::filesystem::path& file, std::string_view csv);

}  // namespace warden::console
