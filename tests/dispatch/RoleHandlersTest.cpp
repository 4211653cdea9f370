#include "protocol/SplitList.h"
#include "server/im/RoleRights.h"
#include "tests/dispatch/HandlerFixture.h"

namespace warden::test {
namespace {

constexpr const char kReservedName[] =
    "error:名称中不能含有以下字符: \\ , ` | ^ ; = ? 以及控制字符";

using Names = std::vector<std::string>;

class RoleHandlersTest : public HandlerFixture {
  protected:
    RoleHandlersTest() {
        Im().MakeRole("Sales", "销售人员");
        Im().GiveRight("Sales", "RIGHT_INNER_SEND_SMS", true, false);
        Im().GiveRight("Sales", "RIGHT_OUT_SEND_FILE_LIMIT", false, true);
        Im().ClearCalls();
    }
};

TEST_F(RoleHandlersTest, AllRolesOrOneSpace) {
    Im().MakeRole("大区 经理");
    EXPECT_EQ(Ask("GetAllRoles.asp"), "=User=管理员=Sales=大区 经理");
    Im().OverrideAnswer("GetAllRoles", "", "<VEXSRoleList></VEXSRoleList>");
    EXPECT_EQ(Ask("getallroles.asp?"), " ");
}

TEST_F(RoleHandlersTest, DescriptionComesBackAsWritten) {
    EXPECT_EQ(Ask("GetRoleDescription.asp?rolename=Sales"), "销售人员");
    Im().UpdateRole("Sales", "Sales", R"(说 "你好" & <再见>)");
    EXPECT_EQ(Ask("GetRoleDescription.asp?rolename=Sales"), R"(说 "你好" & <再见>)");
}

TEST_F(RoleHandlersTest, EmptyOrMissingDescriptionIsOneSpace) {
    Im().MakeRole("空");
    EXPECT_EQ(Ask("GetRoleDescription.asp?rolename=空"), " ");
    Im().OverrideAnswer("GetRoleDescription", "Sales", "");
    EXPECT_EQ(Ask("GetRoleDescription.asp?rolename=Sales"), " ");
    Im().OverrideAnswer("GetRoleDescription", "Sales", "<Role RoleName=\"Sales\"/>");
    EXPECT_EQ(Ask("GetRoleDescription.asp?rolename=Sales"), " ");
    EXPECT_EQ(Ask("GetRoleDescription.asp?rolename=nobody"), kGeneralError);
}

TEST_F(RoleHandlersTest, RightsOfRoleOrOneSpace) {
    EXPECT_EQ(Ask("GetRightsOfRole.asp?rolename=Sales"),
              "RIGHT_INNER_SEND_SMS|1|0|发送短信|^RIGHT_OUT_SEND_FILE_LIMIT|0|1|向外部发送文件("
              "限制大小)|");
    EXPECT_EQ(Ask("GetRightsOfRole.asp?rolename=User"), " ");
    Im().OverrideAnswer(
        "GetRoleRights", "x",
        R"(<R><Item Identity="RIGHT_INNER_SEND_SMS" Deny="TRUE" Allow="false"/></R>)");
    EXPECT_EQ(Ask("GetRightsOfRole.asp?rolename=x"), "RIGHT_INNER_SEND_SMS|1|0|发送短信|");
}

TEST_F(RoleHandlersTest, AllRightsOrOneSpace) {
    auto all = Ask("GetAllRights.asp");
    ASSERT_TRUE(all.has_value());
    auto entries = SplitList(*all, "^");
    ASSERT_EQ(entries.size(), 10u);
    EXPECT_EQ(entries[2], "RIGHT_INNER_SEND_FILE_N(M)|发送文件|1|");
    for (auto right : kRightIdentities) Im().OverrideAnswer("GetRightInfo", std::string(right), "");
    EXPECT_EQ(Ask("GetAllRights.asp"), " ");
}

TEST_F(RoleHandlersTest, AddCreatesTheRoleWithItsRights) {
    EXPECT_EQ(Ask("RoleAdmin.asp?op=add`name=客服 组`desc=客户服务`rightInfo="
                  "RIGHT_INNER_SEND_SMS|0|1^RIGHT_INNER_REMOTE_LOGON|1|1"),
              "info:添加角色成功");
    ASSERT_TRUE(Im().HasRole("客服 组"));
    EXPECT_EQ(Im().DescriptionOf("客服 组"), "客户服务");
    auto rights = Im().RightsOf("客服 组");
    ASSERT_EQ(rights.size(), 2u);
    EXPECT_TRUE(rights["RIGHT_INNER_SEND_SMS"].allow);
    EXPECT_FALSE(rights["RIGHT_INNER_SEND_SMS"].deny);
    EXPECT_EQ(Im().CallsOf("SetRoleRight"),
              (Names{"客服 组,RIGHT_INNER_SEND_SMS,0,1", "客服 组,RIGHT_INNER_REMOTE_LOGON,1,0",
                     "客服 组,RIGHT_INNER_REMOTE_LOGON,0,1"}));
}

TEST_F(RoleHandlersTest, AddWithoutRightsCreatesTheRoleAndSaysRightsAreMissing) {
    EXPECT_EQ(Ask("RoleAdmin.asp?op=ADD`name=客服`desc=d`rightInfo="), "error:权限不能为空");
    EXPECT_TRUE(Im().HasRole("客服"));
    EXPECT_TRUE(Im().RightsOf("客服").empty());
}

TEST_F(RoleHandlersTest, EmptyOpOrNameGetsOneSpaceAndCreatesNothing) {
    EXPECT_EQ(Ask("RoleAdmin.asp?op=add`name=`desc=d`rightInfo=RIGHT_INNER_SEND_SMS|1|0"), " ");
    EXPECT_EQ(Ask("RoleAdmin.asp?name=客服`desc=d"), " ");
    EXPECT_TRUE(Im().Calls().empty());
}

TEST_F(RoleHandlersTest, AddRefusesReservedNamesAndExistingRoles) {
    EXPECT_EQ(Ask("RoleAdmin.asp?op=add`name=a=b`rightInfo=RIGHT_INNER_SEND_SMS|1|0"),
              kReservedName);
    EXPECT_TRUE(Im().Calls().empty());
    EXPECT_EQ(Ask("RoleAdmin.asp?op=add`name=sales`rightInfo=RIGHT_INNER_SEND_SMS|1|0"),
              kGeneralError);
}

TEST_F(RoleHandlersTest, RoleAdminNameMatchesExactly) {
    EXPECT_EQ(Ask("roleadmin.asp?op=del`name=Sales"), std::nullopt);
    EXPECT_EQ(Ask("RoleAdmin.asp?op=unknown`name=Sales"), std::nullopt);
    EXPECT_TRUE(Im().HasRole("Sales"));
}

TEST_F(RoleHandlersTest, DeleteRemovesTheRole) {
    EXPECT_EQ(Ask("RoleAdmin.asp?op=Del`name=Sales"), "info:删除角色成功");
    EXPECT_FALSE(Im().HasRole("Sales"));
    EXPECT_EQ(Ask("RoleAdmin.asp?op=del`name=Sales"), kGeneralError);
}

TEST_F(RoleHandlersTest, UpdateRenamesAndRewritesTheDescription) {
    EXPECT_EQ(Ask("RoleAdmin.asp?op=update`name=Sales`newname=销售 团队`desc=新说明"),
              "info:修改角色成功");
    EXPECT_EQ(Im().DescriptionOf("销售 团队"), "新说明");
    EXPECT_FALSE(Im().HasRole("Sales"));
    EXPECT_EQ(Im().RightsOf("销售 团队").size(), 2u);
}

TEST_F(RoleHandlersTest, UpdateWithCaseOnlyChangeEndsNamedAsSent) {
    EXPECT_EQ(Ask("RoleAdmin.asp?op=update`name=sales`newname=SALES`desc=新说明"),
              "info:修改角色成功");
    EXPECT_EQ(Im().CallsOf("UpdateRole"), (Names{"sales,sales,新说明"}));
    EXPECT_EQ(Im().RoleNames(), (Names{"User", "管理员", "sales"}));
    EXPECT_EQ(Im().DescriptionOf("sales"), "新说明");
}

TEST_F(RoleHandlersTest, TheBuiltInRolesTakeANewDescription) {
    for (const char* role : {"User", "管理员"}) {
        EXPECT_EQ(Ask(std::string("RoleAdmin.asp?op=update`name=") + role + "`newname=" + role +
                      "`desc=新说明"),
                  "info:修改角色成功")
            << role;
        EXPECT_EQ(Im().DescriptionOf(role), "新说明") << role;
    }
    EXPECT_EQ(Im().RoleNames(), (Names{"User", "管理员", "Sales"}));
    // Renaming one is still refused by the directory.
    EXPECT_EQ(Ask("RoleAdmin.asp?op=update`name=User`newname=Users`desc=x"), kGeneralError);
}

TEST_F(RoleHandlersTest, UpdateRefusesReservedNewNames) {
    EXPECT_EQ(Ask("RoleAdmin.asp?op=update`name=Sales`newname=a|b`desc=x"), kReservedName);
    EXPECT_TRUE(Im().CallsOf("UpdateRole").empty());
}

TEST_F(RoleHandlersTest, UpdateFailureIsTheGeneralError) {
    EXPECT_EQ(Ask("RoleAdmin.asp?op=update`name=Sales`newname=User`desc=x"), kGeneralError);
    Im().Fail("UpdateRole");
    EXPECT_EQ(Ask("RoleAdmin.asp?op=update`name=Sales`newname=sales`desc=x"), kGeneralError);
}

TEST_F(RoleHandlersTest, UpdateRoleRightAnswersTrue) {
    EXPECT_EQ(Ask("updateroleright.asp?name=Sales`rightInfo=RIGHT_INNER_SEND_SMS|0|1"), "true");
    EXPECT_TRUE(Im().RightsOf("Sales")["RIGHT_INNER_SEND_SMS"].allow);
    EXPECT_EQ(Ask("UpdateRoleRight.asp?name=Sales`rightInfo="), "error:权限不能为空");
    EXPECT_EQ(Ask("UpdateRoleRight.asp?name=nobody`rightInfo=RIGHT_INNER_SEND_SMS|0|1"),
              kGeneralError);
}

// Each request with a directory call it depends on.
const std::pair<const char*, const char*> kRoleRequests[] = {
    {"GetAllRoles.asp", "GetAllRoles"},
    {"GetRoleDescription.asp?rolename=Sales", "GetRoleDescription"},
    {"GetRightsOfRole.asp?rolename=Sales", "GetRoleRights"},
    {"GetRightsOfRole.asp?rolename=Sales", "GetRightInfo"},
    {"GetAllRights.asp", "GetRightInfo"},
    {"RoleAdmin.asp?op=add`name=新角色`rightInfo=RIGHT_INNER_SEND_SMS|1|0", "AddRole"},
    {"RoleAdmin.asp?op=add`name=新角色2`rightInfo=RIGHT_INNER_SEND_SMS|1|0", "AddRightToRole"},
    {"RoleAdmin.asp?op=del`name=Sales", "DeleteRole"},
    {"RoleAdmin.asp?op=update`name=Sales`newname=S2", "UpdateRole"},
    {"UpdateRoleRight.asp?name=Sales`rightInfo=RIGHT_INNER_SEND_SMS|1|0", "SetRoleRight"},
    {"UpdateRoleRight.asp?name=Sales`rightInfo=RIGHT_INNER_SEND_SMS|1|0", "GetRoleRights"},
};

TEST_F(RoleHandlersTest, EveryDirectoryFailureGetsTheGeneralError) {
    for (auto [request, operation] : kRoleRequests) {
        Im().Fail(operation);
        EXPECT_EQ(Ask(request), kGeneralError) << request << " / " << operation;
        Im().Heal(operation);
    }
    EXPECT_TRUE(Im().HasRole("Sales"));
    DropDirectory();
    for (auto [request, operation] : kRoleRequests) {
        EXPECT_EQ(Ask(request), kGeneralError) << request;
    }
}

}  // namespace
}  // namespace warden::test
