#include <gtest/gtest.h>

#include "protocol/ParamMap.h"
#include "protocol/SplitList.h"

namespace warden {
namespace {

TEST(SplitListTest, RunsAndEndsOfDelimitersGiveNoEmptyPieces) {
    EXPECT_EQ(SplitList("a,,b,", ","), (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(SplitList(",", ",").empty());
    EXPECT_TRUE(SplitList("", ",").empty());
    EXPECT_EQ(SplitList("\\销售部\\华东区\\", "\\"),
              (std::vector<std::string>{"销售部", "华东区"}));
    EXPECT_EQ(SplitList("a|b;c", "|;"), (std::vector<std::string>{"a", "b", "c"}));
}

TEST(SplitListTest, DelimiterNeverCutsAMultiByteCharacter) {
    // "表" is 0xB1 0xED in GBK and "\" = 0x5C is a GBK trail byte of other
    // characters; in UTF-8 no byte of a multi-byte character is ASCII.
    EXPECT_EQ(SplitList("\\表\\ｂ", "\\"), (std::vector<std::string>{"表", "ｂ"}));
}

TEST(ParseRequestTest, NameAloneIsTheNameOfTheWholeParse) {
    for (const char* text : {"GetChildDepts.asp?deptId=a", " UserAdd.asp ", "??Odd.asp?x?y", "?",
                             "", "NoParams.asp", "表.asp?a=b"}) {
        EXPECT_EQ(RequestNameOf(text), ParseRequest(text).name) << text;
    }
}

TEST(ParseRequestTest, EmptyValueIsPresentButEmpty) {
    ParsedRequest r = ParseRequest("GetChildDepts.asp?deptId=");
    EXPECT_EQ(r.name, "GetChildDepts.asp");
    ASSERT_EQ(r.params.count("deptId"), 1u);
    EXPECT_EQ(GetParam(r.params, "deptId"), "");
}

TEST(ParseRequestTest, SurroundingWhiteSpaceIsIgnored) {
    ParsedRequest plain = ParseRequest("LoginCheck.asp?username=a`password=b`ver=1.5");
    ParsedRequest padded = ParseRequest("  LoginCheck.asp?username=a`password=b`ver=1.5\r\n");
    EXPECT_EQ(plain.name, padded.name);
    EXPECT_EQ(plain.params, padded.params);
    EXPECT_EQ(GetParam(padded.params, "ver"), "1.5");
}

TEST(ParseRequestTest, ItemRules) {
    // Two backquotes in a row are one separator.
    EXPECT_EQ(ParseRequest("RoleAdmin.asp?op=add``name=r").params,
              ParseRequest("RoleAdmin.asp?op=add`name=r").params);
    // Only the first "=" separates key and value.
    EXPECT_EQ(GetParam(ParseRequest("X.asp?pwd=a=b==").params, "pwd"), "a=b==");
    // The last occurrence of a key wins.
    EXPECT_EQ(GetParam(ParseRequest("X.asp?username=a`username=b").params, "username"), "b");
    // An item without "=" lands under the empty key.
    EXPECT_EQ(GetParam(ParseRequest("X.asp?loose`k=v").params, ""), "loose");
    // Keys are exact.
    EXPECT_EQ(GetParam(ParseRequest("X.asp?deptid=1").params, "deptId"), "");
}

TEST(ParseRequestTest, QuestionMarksDecideWhetherThereAreParameters) {
    ParsedRequest r = ParseRequest("LoginCheck.asp?username=a`password=x?y`ver=1.5");
    EXPECT_EQ(r.name, "LoginCheck.asp");
    EXPECT_TRUE(r.params.empty());
    EXPECT_EQ(GetParam(r.params, "ver"), "");

    EXPECT_EQ(ParseRequest("GetAdminList.asp").name, "GetAdminList.asp");
    EXPECT_TRUE(ParseRequest("GetAdminList.asp?").params.empty());
    EXPECT_EQ(ParseRequest("GetAdminList.asp?").name, "GetAdminList.asp");

    EXPECT_EQ(ParseRequest("???").name, "");
    EXPECT_EQ(ParseRequest(" \t\r\n").name, "");
}

}  // namespace
}  // namespace warden
