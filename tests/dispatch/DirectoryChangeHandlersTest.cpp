#include "tests/dispatch/HandlerFixture.h"

namespace warden::test {
namespace {

constexpr const char kReservedName[] =
    "error:名称中不能含有以下字符: \\ , ` | ^ ; = ? 以及控制字符";

using Names = std::vector<std::string>;

class DirectoryChangeHandlersTest : public HandlerFixture {
  protected:
    DirectoryChangeHandlersTest() {
        Im().MakeDept("\\销售部\\华东区");
        Im().MakeDept("\\销售部\\华北区");
        Im().MakeDept("\\研发部");
        Im().MakeUser("zhang", "\\研发部");
        Im().MakeRole("销售");
        Im().ClearCalls();
    }
};

// ---- DeptAdd.asp ----------------------------------------------------------

TEST_F(DirectoryChangeHandlersTest, DeptAddCreatesUnderTheParent) {
    EXPECT_EQ(Ask("DeptAdd.asp?deptid=华南 区`parentdept=\\销售部"), "info:添加部门成功");
    EXPECT_EQ(Im().ChildrenOf("\\销售部"), (Names{"华东区", "华北区", "华南 区"}));
    EXPECT_EQ(Ask("DeptAdd.asp?deptid=市场部`parentdept="), "info:添加部门成功");
    EXPECT_TRUE(Im().HasDept("\\市场部"));
}

TEST_F(DirectoryChangeHandlersTest, DeptAddRefusals) {
    EXPECT_EQ(Ask("DeptAdd.asp?deptid=`parentdept=\\销售部"), "error:请输入所要创建的部门名称");
    EXPECT_EQ(Ask("DeptAdd.asp?deptid=华东区`parentdept=\\销售部"), "error:部门已经存在");
    EXPECT_TRUE(Im().CallsOf("AddDept").empty());
    Im().ForceStatus("AddDept", 1);
    EXPECT_EQ(Ask("DeptAdd.asp?deptid=西区`parentdept=\\销售部"), "error:添加失败");
}

TEST_F(DirectoryChangeHandlersTest, DeptAddRefusesNamesTheProtocolCannotCarry) {
    for (const char* name : {"a\\b", "a,b", "a|b", "a^b", "a;b", "a=b", "a\tb"}) {
        EXPECT_EQ(Ask(std::string("DeptAdd.asp?deptid=") + name + "`parentdept=\\销售部"),
                  kReservedName)
            << name;
    }
    EXPECT_TRUE(Im().CallsOf("AddDept").empty());
    EXPECT_EQ(Im().ChildrenOf("\\销售部"), (Names{"华东区", "华北区"}));
}

// What the directory refuses gets the request's own failure text; only a
// fault of the directory itself gets the general error.
TEST_F(DirectoryChangeHandlersTest, RefusalsByTheDirectoryGetTheirOwnText) {
    const std::pair<const char*, const char*> cases[] = {
        {"DeptAdd.asp?deptid=西区`parentdept=\\不存在", "error:添加失败"},
        {"DeptDelete.asp?deptid=\\不存在", "error:删除部门失败!"},
    };
    for (auto [request, reply] : cases) EXPECT_EQ(Ask(request), reply) << request;
    Im().Fail("DeleteDept");
    EXPECT_EQ(Ask("DeptDelete.asp?deptid=\\销售部\\华北区"), kGeneralError);
    EXPECT_TRUE(Im().HasDept("\\销售部\\华北区"));
}

TEST_F(DirectoryChangeHandlersTest, DeptAddDirectoryFailureIsTheGeneralError) {
    Im().Fail("IsDeptExist");
    EXPECT_EQ(Ask("DeptAdd.asp?deptid=西区`parentdept=\\销售部"), kGeneralError);
    Im().Heal("IsDeptExist");
    Im().Fail("AddDept");
    EXPECT_EQ(Ask("DeptAdd.asp?deptid=西区`parentdept=\\销售部"), kGeneralError);
}

// ---- DeptDelete.asp -------------------------------------------------------

TEST_F(DirectoryChangeHandlersTest, DeptDeleteRefusesInOrderBeforeDeleting) {
    EXPECT_EQ(Ask("DeptDelete.asp?deptid="), "error:部门名称不能为空");
    EXPECT_TRUE(Im().Calls().empty());

    Im().MakeUser("li", "\\销售部");
    Im().ClearCalls();
    EXPECT_EQ(Ask("DeptDelete.asp?deptid=\\销售部"), "error:部门下含有子部门,不能删除");
    EXPECT_TRUE(Im().CallsOf("GetDeptUsers").empty());

    EXPECT_EQ(Ask("DeptDelete.asp?deptid=\\研发部"), "error:部门下用户不为空,不能删除");
    EXPECT_TRUE(Im().CallsOf("DeleteDept").empty());
    EXPECT_TRUE(Im().HasDept("\\研发部"));
}

TEST_F(DirectoryChangeHandlersTest, DeptDeleteOfEmptyDepartment) {
    EXPECT_EQ(Ask("DeptDelete.asp?deptid=\\销售部\\华北区"), "info:删除部门成功");
    EXPECT_FALSE(Im().HasDept("\\销售部\\华北区"));
    EXPECT_EQ(Im().CallsOf("DeleteDept"), (Names{"\\销售部\\华北区,1"}));
    Im().ForceStatus("DeleteDept", 2);
    EXPECT_EQ(Ask("DeptDelete.asp?deptid=\\销售部\\华东区"), "error:删除部门失败!");
}

TEST_F(DirectoryChangeHandlersTest, DeptDeleteDirectoryFailuresAreTheGeneralError) {
    for (const char* operation : {"GetChildDepts", "GetDeptUsers", "DeleteDept"}) {
        Im().Fail(operation);
        EXPECT_EQ(Ask("DeptDelete.asp?deptid=\\销售部\\华北区"), kGeneralError) << operation;
        Im().Heal(operation);
    }
    EXPECT_TRUE(Im().HasDept("\\销售部\\华北区"));
}

// ---- DeptChange.asp -------------------------------------------------------

TEST_F(DirectoryChangeHandlersTest, DeptChangeRenamesWithOpInAnyCase) {
    EXPECT_EQ(
        Ask("DeptChange.asp?op=ChangeDeptName`origdeptname=\\销售部\\华北区`newdeptname=北方 区"),
        "info:修改部门成功");
    EXPECT_EQ(Im().ChildrenOf("\\销售部"), (Names{"华东区", "北方 区"}));
}

TEST_F(DirectoryChangeHandlersTest, DeptChangeRenameCollisionSaysExistsAndNothingElse) {
    EXPECT_EQ(
        Ask("DeptChange.asp?op=changedeptname`origdeptname=\\销售部\\华北区`newdeptname=华东区"),
        "error:部门已经存在");
    EXPECT_EQ(Im().ChildrenOf("\\销售部"), (Names{"华东区", "华北区"}));
}

TEST_F(DirectoryChangeHandlersTest, DeptChangeRenameRefusesReservedNames) {
    EXPECT_EQ(Ask("DeptChange.asp?op=changedeptname`origdeptname=\\研发部`newdeptname=研发;二部"),
              kReservedName);
    EXPECT_TRUE(Im().CallsOf("ChangeDeptName").empty());
}

TEST_F(DirectoryChangeHandlersTest, DeptChangeMoves) {
    EXPECT_EQ(Ask("DeptChange.asp?op=CHANGEPARENT`origdeptname=\\研发部`newparentdept=\\销售部"),
              "info:修改部门成功");
    EXPECT_TRUE(Im().HasDept("\\销售部\\研发部"));
    EXPECT_EQ(
        Ask("DeptChange.asp?op=changeparent`origdeptname=\\销售部`newparentdept=\\销售部\\华东区"),
        "error:修改父部门失败");
    EXPECT_TRUE(Im().HasDept("\\销售部\\华东区"));
}

TEST_F(DirectoryChangeHandlersTest, DeptChangeUnknownOpGetsNoReply) {
    EXPECT_EQ(Ask("DeptChange.asp?op=rename`origdeptname=\\研发部`newdeptname=x"), std::nullopt);
    EXPECT_EQ(Ask("DeptChange.asp?origdeptname=\\研发部`newdeptname=x"), std::nullopt);
    EXPECT_TRUE(Im().Calls().empty());
}

TEST_F(DirectoryChangeHandlersTest, DeptChangeWithoutDirectoryAsksToRetry) {
    DropDirectory();
    EXPECT_EQ(Ask("DeptChange.asp?op=changedeptname`origdeptname=\\研发部`newdeptname=x"),
              "error:修改部门失败,请重试");
    EXPECT_EQ(Ask("DeptChange.asp?op=changeparent`origdeptname=\\研发部`newparentdept="),
              "error:修改部门失败,请重试");
}

// ---- UserAdd.asp ----------------------------------------------------------

const std::string kNewUser =
    "UserAdd.asp?username=wang`deptname=\\销售部\\华东区|\\研发部|`name=王 五`position= 经理"
    "`gender=女`mobile=137`phone=021`email=w@corp.cn`pwd=secret`roles=User;销售;`level= 7";

TEST_F(DirectoryChangeHandlersTest, UserAddWritesEverything) {
    EXPECT_EQ(Ask(kNewUser), "info:添加用户成功");
    ASSERT_TRUE(Im().HasUser("wang"));
    UserBasicInfo basic = Im().BasicOf("wang");
    EXPECT_EQ(basic.name, "王 五");
    EXPECT_EQ(basic.gender, 1);
    EXPECT_EQ(basic.mobile, "137");
    EXPECT_EQ(basic.phone, "021");
    EXPECT_EQ(basic.email, "w@corp.cn");
    EXPECT_EQ(Im().PasswordOf("wang"), "secret");
    EXPECT_EQ(Im().DetailOf("wang").Position(), "经理");
    EXPECT_EQ(Im().DetailOf("wang").Level(), 7);
    EXPECT_EQ(Im().RolesOf("wang"), (Names{"User", "销售"}));
    EXPECT_EQ(Im().DeptsOf("wang"), (Names{"\\销售部\\华东区", "\\研发部"}));
}

TEST_F(DirectoryChangeHandlersTest, UserAddRefusesEmptyNamesExistingAndReservedAccounts) {
    EXPECT_EQ(Ask("UserAdd.asp?username=wang`deptname="), "error:用户名和部门名称不允许为空");
    EXPECT_EQ(Ask("UserAdd.asp?username=`deptname=\\研发部"), "error:用户名和部门名称不允许为空");
    EXPECT_EQ(Ask("UserAdd.asp?op=update`username=zhang`deptname="),
              "error:用户名和部门名称不允许为空");
    EXPECT_EQ(Ask("UserAdd.asp?username=zhang`deptname=\\销售部`name=新名字"),
              "error:用户已经存在");
    EXPECT_EQ(Ask("UserAdd.asp?username=a=b`deptname=\\销售部"), kReservedName);
    // Separators alone name no department: the user would be in none.
    EXPECT_EQ(Ask("UserAdd.asp?username=wang`deptname=||"), "error:用户名和部门名称不允许为空");
    EXPECT_EQ(Im().Calls(), (Names{"IsUserExist(zhang)"}));
    EXPECT_EQ(Im().BasicOf("zhang").name, "zhang");
}

TEST_F(DirectoryChangeHandlersTest, UserAddUpdateMovesBetweenDepartments) {
    Im().MakeUser("zhang", "\\销售部\\华北区");
    Im().SetUserPassword("zhang", "old");
    std::string before = *Ask("GetUserDepts.asp?username=zhang");
    EXPECT_EQ(before, "销售部\\华北区,研发部");
    EXPECT_EQ(Ask("UserAdd.asp?op=Update`username=zhang`deptname=\\销售部\\华东区|`newdeptname=" +
                  before + "`name=张三`gender=男`pwd="),
              "info:修改用户信息成功");
    EXPECT_EQ(Im().DeptsOf("zhang"), (Names{"\\销售部\\华东区"}));
    EXPECT_EQ(Im().PasswordOf("zhang"), "old");
    EXPECT_TRUE(Im().CallsOf("SetUserPreparedPassword").empty());
    EXPECT_EQ(Im().BasicOf("zhang").name, "张三");
}

TEST_F(DirectoryChangeHandlersTest, UserAddFailedWriteTakesTheNewAccountAway) {
    for (const char* operation :
         {"PreparePassword", "SetUserPreparedPassword", "SetUserBasicInfo", "GetUserDetail",
          "SetUserDetail", "GetUserRoles", "AddUserToDept"}) {
        Im().Fail(operation);
        EXPECT_EQ(Ask(kNewUser), "error:添加用户失败") << operation;
        EXPECT_FALSE(Im().HasUser("wang")) << operation;
        Im().Heal(operation);
    }
    // The second department fails after the first was joined: still nothing left.
    Im().Fail("AddUserToDept", 1);
    EXPECT_EQ(Ask(kNewUser), "error:添加用户失败");
    EXPECT_FALSE(Im().HasUser("wang"));
    EXPECT_EQ(Im().UnitsRolledBack(), 7);  // the hash fails before any unit
    EXPECT_EQ(Im().UnitsCommitted(), 0);
}

TEST_F(DirectoryChangeHandlersTest, UserAddFailedCommitLeavesNothing) {
    Im().FailNextCommit();
    EXPECT_EQ(Ask(kNewUser), "error:添加用户失败");
    EXPECT_FALSE(Im().HasUser("wang"));
    Im().MakeUser("zhang", "\\销售部\\华北区");
    Im().FailNextCommit();
    EXPECT_EQ(Ask("UserAdd.asp?op=update`username=zhang`deptname=\\销售部\\华东区|"
                  "`newdeptname=销售部\\华北区,研发部`name=张三"),
              "error:修改用户信息失败");
    EXPECT_EQ(Im().DeptsOf("zhang"), (Names{"\\销售部\\华北区", "\\研发部"}));
    EXPECT_EQ(Im().BasicOf("zhang").name, "zhang");
}

TEST_F(DirectoryChangeHandlersTest, UserAddCheckOrCreateFailureIsTheGeneralError) {
    Im().Fail("IsUserExist");
    EXPECT_EQ(Ask(kNewUser), kGeneralError);
    Im().Heal("IsUserExist");
    Im().Fail("AddUser");
    EXPECT_EQ(Ask(kNewUser), kGeneralError);
    EXPECT_FALSE(Im().HasUser("wang"));
}

TEST_F(DirectoryChangeHandlersTest, UserAddUpdateFailureKeepsTheUserInHisDepartments) {
    Im().MakeUser("zhang", "\\销售部\\华北区");
    Im().Fail("SetUserBasicInfo");
    EXPECT_EQ(Ask("UserAdd.asp?op=update`username=zhang`deptname=\\销售部\\华东区|"
                  "`newdeptname=销售部\\华北区,研发部`name=张三"),
              "error:修改用户信息失败");
    EXPECT_TRUE(Im().HasUser("zhang"));
    EXPECT_EQ(Im().DeptsOf("zhang"), (Names{"\\销售部\\华北区", "\\研发部"}));
}

TEST_F(DirectoryChangeHandlersTest, UserAddUpdateFailureLeavingDepartmentsRejoinsThem) {
    // The editor's list names a department the user has already left.
    Im().MakeUser("zhang", "\\销售部\\华北区");
    EXPECT_EQ(Ask("UserAdd.asp?op=update`username=zhang`deptname=\\销售部\\华东区|"
                  "`newdeptname=研发部,销售部\\华东区,销售部\\华北区"),
              kGeneralError);
    EXPECT_EQ(Im().DeptsOf("zhang"), (Names{"\\销售部\\华北区", "\\研发部"}));
}

TEST_F(DirectoryChangeHandlersTest, UserAddWithOtherOpSkipsCreationAndDepartureSteps) {
    EXPECT_EQ(
        Ask("UserAdd.asp?op=edit`username=zhang`deptname=\\销售部|`newdeptname=研发部`name=Z"),
        "info:添加用户成功");
    EXPECT_EQ(Im().DeptsOf("zhang"), (Names{"\\销售部", "\\研发部"}));
    EXPECT_TRUE(Im().CallsOf("IsUserExist").empty());
    EXPECT_EQ(Ask("UserAdd.asp?op=edit`username=nobody`deptname=\\销售部|"), "error:添加用户失败");
}

// ---- UserDelete.asp -------------------------------------------------------

TEST_F(DirectoryChangeHandlersTest, UserDeleteAlwaysAnswersInfo) {
    EXPECT_EQ(Ask("UserDelete.asp?username=zhang"), "info:删除用户成功");
    EXPECT_FALSE(Im().HasUser("zhang"));
    EXPECT_TRUE(Im().DeptsOf("zhang").empty());
    EXPECT_EQ(Ask("UserDelete.asp?username=zhang"), "info:用户删除成功");
    Im().MakeUser("li");
    Im().Fail("DeleteUser");
    EXPECT_EQ(Ask("userdelete.asp?username=li"), "info:用户删除成功");
}

}  // namespace
}  // namespace warden::test
