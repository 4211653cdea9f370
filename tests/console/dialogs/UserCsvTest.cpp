#include <gtest/gtest.h>

#include "console/dialogs/CsvText.h"
#include "console/dialogs/UserCsv.h"
#include "protocol/GbkCodec.h"

namespace warden::console::test {
namespace {

using Strings = std::vector<std::string>;

// Every value comes back from a line written and read again; those a
// spreadsheet would run carry the guard in the file.
TEST(CsvTextTest, ValuesSurviveWritingAndReadingWithTheFormulaGuard) {
    const struct {
        std::string value, field;
    } cases[] = {
        {"张三", "张三"},
        {"", ""},
        {"a,b", "\"a,b\""},
        {"说 \"你好\"", "\"说 \"\"你好\"\"\""},
        {"两行\r\n文字", "\"两行\r\n文字\""},
        {"=HYPERLINK(\"x\")", "\"'=HYPERLINK(\"\"x\"\")\""},
        {"+86 138", "'+86 138"},
        {"-1", "'-1"},
        {"@sum", "'@sum"},
        {"\tx", "'\tx"},
        {"'=x", "''=x"},  // looks guarded already: guarded once more
        {"'plain", "'plain"},
        {"'", "'"},
    };
    Strings values;
    for (const auto& c : cases) {
        EXPECT_EQ(CsvField(c.value), c.field) << c.value;
        values.push_back(c.value);
    }
    CsvTable table = ParseCsv(CsvLine(values) + CsvLine({"last"}));
    ASSERT_TRUE(table.error.empty()) << table.error;
    ASSERT_EQ(table.records.size(), 2u);
    Strings read;
    for (std::string& field : table.records[0].fields) read.push_back(UnguardCsvValue(field));
    EXPECT_EQ(read, values);
    EXPECT_EQ(table.records[1].line, 3);  // the value with a line break took two lines
}

TEST(CsvTextTest, LineEndsBlankLinesAndAnOpenQuote) {
    CsvTable table = ParseCsv("a,b\n\r\n\nc,\"d\"\re,\"\"\nf");
    ASSERT_TRUE(table.error.empty());
    ASSERT_EQ(table.records.size(), 4u);
    EXPECT_EQ(table.records[0].fields, (Strings{"a", "b"}));
    EXPECT_EQ(table.records[1].fields, (Strings{"c", "d"}));
    EXPECT_EQ(table.records[1].line, 4);
    EXPECT_EQ(table.records[2].fields, (Strings{"e", ""}));
    EXPECT_EQ(table.records[3].fields, (Strings{"f"}));
    // A quote inside an unquoted field is a character, as spreadsheets read it.
    EXPECT_EQ(ParseCsv("5\"3,x").records[0].fields, (Strings{"5\"3", "x"}));
    EXPECT_EQ(ParseCsv("a\n\"b,\nc").error, "第2行的引号没有结束");
}

const std::string kHeader = "帐号,姓名,性别,职务,手机,电话,邮件,部门,角色\r\n";

TEST(UserCsvTest, WrittenFileReadsBackAsUtf8AndAsGbk) {
    UserCsvRow zhang{"zhang", "张三", "男", "经理, 华东", "+86 138", "021-1", "z@x.cn",
                     {"\\销售部\\华东区", "\\研发部"}, {"User", "客服", "经理"}, ""};
    UserCsvRow li{"li", "=1+1", "女", "两行\n职务", "", "", "", {"\\研发部"}, {}, ""};
    const std::string text = UserCsvText({zhang, li});
    EXPECT_EQ(text, kHeader +
                        "zhang,张三,男,\"经理, 华东\",'+86 138,021-1,z@x.cn,"
                        "\\销售部\\华东区;\\研发部,客服;经理\r\n"
                        "li,'=1+1,女,\"两行\n职务\",,,,\\研发部,\r\n");

    zhang.roles = {"客服", "经理"};  // "User" is the directory's own
    for (const std::string& bytes : {kUtf8Bom + text, *Utf8ToGbk(text)}) {
        UserCsvFile file = ReadUserCsv(bytes);
        ASSERT_TRUE(file.error.empty()) << file.error;
        EXPECT_EQ(file.encoding, bytes.starts_with(kUtf8Bom) ? TextEncoding::kUtf8
                                                             : TextEncoding::kGbk);
        EXPECT_FALSE(file.hasPasswords);
        ASSERT_EQ(file.records.size(), 2u);
        EXPECT_EQ(file.records[1].line, 3);
        EXPECT_EQ(UserCsvText({file.records[0].row, file.records[1].row}),
                  UserCsvText({zhang, li}));
    }
}

TEST(UserCsvTest, HeaderNamesColumnsInAnyOrderAndPasswordsMayFollow) {
    UserCsvFile file = ReadUserCsv(
        "Roles,Departments,Email,Telephone,Mobile,Position,Gender,Name,Account,密码\n"
        "管理员|经理 ; 客服,销售部\\华东区\\ | \\\\研发部,,,,,,王五,  wang  ,s3cret\n"
        "x,y\n");
    ASSERT_TRUE(file.error.empty()) << file.error;
    EXPECT_TRUE(file.hasPasswords);
    ASSERT_EQ(file.records.size(), 2u);
    const UserCsvRow& wang = file.records[0].row;
    EXPECT_EQ(wang.account, "wang");
    EXPECT_EQ(wang.name, "王五");
    EXPECT_EQ(wang.password, "s3cret");
    EXPECT_EQ(wang.depts, (Strings{"\\销售部\\华东区", "\\研发部"}));
    EXPECT_EQ(wang.roles, (Strings{"经理", "客服"}));
    EXPECT_EQ(file.records[1].problem, "有2列, 应为10列");
}

TEST(UserCsvTest, UnusableFilesAreRefusedWithTheReason) {
    const struct {
        std::string bytes, error;
    } cases[] = {
        {"", "文件是空的"},
        {"\x81\x7F", "文件既不是UTF-8也不是GBK编码的文本"},
        {"\xFF\xFE\x41\x00", "文件是UTF-16编码的, 请另存为CSV(UTF-8或GBK编码)"},
        {"帐号,姓名,性别,职务,手机,电话,邮件,部门,角色,备注\n", "无法识别的列: 备注"},
        {"帐号,姓名,性别,职务,手机,电话,邮件,部门,角色,account\n", "列重复: account"},
        {"帐号,姓名,部门\n", "缺少列: 性别, 职务, 手机, 电话, 邮件, 角色"},
        {kHeader + "a,\"b\n", "第2行的引号没有结束"},
    };
    for (const auto& c : cases) EXPECT_EQ(ReadUserCsv(c.bytes).error, c.error) << c.bytes;
}

}  // namespace
}  // namespace warden::console::test
