#include "ldapdir/LdifWriter.h"

#include <algorithm>
#include <cstdio>
#include <random>

#include "ldapdir/Dn.h"
#include "protocol/SplitList.h"

namespace warden::ldapdir {

namespace {

// Whether LDIF may write `value` as it is (RFC 2849 SAFE-STRING); others go
// in base64.
bool IsSafe(const std::string& value) {
    if (value.empty()) return true;
    const auto first = static_cast<unsigned char>(value.front());
    if (first == ' ' || first == ':' || first == '<' || value.back() == ' ') return false;
    return std::all_of(value.begin(), value.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u != 0 && u != '\n' && u != '\r' && u < 0x80;
    });
}

std::string Base64(const std::string& value) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    size_t i = 0;
    for (; i + 2 < value.size(); i += 3) {
        const uint32_t n = (static_cast<unsigned char>(value[i]) << 16) |
                           (static_cast<unsigned char>(value[i + 1]) << 8) |
                           static_cast<unsigned char>(value[i + 2]);
        for (int shift : {18, 12, 6, 0}) out += kAlphabet[(n >> shift) & 63];
    }
    if (i < value.size()) {
        uint32_t n = static_cast<unsigned char>(value[i]) << 16;
        if (i + 1 < value.size()) n |= static_cast<unsigned char>(value[i + 1]) << 8;
        out += kAlphabet[(n >> 18) & 63];
        out += kAlphabet[(n >> 12) & 63];
        out += i + 1 < value.size() ? kAlphabet[(n >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::string PathKey(const std::string& path) {
    std::string key;
    for (const std::string& name : SplitList(path, "\\")) key += "\\" + LowerAscii(name);
    return key;
}

}  // namespace

LdifWriter::LdifWriter(std::ostream& out, std::string baseDn)
    : m_out(out), m_baseDn(std::move(baseDn)), m_seed(std::random_device{}()) {}

void LdifWriter::Line(const std::string& type, const std::string& value) {
    if (IsSafe(value)) {
        m_out << type << ": " << value << '\n';
    } else {
        m_out << type << ":: " << Base64(value) << '\n';
    }
}

std::string LdifWriter::NewUuid() {
    // Unique within the file and, by the random seed, across files; the
    // version and variant bits say "random".
    const uint64_t high = m_seed ^ (++m_counter * 0x9E3779B97F4A7C15ULL);
    const uint64_t low = m_counter * 0xBF58476D1CE4E5B9ULL + m_seed;
    char text[40];
    std::snprintf(text, sizeof text, "%08x-%04x-4%03x-%04x-%012llx",
                  static_cast<unsigned>(high >> 32), static_cast<unsigned>((high >> 16) & 0xFFFF),
                  static_cast<unsigned>(high & 0xFFF),
                  static_cast<unsigned>(0x8000 | ((low >> 48) & 0x3FFF)),
                  static_cast<unsigned long long>(low & 0xFFFFFFFFFFFFULL));
    return text;
}

void LdifWriter::Base() {
    const auto rdns = ParseDn(m_baseDn);
    Line("dn", m_baseDn);
    Line("objectClass", "organizationalUnit");
    Line("ou", rdns && !rdns->empty() ? rdns->front().value : m_baseDn);
    m_out << '\n';
}

void LdifWriter::Container(int64_t nextUin) {
    Line("dn", "cn=warden," + m_baseDn);
    Line("objectClass", "wardenDirectory");
    Line("cn", "warden");
    Line("wardenNextUin", std::to_string(nextUin));
    m_out << '\n';
}

std::string LdifWriter::Role(const std::string& name, const std::string& description,
                             const std::vector<RightSetting>& rights, bool builtIn) {
    const std::string uuid = NewUuid();
    Line("dn", "cn=" + EscapeDnValue(name) + ",cn=warden," + m_baseDn);
    Line("objectClass", "wardenRole");
    Line("cn", name);
    Line("entryUUID", uuid);
    if (!description.empty()) Line("description", description);
    Line("wardenOrder", std::to_string(++m_roles));
    for (const RightSetting& right : rights) {
        Line("wardenRight", RightValue(right.identity, right.deny, right.allow));
    }
    if (builtIn) Line("wardenBuiltIn", "TRUE");
    m_out << '\n';
    return uuid;
}

std::string LdifWriter::Dept(const std::string& path, int64_t order) {
    const std::vector<std::string> names = SplitList(path, "\\");
    std::string dn = m_baseDn;
    for (const std::string& name : names) dn = "ou=" + EscapeDnValue(name) + "," + dn;
    const std::string uuid = NewUuid();
    Line("dn", dn);
    Line("objectClass", "organizationalUnit");
    Line("objectClass", "wardenDepartment");
    Line("ou", names.empty() ? std::string() : names.back());
    Line("entryUUID", uuid);
    Line("wardenOrder", std::to_string(order));
    m_out << '\n';
    m_depts[PathKey(path)] = uuid;
    return uuid;
}

void LdifWriter::User(const std::string& account, const UserRecord& record,
                      const std::vector<std::string>& deptPaths,
                      const std::vector<std::string>& roleUuids) {
    std::string location = m_baseDn;
    if (!deptPaths.empty()) {
        for (const std::string& name : SplitList(deptPaths.front(), "\\")) {
            location = "ou=" + EscapeDnValue(name) + "," + location;
        }
    }
    const std::string& name = record.basic.name;
    const std::string common = name.empty() ? account : name;
    Line("dn", "uid=" + EscapeDnValue(account) + "," + location);
    Line("objectClass", "inetOrgPerson");
    Line("objectClass", "wardenUser");
    Line("uid", account);
    Line("cn", common);
    Line("sn", common);
    auto optional = [&](const char* type, const std::string& value) {
        if (!value.empty()) Line(type, value);
    };
    auto number = [&](const char* type, int64_t value) {
        if (value != 0) Line(type, std::to_string(value));
    };
    optional("displayName", name);
    optional("mobile", record.basic.mobile);
    optional("mail", record.basic.email);
    optional("telephoneNumber", record.basic.phone);
    UserDetail detail = record.detail;
    optional("title", detail.Position());
    number("wardenGender", record.basic.gender);
    number("wardenLevel", detail.Level());
    number("wardenUin", record.uin);
    number("wardenAuth", record.basic.auth);
    for (size_t i = 1; i < deptPaths.size(); ++i) {
        auto found = m_depts.find(PathKey(deptPaths[i]));
        if (found != m_depts.end()) Line("wardenDepartmentRef", found->second);
    }
    for (const std::string& uuid : roleUuids) Line("wardenRoleRef", uuid);
    m_out << '\n';
}

}  // namespace warden::ldapdir
