// The console's pure rules: the order of sorted lists, a second-level
// administrator's scope, what the wire can carry, and what a server address
// is.
#include <gtest/gtest.h>

#include "console/core/Collation.h"
#include "console/core/ConsoleSocket.h"
#include "console/core/DeptScope.h"
#include "console/core/FieldRules.h"
#include "tests/console/FakeTransport.h"

namespace warden::console::test {
namespace {

using Strings = std::vector<std::string>;

TEST(CollationTest, ChineseSortsByPinyinLatinIgnoresCaseAndNoTwoNamesTie) {
    // Code-point order would put 研 (U+7814) before 部 (U+90E8) and 经 (U+7ECF).
    // The Chinese order puts Chinese names before Latin ones.
    Strings names = {"研发工程师", "部门经理", "Zeta", "经理", "alpha", "Alpha"};
    SortNames(names);
    EXPECT_EQ(names, (Strings{"部门经理", "经理", "研发工程师", "Alpha", "alpha", "Zeta"}));
    for (size_t i = 0; i + 1 < names.size(); ++i) {
        EXPECT_LT(CompareNames(names[i], names[i + 1]), 0) << names[i];
        EXPECT_GT(CompareNames(names[i + 1], names[i]), 0) << names[i];
    }
    EXPECT_EQ(CompareNames("经理", "经理"), 0);
}

TEST(DeptScopeTest, WholeNamesDecideScopeAndAssignedDepartmentsAreNotStrictlyInside) {
    LoginState second;
    second.superFlag = "0";
    second.managedDepts = "\\销售部\\华东区;\\研发部\\;\\Sales;";
    const DeptScope scope(second);
    struct Case {
        const char* path;
        bool inScope;
        bool strictlyInside;
    } cases[] = {
        {"\\销售部\\华东区", true, false},
        {"\\销售部\\华东区\\上海", true, true},
        {"\\\\销售部\\\\华东区\\上海\\", true, true},  // doubled and trailing "\"
        {"\\销售部\\华东区2", false, false},           // not a whole name
        {"\\销售部", false, false},
        {"\\研发部", true, false},
        {"\\研发部\\一组", true, true},
        {"\\SALES\\east", true, true},  // the directory ignores ASCII case
        {"\\SalesX", false, false},
        {"", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(scope.InScope(c.path), c.inScope) << c.path;
        EXPECT_EQ(scope.StrictlyInside(c.path), c.strictlyInside) << c.path;
    }

    LoginState super;
    super.superFlag = "1";
    EXPECT_TRUE(DeptScope(super).StrictlyInside("\\销售部"));
    EXPECT_FALSE(DeptScope(super).StrictlyInside(""));
}

TEST(FieldRulesTest, NamesRefuseTheReservedSetValuesRefuseBackquoteAndQuestionMark) {
    const std::string names = "不能含有以下字符: \\ , ` | ^ ; = ? 以及控制字符";
    const std::string values = "不能含有以下字符: ` ?";
    struct Case {
        FieldCheck check;
        std::string problem;
    } cases[] = {
        {{"部门名称:", "华东区", FieldKind::kName, 64}, ""},
        {{"部门名称:", "bq`tail", FieldKind::kName, 64}, "部门名称" + names},
        {{"部门名称", "a;b", FieldKind::kName, 64}, "部门名称" + names},
        {{"部门名称", "a\tb", FieldKind::kName, 64}, "部门名称" + names},
        {{"描述信息:", "a;b=c,d|e", FieldKind::kValue, 64}, ""},
        {{"描述信息:", "why?", FieldKind::kValue, 64}, "描述信息" + values},
        {{"密码", "ab`cd", FieldKind::kValue, 64}, "密码" + values},
        // Characters, not bytes: three Chinese characters are nine bytes.
        {{"姓名", "张三丰", FieldKind::kValue, 3}, ""},
        {{"姓名", "张三丰丰", FieldKind::kValue, 3}, "姓名不能超过3个字符"},
    };
    for (const Case& c : cases) EXPECT_EQ(FieldProblem(c.check), c.problem) << c.check.text;

    FakeSink sink;
    EXPECT_FALSE(CheckFields(sink, {{"帐号", "ok", FieldKind::kName, 64},
                                    {"密码", "a?", FieldKind::kValue, 64},
                                    {"姓名", "b?", FieldKind::kValue, 64}}));
    ASSERT_EQ(sink.shown.size(), 1u);  // one message, for the first field
    EXPECT_EQ(sink.shown[0].caption, "提示");
    EXPECT_EQ(sink.shown[0].text, "密码" + values);
}

TEST(ServerAddressTest, OnlyWholeDottedAddressesAndHostNamesPass) {
    struct Case {
        const char* address;
        bool valid;
    } cases[] = {
        {"192.168.0.5", true},  {"127.0.0.1", true},
        {"localhost", true},    {"warden-server.example.com", true},
        {"192.168.1", false},  // the resolver would make it 192.168.0.1
        {"10.1", false},        {"1.2.3.4.5", false},
        {"256.1.1.1", false},   {"1.2.3.", false},
        {"0x7f.1", false},                            // hexadecimal, read as 127.0.0.1
        {"0x7f000001", false},  {"host.123", false},  // no top-level name is all digits
        {"-host", false},       {"a..b", false},
        {"under_score", false}, {"", false},
        {"主机", false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsServerAddress(c.address), c.valid) << c.address;
    const std::string label(63, 'a');
    EXPECT_TRUE(IsServerAddress(label + "." + label + "." + label + ".com"));
    EXPECT_FALSE(IsServerAddress(label + "." + label + "." + label + "." + label));  // 255
    EXPECT_FALSE(IsServerAddress(label + "a.com"));  // a label of 64
}

}  // namespace
}  // namespace warden::console::test
