#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

#include "server/dispatch/AdminHandlers.h"
#include "server/dispatch/Dispatcher.h"
#include "server/im/ImService.h"
#include "server/store/AdminStore.h"
#include "server/store/Odbc.h"
#include "tests/support/FakeIm.h"
#include "tests/support/ServerProcess.h"
#include "tests/support/TempDir.h"

namespace warden::test {
namespace {

constexpr const char kGeneralError[] = "error:处理请求失败,请检查数据后重新提交";
constexpr const char kVersionError[] =
    "error:此客户端版本与服务器端不匹配，请与管理员联系获得最新版本.";

class AdminHandlersTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string problem;
        ASSERT_TRUE(store.EnsureDataFile(BinaryDir(), problem)) << problem;
        store.OpenDatabase(DefaultAdminStoreConnection());
        root->MakeUser("bob", "\\研发部");
        root->SetUserPassword("bob", "bobs IM password");
        root->ClearCalls();
        im.SetRoot(root);
        services.adminStore = &store;
        services.im = &im;
        RegisterAdminHandlers(dispatcher);
    }

    std::optional<std::string> Ask(const std::string& request) {
        if (session.peerAddress.empty()) session.peerAddress = "127.0.0.1";
        std::optional<std::string> reply;
        dispatcher.ProcessRequest(request, session, [&](const std::string& r) {
            if (!r.empty()) reply = r;
        });
        return reply;
    }

    TempDir dir;
    AdminStore store{dir.Path()};
    std::shared_ptr<FakeIm> root = std::make_shared<FakeIm>();
    ImService im;
    Services services;
    Dispatcher dispatcher{services, /*requireLogin=*/true};
    Session session;
};

TEST_F(AdminHandlersTest, AnyVersionButExactly15IsRefusedBeforeTheCredentials) {
    for (const char* ver : {"", "1.50", "1.4", "v1.5"}) {
        EXPECT_EQ(Ask(std::string("LoginCheck.asp?username=admin`password=admin`ver=") + ver),
                  kVersionError)
            << ver;
    }
    EXPECT_EQ(Ask("LoginCheck.asp?username=admin`password=admin"), kVersionError);
    EXPECT_EQ(Ask("LoginCheck.asp?ver=1.5 `username=admin`password=admin"), kVersionError);
    EXPECT_EQ(Ask("LoginCheck.asp?username=bob`password=bobs IM password`ver=1.51"), kVersionError);
    EXPECT_TRUE(root->CallsOf("VerifyPassword").empty());
    EXPECT_EQ(session.login, LoginLevel::kNone);
}

TEST_F(AdminHandlersTest, TheSuperAdministratorIsCheckedByTheStoreAlone) {
    EXPECT_EQ(Ask("LoginCheck.asp?username=admin`password=wrong`ver=1.5"),
              "error:登录失败,请检查用户名和密码");
    EXPECT_EQ(session.login, LoginLevel::kNone);
    EXPECT_EQ(Ask("loginCHECK.asp?username=ADMIN`password=admin`ver=1.5"), "success|1");
    EXPECT_EQ(session.login, LoginLevel::kSuper);
    EXPECT_TRUE(root->CallsOf("VerifyPassword").empty());

    // The password dialog re-checks an old password on a live connection: a
    // wrong one must not log the connection out.
    EXPECT_EQ(Ask("LoginCheck.asp?username=admin`password=typo`ver=1.5"),
              "error:登录失败,请检查用户名和密码");
    EXPECT_EQ(Ask("LoginCheck.asp?username=admin`password=admin`ver=1.4"), kVersionError);
    EXPECT_EQ(session.login, LoginLevel::kSuper);
    EXPECT_EQ(Ask("GetAdminList.asp"), " ");
}

TEST_F(AdminHandlersTest, OtherAccountsAreCheckedByTheDirectoryAlone) {
    EXPECT_EQ(Ask("LoginCheck.asp?username=bob`password=wrong`ver=1.5"), "error:用户或密码错误");
    EXPECT_EQ(session.login, LoginLevel::kNone);
    EXPECT_EQ(Ask("GetAdminList.asp"), "error:请先登录");

    // No row in the admin store is needed; without one he may only learn that.
    EXPECT_EQ(Ask("LoginCheck.asp?username=bob`password=bobs IM password`ver=1.5"), "success|0");
    EXPECT_EQ(session.login, LoginLevel::kDirectory);
    EXPECT_EQ(root->CallsOf("VerifyPassword"), (std::vector<std::string>{"bob", "bob"}));
    EXPECT_EQ(Ask("QueryUserAdminDepts.asp?username=bob"), "|");
    EXPECT_EQ(Ask("QueryUserAdminDepts.asp?username=carol"), "error:没有权限执行此操作");
}

TEST_F(AdminHandlersTest, ASecondLevelAdministratorCannotTakeTheSuperAccount) {
    ASSERT_EQ(Ask("LoginCheck.asp?username=bob`password=bobs IM password`ver=1.5"), "success|0");
    const std::string refused = "error:没有权限执行此操作";
    EXPECT_EQ(Ask("ChangePwd.asp?username=admin`password=mine"), refused);
    EXPECT_EQ(Ask("SaveAdminDepts.asp?username=bob`depts=\\all;`adminroles=r|"), refused);
    EXPECT_EQ(Ask("DeleteAdmin.asp?username=carol"), refused);
    // Only the super administrator's console changes a password, so bob's
    // own entry is refused as well, row or not.
    EXPECT_EQ(Ask("ChangePwd.asp?username=BOB`password=mine"), refused);
    ASSERT_TRUE(store.SaveAdmin("bob", "\\研发部;", ""));
    EXPECT_EQ(Ask("ChangePwd.asp?username=BOB`password=mine"), refused);
    EXPECT_EQ(Ask("QueryUserAdminDepts.asp?username=bob"), "|\\研发部;");
    Session other;
    std::swap(session, other);
    EXPECT_EQ(Ask("LoginCheck.asp?username=admin`password=admin`ver=1.5"), "success|1");
    EXPECT_EQ(Ask("ChangePwd.asp?username=admin`oldpassword=admin`password=again"), "success");
}

