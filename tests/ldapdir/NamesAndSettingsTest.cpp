// What the LDAP back-end makes of names and settings without a directory:
// DNs and filters that no name can break out of, rights values, and which
// URIs may go without TLS.
#include <gtest/gtest.h>

#include "ldapdir/Dn.h"
#include "ldapdir/LdapSettings.h"
#include "ldapdir/RightValue.h"

namespace warden::ldapdir {
namespace {

TEST(DnTest, EveryNameIsOneValueOfOneRdnAndReadsBackUnchanged) {
    for (const std::string name : {"销售部", "R&D, Europe", "a+b=c", " lead", "trail ", "#hash",
                                   "x\\y", "<tag>;", "quote\"d"}) {
        const std::string dn = "ou=" + EscapeDnValue(name) + ",ou=父,dc=example";
        const auto rdns = ParseDn(dn);
        ASSERT_TRUE(rdns) << dn;
        ASSERT_EQ(rdns->size(), 3u) << dn;
        EXPECT_EQ((*rdns)[0].type, "ou");
        EXPECT_EQ((*rdns)[0].value, name) << dn;
        EXPECT_EQ(ParentDn(dn), "ou=父,dc=example");
    }
    EXPECT_FALSE(ParseDn("not a dn"));
    EXPECT_EQ(ParentDn("dc=example"), "");
    // Two spellings of one entry have one key.
    EXPECT_EQ(DnKey("OU=Sales, DC=Example"), DnKey("ou=sales,dc=example"));
    EXPECT_NE(DnKey("ou=sales,dc=example"), DnKey("ou=sales2,dc=example"));
}

TEST(DnTest, FilterValuesCannotChangeTheFilter) {
    EXPECT_EQ(EscapeFilterValue("a*b(c)d\\e"), "a\\2ab\\28c\\29d\\5ce");
    EXPECT_EQ(EscapeFilterValue(std::string("x\0y", 3)), "x\\00y");
    EXPECT_EQ(EscapeFilterValue("张三"), "张三");
}

TEST(RightValueTest, RoundTripsAndRefusesOtherForms) {
    EXPECT_EQ(RightValue("RIGHT_INNER_SEND_SMS", true, false), "RIGHT_INNER_SEND_SMS 1 0");
    auto parsed = ParseRightValue("RIGHT_INNER_SEND_FILE_N(M) 0 1");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->identity, "RIGHT_INNER_SEND_FILE_N(M)");
    EXPECT_FALSE(parsed->deny);
    EXPECT_TRUE(parsed->allow);
    for (const char* other : {"", "X 1", "X 2 0", "X 0 1 ", "two words 0 1", "X01"}) {
        EXPECT_FALSE(ParseRightValue(other)) << other;
    }
}

TEST(LdapSettingsTest, PlainLdapOnlyToThisMachine) {
    const struct {
        const char* uri;
        bool startTls;
    } cases[] = {
        {"ldap://ldap.example.com", true},   {"ldap://10.0.0.5:389", true},
        {"ldap://127.0.0.1:3890", false},    {"ldap://127.8.9.1", false},
        {"ldap://localhost", false},         {"ldap://[::1]:389", false},
        {"ldaps://ldap.example.com", false}, {"ldapi://%2Frun%2Fslapd%2Fldapi", false},
        {"LDAP://Ldap.Example.com", true},
    };
    for (const auto& c : cases) EXPECT_EQ(NeedsStartTls(c.uri), c.startTls) << c.uri;
}

}  // namespace
}  // namespace warden::ldapdir
