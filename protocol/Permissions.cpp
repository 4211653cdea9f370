#include "protocol/Permissions.h"

#include "protocol/KeyedLines.h"
#include "protocol/SplitList.h"

namespace warden {

namespace {

std::string Joined(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items) {
        if (!out.empty()) out += ',';
        out += item;
    }
    return out;
}

}  // namespace

std::string FormatAdminEffective(const AdminEffective& e) {
    std::vector<KeyedLine> lines;
    lines.push_back({{"kind", "account"},
                     {"account", e.account},
                     {"level", e.level},
                     {"exists", e.exists ? "1" : "0"}});
    for (const auto& d : e.depts) lines.push_back({{"kind", "dept"}, {"path", d.name}, {"state", d.state}});
    for (const auto& r : e.roles) lines.push_back({{"kind", "role"}, {"name", r.name}, {"state", r.state}});
    for (const auto& n : e.needs) {
        lines.push_back({{"kind", "need"},
                         {"need", n.need},
                         {"requests", Joined(n.requests)},
                         {"covers", n.covers}});
    }
    return FormatKeyedLines(lines);
}

AdminEffective ParseAdminEffective(std::string_view reply) {
    AdminEffective e;
    for (const KeyedFields& f : ParseKeyedLines(reply)) {
        const std::string& kind = FieldOf(f, "kind");
        if (kind == "account") {
            e.account = FieldOf(f, "account");
            e.level = FieldOf(f, "level");
            e.exists = FieldOf(f, "exists") == "1";
        } else if (kind == "dept") {
            e.depts.push_back({FieldOf(f, "path"), FieldOf(f, "state")});
        } else if (kind == "role") {
            e.roles.push_back({FieldOf(f, "name"), FieldOf(f, "state")});
        } else if (kind == "need") {
            e.needs.push_back({FieldOf(f, "need"), SplitList(FieldOf(f, "requests"), ","),
                               FieldOf(f, "covers")});
        }
    }
    return e;
}

std::string FormatPermissionVerdict(const PermissionVerdict& v) {
    return FormatKeyedLines({{{"result", v.allowed ? "allow" : "deny"},
                              {"request", v.request},
                              {"level", v.level},
                              {"rule", v.rule},
                              {"text", v.text},
                              {"subject", v.subject}}});
}

PermissionVerdict ParsePermissionVerdict(std::string_view reply) {
    PermissionVerdict v;
    const auto lines = ParseKeyedLines(reply);
    if (lines.empty()) return v;
    const KeyedFields& f = lines.front();
    v.allowed = FieldOf(f, "result") == "allow";
    v.request = FieldOf(f, "request");
    v.level = FieldOf(f, "level");
    v.rule = FieldOf(f, "rule");
    v.text = FieldOf(f, "text");
    v.subject = FieldOf(f, "subject");
    return v;
}

}  // namespace warden
