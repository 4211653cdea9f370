#include "server/dispatch/AuditRecorder.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>

#include "protocol/ParamKeys.h"
#include "protocol/RequestNames.h"
#include "server/store/AdminStore.h"
#include "server/store/AuditTrail.h"

namespace warden {

namespace {

// The keys whose value names what a request is about, tried in order.
struct TargetKeys {
    std::string_view request;
    std::array<std::string_view, 2> keys;
};

constexpr TargetKeys kTargets[] = {
    {req::kDeptAdd, {key::kParentDept, key::kDeptIdLower}},  // the new department's path
    {req::kDeptDelete, {key::kDeptIdLower}},
    {req::kDeptChange, {key::kOrigDeptName}},
    {req::kSetDeptOrder, {key::kDeptNameMixed}},
    {req::kGetChildDepts, {key::kDeptIdMixed}},
    {req::kGetDeptUsers, {key::kDeptIdMixed}},
    {req::kGetSameLevelDepts, {key::kDeptIdMixed}},
    {req::kRoleAdmin, {key::kName}},
    {req::kUpdateRoleRight, {key::kName}},
    {req::kGetRoleDescription, {key::kRoleName}},
    {req::kGetRightsOfRole, {key::kRoleName}},
    {req::kGetAuditLog, {key::kAccount}},
};

// Longest value kept, in bytes; a request may carry a megabyte.
constexpr size_t kMaxValue = 1000;

// A key that names a password in any spelling, or the empty key (where a
// value sent without its "key=" lands): its value is never recorded.
bool MayHoldPassword(std::string_view key) {
    if (key.empty()) return true;
    std::string lower(key);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower.find("pass") != std::string::npos || lower.find("pwd") != std::string::npos;
}

// `text` cut to kMaxValue bytes at a character boundary, marked when cut.
std::string Cut(std::string text) {
    if (text.size() <= kMaxValue) return text;
    size_t end = kMaxValue;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    text.resize(end);
    return text + "…";
}

}  // namespace

Peer PeerOf(const Session& session) {
    int port = 0;
    std::from_chars(session.peerPort.data(), session.peerPort.data() + session.peerPort.size(),
                    port);
    return {session.peerAddress, port};
}

const char* AuditLevelOf(Standing standing, const Session& session, const Services& services) {
    switch (standing) {
        case Standing::kSuper:
            return audit_level::kSuper;
        case Standing::kSecondLevel:
            return audit_level::kSecond;
        case Standing::kDirectoryUser:
            return audit_level::kUser;
        case Standing::kNobody:
            return audit_level::kNone;
        case Standing::kUnchecked:
            break;
    }
    switch (session.login) {
        case LoginLevel::kSuper:
            return audit_level::kSuper;
        case LoginLevel::kDirectory:
            return services.adminStore && services.adminStore->HasAccount(session.account)
                       ? audit_level::kSecond
                       : audit_level::kUser;
        case LoginLevel::kNone:
            break;
    }
    return audit_level::kNone;
}

AuditRecord MakeAuditRecord(std::string_view name, const ParamMap& params,
                            const std::string& account, const char* level, const Peer& peer,
                            const std::string& reply) {
    AuditRecord r;
    r.account = Cut(account);
    r.level = level;
    r.address = peer.address;
    r.port = peer.port;
    r.request = std::string(name);

    // Most requests are about an account; the table names the others.
    std::vector<std::string_view> used = {key::kUsername};
    for (const TargetKeys& t : kTargets) {
        if (t.request != name) continue;
        used.assign(t.keys.begin(), t.keys.end());
        used.erase(std::remove(used.begin(), used.end(), std::string_view()), used.end());
    }
    if (name == req::kDeptAdd) {
        r.target = GetParam(params, key::kParentDept) + "\\" + GetParam(params, key::kDeptIdLower);
    } else {
        for (std::string_view key : used) {
            if (!GetParam(params, key).empty()) {
                r.target = GetParam(params, key);
                break;
            }
        }
    }
    r.target = Cut(std::move(r.target));

    for (const auto& [key, value] : params) {
        if (MayHoldPassword(key)) continue;
        if (std::find(used.begin(), used.end(), key) != used.end()) continue;
        if (!r.detail.empty()) r.detail += "; ";
        r.detail += key + "=" + value;
    }
    r.detail = Cut(std::move(r.detail));
    r.outcome = Cut(reply);
    return r;
}

AuditRecord MakeLoginAuditRecord(const ParamMap& params, const Session& session,
                                 const Services& services, const std::string& reply) {
    const bool granted = reply.starts_with("success");
    // The account and the version only: whatever else a login carries (the
    // tail of a password cut by a stray "`", say) never reaches the trail.
    const std::string& typed = GetParam(params, key::kUsername);
    const ParamMap kept{{key::kUsername, typed}, {key::kVer, GetParam(params, key::kVer)}};
    // A granted login in the directory's own spelling of the account.
    const std::string& account = granted && !session.account.empty() ? session.account : typed;
    AuditRecord record = MakeAuditRecord(
        req::kLoginCheck, kept, account,
        granted ? AuditLevelOf(Standing::kUnchecked, session, services) : audit_level::kNone,
        PeerOf(session), reply);
    record.target = Cut(account);
    // A session is its connection, whose entries share the login's address
    // and port: the login says once which transport they all came by. First,
    // so that no parameter can pass for it.
    const char* via = session.transport == Transport::kTls ? "via TLS" : "via plain text";
    record.detail = record.detail.empty() ? via : via + ("; " + record.detail);
    return record;
}

AuditRecorder::AuditRecorder(AuditTrail& trail, std::function<void(const std::string&)> notice)
    : m_trail(trail), m_notice(std::move(notice)) {}

bool AuditRecorder::Write(AuditRecord record) {
    std::string problem;
    if (m_trail.Append(record, problem)) return true;
    if (m_notice) {
        m_notice("audit entry not written (" + record.request + " by \"" + record.account +
                 "\" -> " + record.outcome + "): " + problem);
    }
    return false;
}

}  // namespace warden
