#include "protocol/AuditRecord.h"

#include <charconv>

#include "protocol/KeyedLines.h"
#include "protocol/Replies.h"

namespace warden {

namespace {

template <typename Number>
Number ToNumber(std::string_view text) {
    Number value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

}  // namespace

const char* AuditOutcomeKind(std::string_view outcome) {
    if (outcome == reply::kNotPermitted) return audit_outcome::kRefused;
    if (outcome.starts_with(reply::kErrorPrefix)) return audit_outcome::kFailed;
    return audit_outcome::kSuccess;
}

std::string AuditWireValue(std::string_view value) {
    return KeyedValue(value);
}

std::string AuditPeer(const AuditRecord& record) {
    const std::string port = ":" + std::to_string(record.port);
    return record.address.find(':') != std::string::npos ? "[" + record.address + "]" + port
                                                         : record.address + port;
}

std::string FormatAuditLog(const std::vector<AuditRecord>& records) {
    std::vector<KeyedLine> lines;
    lines.reserve(records.size());
    for (const AuditRecord& r : records) {
        lines.push_back({{"id", std::to_string(r.id)},
                         {"time", r.time},
                         {"account", r.account},
                         {"level", r.level},
                         {"address", r.address},
                         {"port", std::to_string(r.port)},
                         {"request", r.request},
                         {"target", r.target},
                         {"outcome", r.outcome},
                         {"detail", r.detail}});
    }
    return FormatKeyedLines(lines);
}

std::vector<AuditRecord> ParseAuditLog(std::string_view reply) {
    std::vector<AuditRecord> records;
    for (const KeyedFields& f : ParseKeyedLines(reply)) {
        AuditRecord r;
        r.id = ToNumber<int64_t>(FieldOf(f, "id"));
        r.time = FieldOf(f, "time");
        r.account = FieldOf(f, "account");
        r.level = FieldOf(f, "level");
        r.address = FieldOf(f, "address");
        r.port = ToNumber<int>(FieldOf(f, "port"));
        r.request = FieldOf(f, "request");
        r.target = FieldOf(f, "target");
        r.outcome = FieldOf(f, "outcome");
        r.detail = FieldOf(f, "detail");
        records.push_back(std::move(r));
    }
    return records;
}

}  // namespace warden
