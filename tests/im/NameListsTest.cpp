#include <gtest/gtest.h>

#include "directory/ImError.h"
#include "server/im/NameLists.h"
#include "protocol/NameRules.h"

namespace warden {
namespace {

TEST(FlattenNameListTest, EmptyListsGiveOneSpace) {
    EXPECT_EQ(FlattenNameList("<Departments></Departments>", "Department"), " ");
    EXPECT_EQ(FlattenNameList("<Departments/>", "Department"), " ");
    EXPECT_EQ(FlattenNameList("", "Department"), " ");
    EXPECT_EQ(FlattenNameList("<Users>\r\n</Users>", "User"), " ");
}

TEST(FlattenNameListTest, NamesAreJoinedByCommaInDirectoryOrder) {
    EXPECT_EQ(
        FlattenNameList(R"(<Departments><Department Name="研发部"/></Departments>)", "Department"),
        "研发部");
    EXPECT_EQ(FlattenNameList(R"(<Users><User Name="zhang"/><User Name="li"/>)"
                              R"(<User Name="wang"/></Users>)",
                              "User"),
              "zhang,li,wang");
}

TEST(FlattenNameListTest, NamesKeepSpacesAndWordsThatLookLikeMarkup) {
    const char* xml =
        R"(<Departments> <Department Name="华东 销售部"/>)"
        R"(<Department Name="Department Store"/><Department Name="Departments"/>)"
        R"(<Department Name=" Name lead "/><Department Name="R&amp;D &lt;1&gt;"/></Departments>)";
    EXPECT_EQ(FlattenNameList(xml, "Department"),
              "华东 销售部,Department Store,Departments, Name lead ,R&D <1>");
    EXPECT_EQ(FlattenNameList(R"(<Users><User Name="User Users"/></Users>)", "User"), "User Users");
}

TEST(FlattenNameListTest, OnlyEntriesOfTheAskedElementCount) {
    // A declaration, other elements and entries without a name add nothing.
    const char* xml =
        R"(<?xml version="1.0" encoding="UTF-8"?><Users count="2"><User Name="a"/>)"
        R"(<Note Name="not a user"/><User/><User Name=""/><User Name="b"></User></Users>)";
    EXPECT_EQ(FlattenNameList(xml, "User"), "a,b");
}

TEST(FlattenNameListTest, TextThatIsNotXmlIsAFailureNotAList) {
    EXPECT_THROW(FlattenNameList("<Departments><Department Name=\"a\"", "Department"), ImError);
    EXPECT_THROW(FlattenNameList("just text <", "User"), ImError);
}

TEST(StripRoleXmlTest, RoleNamesEachFollowAnEqualsSign) {
    EXPECT_EQ(StripRoleXml(R"(<VEXSRoleList><Item RoleName="User"></Item>)"
                           R"(<Item RoleName="管理员"></Item></VEXSRoleList>)"),
              "=User=管理员");
    EXPECT_EQ(StripRoleXml("<VEXSRoleList></VEXSRoleList>"), "");
    EXPECT_EQ(StripRoleXml(""), "");
}

TEST(StripRoleXmlTest, SelfClosingItemsLeaveNoSlash) {
    EXPECT_EQ(
        StripRoleXml(R"(<VEXSRoleList><Item RoleName="a"/><Item RoleName="b" /></VEXSRoleList>)"),
        "=a=b");
}

TEST(StripRoleXmlTest, NamesKeepSpacesAndMarkupWords) {
    EXPECT_EQ(StripRoleXml(R"(<VEXSRoleList><Item RoleName="Sales Team"></Item>)"
                           R"(<Item RoleName="ItemRoleName VEXSRoleList"></Item></VEXSRoleList>)"),
              "=Sales Team=ItemRoleName VEXSRoleList");
}

TEST(StripRoleXmlTest, TextThatIsNotXmlIsAFailure) {
    EXPECT_THROW(StripRoleXml("<VEXSRoleList><Item RoleName=\"a\">"), ImError);
}

TEST(IsCarriableNameTest, EveryListSeparatorIsRefused) {
    for (const char* name : {"a\\b", "a,b", "a`b", "a|b", "a^b", "a;b", "a=b", "a?b", "\\", "x,"}) {
        EXPECT_FALSE(IsCarriableName(name)) << name;
    }
}

TEST(IsCarriableNameTest, ControlCharactersAreRefused) {
    EXPECT_FALSE(IsCarriableName("a\tb"));
    EXPECT_FALSE(IsCarriableName("a\nb"));
    EXPECT_FALSE(IsCarriableName(std::string("a\0b", 3)));
    EXPECT_FALSE(IsCarriableName("a\x7f"));
    EXPECT_FALSE(IsCarriableName("a\xc2\x85"));  // U+0085, next line
}

TEST(IsCarriableNameTest, OrdinaryNamesPass) {
    for (const char* name :
         {"销售部", "华东 销售部", "R&D (2)", "a.b-c_d", "zhang.san@corp", "", "\xc2\xa0"}) {
        EXPECT_TRUE(IsCarriableName(name)) << name;
    }
}

}  // namespace
}  // namespace warden