TEST_F(AdminHandlersTest, TheInitialPasswordOpensOnlyFromThisMachine) {
    const std::string login = "LoginCheck.asp?username=admin`password=admin`ver=1.5";
    for (const char* address : {"192.0.2.7", "::ffff:10.1.2.3", "2001:db8::1", "128.0.0.1"}) {
        session.peerAddress = address;
        const std::string reply = Ask(login).value_or("");
        EXPECT_NE(reply.find("warden-server --set-admin-password"), std::string::npos) << address;
        EXPECT_EQ(session.login, LoginLevel::kNone) << address;
    }
    for (const char* address : {"127.0.0.1", "127.8.9.10", "::1", "::ffff:127.0.0.1"}) {
        session.peerAddress = address;
        EXPECT_EQ(Ask(login), "success|1") << address;
    }
    // Once changed, the password opens from anywhere.
    ASSERT_EQ(Ask("ChangePwd.asp?username=admin`oldpassword=admin`password=Changed-1"), "success");
    session.peerAddress = "192.0.2.7";
    EXPECT_EQ(Ask("LoginCheck.asp?username=admin`password=Changed-1`ver=1.5"), "success|1");
}

TEST_F(AdminHandlersTest, AnEmptyOrBlankPasswordIsRefusedAndNothingStored) {
    session.login = LoginLevel::kSuper;
    for (const char* password : {"", " ", "\t \t"}) {
        EXPECT_EQ(Ask(std::string("ChangePwd.asp?username=admin`oldpassword=admin`password=") +
                      password),
                  "error:新密码不能为空")
            << "[" << password << "]";
    }
    EXPECT_TRUE(store.CheckLogin("admin", "admin"));
    for (const char* old : {"", "Admin", "admin2"}) {
        EXPECT_EQ(Ask(std::string("ChangePwd.asp?username=admin`password=x`oldpassword=") + old),
                  "error:原密码错误")
            << "[" << old << "]";
    }
    EXPECT_EQ(Ask("ChangePwd.asp?username=admin`oldpassword=admin`password= new pw"), "success");
    EXPECT_TRUE(store.CheckLogin("admin", " new pw"));
}

TEST_F(AdminHandlersTest, WithoutADirectoryOtherAccountsGetTheGeneralError) {
    im.SetRoot(nullptr);
    EXPECT_EQ(Ask("LoginCheck.asp?username=bob`password=bobs IM password`ver=1.5"), kGeneralError);
    services.im = nullptr;
    EXPECT_EQ(Ask("LoginCheck.asp?username=bob`password=bobs IM password`ver=1.5"), kGeneralError);
    EXPECT_EQ(session.login, LoginLevel::kNone);
    // The super administrator does not need the directory.
    EXPECT_EQ(Ask("LoginCheck.asp?username=admin`password=admin`ver=1.5"), "success|1");
}

TEST_F(AdminHandlersTest, WithoutAStoreEveryRequestGetsTheGeneralError) {
    services.adminStore = nullptr;
    EXPECT_EQ(Ask("LoginCheck.asp?username=admin`password=admin`ver=1.5"), kGeneralError);
    session.login = LoginLevel::kSuper;
    for (const char* request :
         {"ChangePwd.asp?username=admin`password=x", "QueryUserAdminDepts.asp?username=bob",
          "GetAdminList.asp", "SaveAdminDepts.asp?username=bob`depts=d;`adminroles=r|",
          "DeleteAdmin.asp?username=bob", "Get2NdAdminRoles.asp?username=bob"}) {
        EXPECT_EQ(Ask(request), kGeneralError) << request;
    }
}

TEST_F(AdminHandlersTest, ListRepliesDropLeadingWhiteSpaceAndAreNeverEmpty) {
    session.login = LoginLevel::kSuper;
    EXPECT_EQ(Ask("Get2NdAdminRoles.asp?username=bob"), " ");
    ASSERT_TRUE(store.SetAdminRoles("bob", "\t经理|员工| "));
    // The roles file itself drops white space around a value, as profile
    // files always have; what is left is sent as it is.
    EXPECT_EQ(Ask("Get2NdAdminRoles.asp?username=bob"), "经理|员工|");
    // A row written by another tool, whose name begins with white space.
    OdbcConnection(
        FillConnectionString(DefaultAdminStoreConnection(), "", store.DataFile().string()))
        .Execute("INSERT INTO vex_2nd_admins(admin_name) VALUES (?)", {std::string(" \tcarol")});
    EXPECT_EQ(Ask("GetAdminList.asp"), "carol|");

    // A roles file that cannot be read is a failure, never "no roles".
    std::filesystem::remove(dir.Path() / "RolesAdmin.ini");
    std::filesystem::create_directory(dir.Path() / "RolesAdmin.ini");
    EXPECT_EQ(Ask("Get2NdAdminRoles.asp?username=bob"), kGeneralError);
}

}  // namespace
}  // namespace warden::test
