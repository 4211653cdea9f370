#include <map>

#include "tests/dispatch/HandlerFixture.h"

namespace warden::test {
namespace {

using Params = std::map<std::string, std::string>;

std::string Request(const std::string& name, const Params& params) {
    std::string text = name + "?";
    for (const auto& [key, value] : params) text += key + "=" + value + "`";
    return text;
}

std::string Repeat(const std::string& piece, size_t times, const std::string& separator = "") {
    std::string text;
    for (size_t i = 0; i < times; ++i) text += (i ? separator : "") + piece;
    return text;
}

struct Case {
    const char* request;
    Params base;      // a request that passes with every other value
    const char* key;  // the value under test
    size_t limit;     // characters of the value, or of each item of a list
    const char* refusal;
    const char* separator = nullptr;  // set for a list
    const char* countRefusal = nullptr;
};

const Params kUser = {{"username", "wang"}, {"deptname", "\\研发部|"}};
const Params kUpdate = {{"op", "update"}, {"username", "zhang"}, {"deptname", "\\研发部|"}};
const Params kAdmin = {{"username", "zhang"}, {"depts", "\\研发部;"}, {"adminroles", "User|"}};

const Case kCases[] = {
    {"DeptAdd.asp", {{"parentdept", ""}}, "deptid", 64, "error:部门名称不能超过64个字符"},
    {"DeptAdd.asp",
     {{"deptid", "新部门"}},
     "parentdept",
     1024,
     "error:上级部门路径不能超过1024个字符"},
    {"DeptChange.asp",
     {{"op", "changedeptname"}, {"origdeptname", "\\研发部"}},
     "newdeptname",
     64,
     "error:部门名称不能超过64个字符"},
    {"DeptChange.asp",
     {{"op", "changeparent"}, {"origdeptname", "\\研发部"}},
     "newparentdept",
     1024,
     "error:上级部门路径不能超过1024个字符"},
    {"UserAdd.asp", kUser, "username", 64, "error:用户名不能超过64个字符"},
    {"UserAdd.asp", kUser, "pwd", 128, "error:密码不能超过128个字符"},
    {"UserAdd.asp", kUpdate, "name", 64, "error:姓名不能超过64个字符"},
    {"UserAdd.asp", kUser, "position", 64, "error:职位不能超过64个字符"},
    {"UserAdd.asp", kUser, "mobile", 32, "error:手机不能超过32个字符"},
    {"UserAdd.asp", kUpdate, "phone", 32, "error:电话不能超过32个字符"},
    {"UserAdd.asp", kUser, "email", 254, "error:电子邮件不能超过254个字符"},
    {"UserAdd.asp", kUser, "level", 9, "error:级别不能超过9个字符"},
    {"UserAdd.asp", kUser, "deptname", 1024, "error:部门路径不能超过1024个字符", "|",
     "error:所属部门不能超过256个"},
    {"UserAdd.asp", kUpdate, "roles", 64, "error:角色名称不能超过64个字符", ";",
     "error:角色不能超过256个"},
    {"RoleAdmin.asp",
     {{"op", "add"}, {"rightInfo", "x|1|0"}},
     "name",
     64,
     "error:角色名称不能超过64个字符"},
    {"RoleAdmin.asp",
     {{"op", "update"}, {"name", "销售"}},
     "newname",
     64,
     "error:角色名称不能超过64个字符"},
    {"RoleAdmin.asp",
     {{"op", "add"}, {"name", "新角色"}},
     "desc",
     256,
     "error:角色描述不能超过256个字符"},
    {"SaveAdminDepts.asp", kAdmin, "username", 64, "error:用户名不能超过64个字符"},
    {"SaveAdminDepts.asp", kAdmin, "depts", 1024, "error:部门路径不能超过1024个字符", ";",
     "error:管理部门不能超过256个"},
    {"SaveAdminDepts.asp", kAdmin, "adminroles", 64, "error:角色名称不能超过64个字符", "|",
     "error:可分配角色不能超过256个"},
    {"ChangePwd.asp", {{"username", "admin"}}, "password", 128, "error:密码不能超过128个字符"},
};

class FieldLimitsTest : public HandlerFixture {
  protected:
    FieldLimitsTest() {
        Im().MakeUser("zhang", "\\研发部");
        Im().MakeRole("销售");
    }

    // Sends `c` with `value` under its key; the reply, after checking that a
    // refusal left the directory untouched.
    std::string AskWith(const Case& c, const std::string& value) {
        Params params = c.base;
        params[c.key] = value;
        Im().ClearCalls();
        std::optional<std::string> reply = Ask(Request(c.request, params));
        return reply.value_or("(no reply)");
    }
};

// Limits count characters, not bytes: every value is made of a Chinese
// character that takes three bytes in UTF-8 and two in GBK.
TEST_F(FieldLimitsTest, ValuesOverTheLimitAreRefusedBeforeAnythingIsWritten) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::string(c.request) + " " + c.key);
        // A path's pieces are names: "\" and then the rest of the limit.
        const std::string first = c.separator && c.limit > 64 ? "\\" : "名";
        const std::string fits = first + Repeat("名", c.limit - 1);
        EXPECT_NE(AskWith(c, fits), c.refusal);

        EXPECT_EQ(AskWith(c, fits + "名"), c.refusal);
        EXPECT_TRUE(Im().Calls().empty());
        if (!c.separator) continue;

        // In a list, one long item among short ones is refused, and so is
        // one item too many.
        EXPECT_EQ(AskWith(c, "短" + std::string(c.separator) + fits + "名"), c.refusal);
        EXPECT_TRUE(Im().Calls().empty());
        EXPECT_NE(AskWith(c, Repeat("短", 256, c.separator)), c.countRefusal);
        EXPECT_EQ(AskWith(c, Repeat("短", 257, c.separator)), c.countRefusal);
        EXPECT_TRUE(Im().Calls().empty());
    }
}

// A long name that only designates what is there is not refused: what was
// stored before the limits can still be changed or removed.
TEST_F(FieldLimitsTest, NamesOfWhatExistsAreNotLimited) {
    const std::string longName = Repeat("长", 100);
    Im().MakeDept("\\" + longName);
    Im().MakeUser(longName, "\\" + longName);
    Im().MakeRole(longName);
    EXPECT_EQ(Ask("UserAdd.asp?op=update`username=" + longName +
                  "`deptname=\\研发部|`newdeptname=" + longName + "`name=短"),
              "info:修改用户信息成功");
    EXPECT_EQ(Ask("RoleAdmin.asp?op=update`name=" + longName + "`newname=短名`desc="),
              "info:修改角色成功");
    EXPECT_EQ(
        Ask("DeptChange.asp?op=changedeptname`origdeptname=\\" + longName + "`newdeptname=短"),
        "info:修改部门成功");
    EXPECT_EQ(Ask("UserDelete.asp?username=" + longName), "info:删除用户成功");
}

}  // namespace
}  // namespace warden::test
