// The audit trail's times as the reader meets them: the server keeps and
// sends UTC ("2024-05-01T08:30:00.250Z"); the window shows them, and takes
// its bounds, in the console's own time zone.
//
// Thread-safety: no state.
#pragma once

#include <QTimeZone>
#include <optional>
#include <string>
#include <string_view>

namespace warden::console {

// A bound typed in `zone`: "2024-05-01", optionally followed by " " or "T"
// and "HH", "HH:MM" or "HH:MM:SS". The parts left out make the bound cover
// the whole period it names: a lower bound starts it, an upper one
// (`upper`) ends it (its last millisecond). Returned as the UTC text the
// server takes; nullopt for anything else, or a date that does not exist.
std::optional<std::string> LocalBoundToUtc(std::string_view text, bool upper,
                                           const QTimeZone& zone);

// A UTC time of the trail as "2024-05-01 16:30:00" in `zone`; the text as
// it came when it is no such time.
std::string LocalTimeText(const std::string& utc, const QTimeZone& zone);

// The offset `zone` has now, "UTC+08:00": what the window's headings name.
std::string ZoneOffsetLabel(const QTimeZone& zone);

// "Asia/Shanghai (UTC+08:00)", or the offset alone for a zone without a name.
std::string ZoneLabel(const QTimeZone& zone);

}  // namespace warden::console
