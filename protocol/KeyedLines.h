// The reply form of the requests that list records (the audit trail, the
// users a search finds, what an administrator may do): " " when there is
// nothing; otherwise one line per record, lines separated by "\n", each line
// fields "key:value" separated by "|". Every field carries its key, so an
// empty value still leaves a piece that SplitList keeps, and a reader looks
// fields up by key (an unknown key is skipped, so fields can be added).
// Nothing is escaped on the wire: inside a value "|" is sent as "｜"
// (fullwidth, which GBK carries) and every control character as a space; the
// value after the first ":" is taken whole.
//
// Thread-safety: no state.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace warden {

// One record's fields, in the order they are sent.
using KeyedLine = std::vector<std::pair<std::string_view, std::string>>;
// One record's fields as read back, by key.
using KeyedFields = std::map<std::string, std::string, std::less<>>;

// `value` with "|" replaced by "｜" and control characters by spaces.
std::string KeyedValue(std::string_view value);

std::string FormatKeyedLines(const std::vector<KeyedLine>& lines);

// The records of a reply of FormatKeyedLines; none for " ". A key that comes
// twice in a line keeps its last value.
std::vector<KeyedFields> ParseKeyedLines(std::string_view reply);

// The value of `key`, or the empty text.
const std::string& FieldOf(const KeyedFields& fields, std::string_view key);

}  // namespace warden
