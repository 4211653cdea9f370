#include "protocol/AuditRecord.h"

#include <charconv>

#include "protocol/Replies.h"
#include "protocol/SplitList.h"

namespace warden {

namespace {

constexpr std::string_view kFullwidthBar = "\xEF\xBD\x9C";  // "｜"

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

std::string AuditPeer(const AuditRecord& record) {
    const std::string port = ":" + std::to_string(record.port);
    return record.address.find(':') != std::string::npos ? "[" + record.address + "]" + port
                                                         : record.address + port;
}

std::string FormatAuditLog(const std::vector<AuditRecord>& records) {
    if (records.empty()) return " ";
    std::string out;
    for (const AuditRecord& r : records) {
        if (!out.empty()) out += '\n';
        out += "id:" + std::to_string(r.id);
        out += "|time:" + AuditWireValue(r.time);
        out += "|account:" + AuditWireValue(r.account);
        out += "|level:" + AuditWireValue(r.level);
        out += "|address:" + AuditWireValue(r.address);
        out += "|port:" + std::to_string(r.port);
        out += "|request:" + AuditWireValue(r.request);
        out += "|target:" + AuditWireValue(r.target);
        out += "|outcome:" + AuditWireValue(r.outcome);
        out += "|detail:" + AuditWireValue(r.detail);
    }
    return out;
}

std::vector<AuditRecord> ParseAuditLog(std::string_view reply) {
    std::vector<AuditRecord> records;
    for (const std::string& line : SplitList(reply, "\n")) {
        if (Trim(line).empty()) continue;
        AuditRecord r;
        for (const std::string& field : SplitList(line, "|")) {
            const size_t colon = field.find(':');
            if (colon == std::string::npos) continue;
            const std::string_view key = std::string_view(field).substr(0, colon);
            std::string value = field.substr(colon + 1);
            if (key == "id") {
                r.id = ToNumber<int64_t>(value);
            } else if (key == "time") {
                r.time = std::move(value);
            } else if (key == "account") {
                r.account = std::move(value);
            } else if (key == "level") {
                r.level = std::move(value);
            } else if (key == "address") {
                r.address = std::move(value);
            } else if (key == "port") {
                r.port = ToNumber<int>(value);
            } else if (key == "request") {
                r.request = std::move(value);
            } else if (key == "target") {
                r.target = std::move(value);
            } else if (key == "outcome") {
                r.outcome = std::move(value);
            } else if (key == "detail") {
                r.detail = std::move(value);
            }
        }
        records.push_back(std::move(r));
    }
    return records;
}

}  // namespace warden
