#include "tests/dispatch/HandlerFixture.h"

namespace warden::test {
namespace {

class DirectoryQueryHandlersTest : public HandlerFixture {
  protected:
    DirectoryQueryHandlersTest() {
        Im().MakeDept("\\销售部\\华东 区");
        Im().MakeDept("\\销售部\\华北区");
        Im().MakeDept("\\研发部");
        Im().MakeUser("zhang", "\\销售部\\华东 区");
        Im().MakeUser("li", "\\销售部\\华东 区");
        Im().MakeUser("li", "\\研发部");
    }
};

TEST_F(DirectoryQueryHandlersTest, CheckUserExistNamesTheMissingAccount) {
    EXPECT_EQ(Ask("CheckUserExist.asp?username=zhang"), "info:");
    EXPECT_EQ(Ask("checkuserexist.asp?username=王五"), "error:王五不存在,管理员须为VEX用户");
}

TEST_F(DirectoryQueryHandlersTest, ChildDepartmentsAsNameList) {
    EXPECT_EQ(Ask("GetChildDepts.asp?deptId="), "销售部,研发部");
    EXPECT_EQ(Ask("GetChildDepts.asp?deptId=\\销售部"), "华东 区,华北区");
    EXPECT_EQ(Ask("GETCHILDDEPTS.ASP?deptId=\\销售部\\华东 区"), " ");
    // The key is compared exactly: "deptid" is not "deptId", so the top level.
    EXPECT_EQ(Ask("GetChildDepts.asp?deptid=\\销售部"), "销售部,研发部");
}

TEST_F(DirectoryQueryHandlersTest, SameLevelTreatsBackslashAsTopLevelAndMatchesExactly) {
    EXPECT_EQ(Ask("GetSameLevelDepts.asp?deptId=\\"), "销售部,研发部");
    EXPECT_EQ(Ask("GetSameLevelDepts.asp?deptId="), "销售部,研发部");
    EXPECT_EQ(Ask("GetSameLevelDepts.asp?deptId=\\销售部"), "华东 区,华北区");
    EXPECT_EQ(Ask("getsameleveldepts.asp?deptId=\\"), std::nullopt);
}

TEST_F(DirectoryQueryHandlersTest, DepartmentUsersAsNameList) {
    EXPECT_EQ(Ask("GetDeptUsers.asp?deptId=\\销售部\\华东 区"), "zhang,li");
    EXPECT_EQ(Ask("GetDeptUsers.asp?deptId=\\销售部"), " ");
}

TEST_F(DirectoryQueryHandlersTest, UserRecordAndDepartments) {
    Im().SetUserBasicInfo("li", "李四", 1, "139", "li@corp.cn", "010", 0);
    UserDetail detail;
    detail.Position() = "工程师";
    detail.Level() = 3;
    Im().SetDetail("li", detail);
    EXPECT_EQ(Ask("GetUserBInfo.asp?username=li"),
              "name:李四|gender:女|mobile:139|email:li@corp.cn|phone:010|auth:0|uin:10002|"
              "position:工程师|level:3");
    EXPECT_EQ(Ask("GetUserDepts.asp?username=li"), "销售部\\华东 区,研发部");
}

TEST_F(DirectoryQueryHandlersTest, UserRolesOrOneSpace) {
    EXPECT_EQ(Ask("GetUserRoles.asp?username=zhang"), " ");
    Im().GiveRole("zhang", "User");
    Im().GiveRole("zhang", "大区 经理");
    EXPECT_EQ(Ask("GetUserRoles.asp?username=zhang"), "User=大区 经理");
}

TEST_F(DirectoryQueryHandlersTest, ConnectionWithoutLoginIsRefusedBeforeTheDirectory) {
    m_session.login = LoginLevel::kNone;
    EXPECT_EQ(Ask("GetChildDepts.asp?deptId="), "error:请先登录");
    EXPECT_EQ(Ask("CheckUserExist.asp?username=zhang"), "error:请先登录");
    EXPECT_TRUE(Im().Calls().empty());
}

// Each query with the directory call it depends on.
const std::pair<const char*, const char*> kQueries[] = {
    {"CheckUserExist.asp?username=zhang", "IsUserExist"},
    {"GetChildDepts.asp?deptId=\\销售部", "GetChildDepts"},
    {"GetSameLevelDepts.asp?deptId=\\", "GetChildDepts"},
    {"GetDeptUsers.asp?deptId=\\研发部", "GetDeptUsers"},
    {"GetUserBInfo.asp?username=zhang", "GetUserBasicInfo"},
    {"GetUserBInfo.asp?username=zhang", "GetUserUin"},
    {"GetUserBInfo.asp?username=zhang", "GetUserDetail"},
    {"GetUserDepts.asp?username=zhang", "GetUserDepts"},
    {"GetUserRoles.asp?username=zhang", "GetUserRoles"},
};

TEST_F(DirectoryQueryHandlersTest, EveryDirectoryFailureGetsTheGeneralError) {
    for (auto [request, operation] : kQueries) {
        ASSERT_NE(Ask(request), kGeneralError) << request;
        Im().Fail(operation);
        EXPECT_EQ(Ask(request), kGeneralError) << request << " / " << operation;
        Im().Heal(operation);
    }
}

TEST_F(DirectoryQueryHandlersTest, UnknownDepartmentsAndUsersGetTheGeneralError) {
    EXPECT_EQ(Ask("GetChildDepts.asp?deptId=\\没有"), kGeneralError);
    EXPECT_EQ(Ask("GetDeptUsers.asp?deptId=\\没有"), kGeneralError);
    EXPECT_EQ(Ask("GetUserBInfo.asp?username=nobody"), kGeneralError);
}

TEST_F(DirectoryQueryHandlersTest, NoDirectoryGetsTheGeneralError) {
    DropDirectory();
    for (auto [request, operation] : kQueries) EXPECT_EQ(Ask(request), kGeneralError) << request;
    m_services.im = nullptr;
    EXPECT_EQ(Ask("GetChildDepts.asp?deptId="), kGeneralError);
}

TEST_F(DirectoryQueryHandlersTest, GarbledDirectoryAnswerIsAFailureNotANameList) {
    Im().OverrideAnswer("GetUserRoles", "zhang", "<VEXSRoleList><Item RoleName=\"a\">");
    EXPECT_EQ(Ask("GetUserRoles.asp?username=zhang"), kGeneralError);
}

}  // namespace
}  // namespace warden::test
