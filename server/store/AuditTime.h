// Times of the audit trail: UTC, stored and sent as fixed-width text
// "YYYY-MM-DDTHH:MM:SS.mmmZ", so that text order is time order in every
// database and a time range is a range of an index.
//
// Thread-safety: no state.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace warden {

std::string FormatAuditTime(std::chrono::system_clock::time_point when);

// Reads a time a person or a script gives as a filter bound: a date
// "YYYY-MM-DD", optionally followed by " " or "T" and "HH", "HH:MM",
// "HH:MM:SS" or "HH:MM:SS.mmm", optionally ending in "Z"; always UTC. The
// parts left out are filled so that the bound covers the whole period named:
// with zeros for a lower bound ("2024-05-01" is 00:00:00.000), with their
// largest value for an upper one (23:59:59.999). nullopt when the text is
// no such time or names a date that does not exist.
std::optional<std::string> ParseAuditTimeBound(std::string_view text, bool upper);

}  // namespace warden
