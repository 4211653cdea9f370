#include "ldapdir/Dn.h"
#include "protocol/SplitList.h"

#include <ldap.h>

namespace warden::ldapdir {

std::string EscapeDnValue(std::string_view value) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(value.size() + 8);
    for (size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        const bool edgeSpace = c == ' ' && (i == 0 || i + 1 == value.size());
        if (c == '\0') {
            out += "\\00";
        } else if (edgeSpace || (c == '#' && i == 0) || c == ',' || c == '+' || c == '"' ||
                   c == '\\' || c == '<' || c == '>' || c == ';' || c == '=') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            out += '\\';
            out += kHex[(static_cast<unsigned char>(c) >> 4) & 0xF];
            out += kHex[static_cast<unsigned char>(c) & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

std::string EscapeFilterValue(std::string_view value) {
    std::string out;
    out.reserve(value.size() + 8);
    for (char c : value) {
        switch (c) {
            case '*':
                out += "\\2a";
                break;
            case '(':
                out += "\\28";
                break;
            case ')':
                out += "\\29";
                break;
            case '\\':
                out += "\\5c";
                break;
            case '\0':
                out += "\\00";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::optional<std::vector<Rdn>> ParseDn(std::string_view dn) {
    const std::string text(dn);
    LDAPDN parsed = nullptr;
    if (ldap_str2dn(text.c_str(), &parsed, LDAP_DN_FORMAT_LDAPV3) != LDAP_SUCCESS) {
        return std::nullopt;
    }
    std::vector<Rdn> rdns;
    for (int i = 0; parsed && parsed[i]; ++i) {
        const LDAPAVA* ava = parsed[i][0];
        rdns.push_back({std::string(ava->la_attr.bv_val, ava->la_attr.bv_len),
                        std::string(ava->la_value.bv_val, ava->la_value.bv_len)});
    }
    ldap_dnfree(parsed);
    return rdns;
}

std::string DnKey(std::string_view dn) {
    const auto rdns = ParseDn(dn);
    if (!rdns) return LowerAscii(std::string(dn));
    std::string key;
    for (const Rdn& rdn : *rdns) {
        if (!key.empty()) key += ',';
        key += LowerAscii(rdn.type) + '=' + EscapeDnValue(LowerAscii(rdn.value));
    }
    return key;
}

std::string ParentDn(std::string_view dn) {
    const auto rdns = ParseDn(dn);
    if (!rdns || rdns->size() < 2) return {};
    std::string parent;
    for (size_t i = 1; i < rdns->size(); ++i) {
        if (!parent.empty()) parent += ',';
        parent += (*rdns)[i].type + '=' + EscapeDnValue((*rdns)[i].value);
    }
    return parent;
}

}  // namespace warden::ldapdir
