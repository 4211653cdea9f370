#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include <unistd.h>

#include "console/core/LoginLogic.h"
#include "tests/console/FakeTransport.h"

namespace warden::console::test {
namespace {

namespace fs = std::filesystem;

class LoginLogicTest : public ::testing::Test {
  protected:
    static fs::path FreshDir() {
        fs::path dir = fs::temp_directory_path() /
                       ("warden-login-" + std::to_string(::getpid()) + "-" +
                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        return dir;
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string ReadFile(const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }
    void WriteFile(const fs::path& file, const std::string& text) {
        std::ofstream(file, std::ios::binary) << text;
    }

    static constexpr char kLogin[] = "LoginCheck.asp?username=admin`password=pw`ver=1.5";
    static constexpr char kDepts[] = "QueryUserAdminDepts.asp?username=admin";

    LoginOutcome PressAs(const std::string& name, const std::string& password = "pw") {
        return m_logic.Press({" 10.0.0.8 ", " 8800 ", name, password});
    }

    fs::path m_dir = FreshDir();
    FakeTransport m_transport;
    FakeSink m_sink;
    LoginState m_state;
    LoginLogic m_logic{m_transport, m_sink, m_state, m_dir};
};

// Including what the wire cannot carry: a password with "?" would reach the
// server as a request without parameters and be refused for its version.
TEST_F(LoginLogicTest, EmptyOrUnsendableBoxesAreReportedOneAtATimeInOrder) {
    LoginLogic logic(m_transport, m_sink, m_state, m_dir);
    struct Case {
        LoginInput input;
        std::string message;
        LoginField focus;
    } cases[] = {
        {{"", "", "", ""}, "请输入服务器地址", LoginField::kAddress},
        {{"  ", "8800", "admin", "pw"}, "请输入服务器地址", LoginField::kAddress},
        {{"1.2.3.4", "", "", ""}, "请输入登录名.", LoginField::kName},
        {{"1.2.3.4", "", "admin", " "}, "密码不能为空", LoginField::kPassword},
        {{"1.2.3.4", "\t", "admin", "pw"}, "请输入服务器端口", LoginField::kPort},
        {{"192.168.1", "8800", "admin", "pw"},
         "服务器地址无效, 请输入完整的IP地址(如 192.168.0.5)或主机名",
         LoginField::kAddress},
        {{"1.2.3.4", "8800", "ad,min", "pw"},
         "登录名不能含有以下字符: \\ , ` | ^ ; = ? 以及控制字符",
         LoginField::kName},
        {{"1.2.3.4", "8800", "admin", "p?w"},
         "密码中含有 ` 或 ? 字符, 无法发送到服务器",
         LoginField::kPassword},
        {{"1.2.3.4", "8800", "admin", "p`w"},
         "密码中含有 ` 或 ? 字符, 无法发送到服务器",
         LoginField::kPassword},
    };
    for (const Case& c : cases) {
        m_sink.shown.clear();
        LoginOutcome outcome = logic.Press(c.input);
        EXPECT_FALSE(outcome.success);
        EXPECT_EQ(outcome.focus, c.focus) << c.message;
        ASSERT_EQ(m_sink.shown.size(), 1u) << c.message;
        EXPECT_EQ(m_sink.shown[0].text, c.message);
        EXPECT_EQ(m_sink.shown[0].caption, "提示");
        EXPECT_EQ(m_sink.shown[0].icon, MessageIcon::kInformation);
    }
    EXPECT_TRUE(m_transport.opened.empty());
    EXPECT_FALSE(fs::exists(m_dir / "client.cfg"));
}

// What the dialog starts with, from the files of this console and of older
// ones (one line, perhaps in GBK, the plain port of the old default).
TEST_F(LoginLogicTest, ClientConfigGivesTheBoxesAndTheTransport) {
    struct Case {
        const char* file;  // nullptr: no file
        const char* address;
        const char* port;
        WireSecurity security;
    } cases[] = {
        {nullptr, "", "8801", WireSecurity::kTls},
        {"10.0.0.8:8800", "10.0.0.8", "8801", WireSecurity::kTls},
        {"10.0.0.8:9000", "10.0.0.8", "9000", WireSecurity::kTls},
        {"\xb7\xfe\xce\xf1\xc6\xf7:8800", "服务器", "8801", WireSecurity::kTls},  // GBK 服务器
        {"8800", "", "8801", WireSecurity::kTls},  // no colon: all of it is the port
        {"10.0.0.8:8800\ntransport=plain\n", "10.0.0.8", "8800", WireSecurity::kPlain},
        {"host:8801\r\ntransport=tls\r\ntrusted=host:8801 AB:CD\r\n", "host", "8801",
         WireSecurity::kTls},
    };
    for (const Case& c : cases) {
        fs::remove(m_dir / "client.cfg");
        if (c.file != nullptr) WriteFile(m_dir / "client.cfg", c.file);
        ServerAddress shown = m_logic.InitialServer();
        EXPECT_EQ(shown.address, c.address) << (c.file ? c.file : "none");
        EXPECT_EQ(shown.port, c.port) << (c.file ? c.file : "none");
        EXPECT_EQ(m_logic.InitialSecurity(), c.security) << (c.file ? c.file : "none");
        EXPECT_EQ(LoginLogic::FocusNameFirst(shown), *c.address != '\0');
    }
}

TEST_F(LoginLogicTest, PressRewritesTheServerLineAndTransportAndKeepsTrustedCertificates) {
    WriteFile(m_dir / "client.cfg", "old:1\ntrusted=Other.Example:08801 ab:cd\n");
    // Written at the press, before connecting, even when the connection fails.
    m_transport.openSucceeds = false;
    EXPECT_FALSE(
        m_logic.Press({" 192.168.0.5 ", " 8800 ", "admin", "pw", WireSecurity::kPlain}).success);
    EXPECT_EQ(ReadFile(m_dir / "client.cfg"),
              "192.168.0.5:8800\ntransport=plain\ntrusted=other.example:8801 AB:CD\n");
    EXPECT_EQ(m_transport.opened,
              (std::vector<std::pair<std::string, std::string>>{{"192.168.0.5", "8800"}}));
    EXPECT_EQ(m_transport.security, std::vector<WireSecurity>{WireSecurity::kPlain});
    EXPECT_TRUE(m_transport.requests.empty());
}

TEST_F(LoginLogicTest, SwitchingTheTransportSwapsOnlyTheDefaultPorts) {
    struct Case {
        const char* port;
        WireSecurity to;
        const char* shown;
    } cases[] = {
        {"8801", WireSecurity::kPlain, "8800"}, {"8800", WireSecurity::kTls, "8801"},
        {" 8800 ", WireSecurity::kTls, "8801"}, {"8801", WireSecurity::kTls, "8801"},
        {"9000", WireSecurity::kPlain, "9000"}, {"", WireSecurity::kTls, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LoginLogic::PortAfterSwitch(c.port, c.to), c.shown) << c.port;
    }
}

// Removing a trusted certificate is deliberate: it names the one removed
// and asks first.
TEST_F(LoginLogicTest, ForgettingACertificateAsksFirstAndTouchesOnlyThatServer) {
    const std::string file = "a:8801\ntransport=tls\ntrusted=a:8801 AA:01\ntrusted=b:8801 BB:02\n";
    WriteFile(m_dir / "client.cfg", file);
    EXPECT_FALSE(m_logic.ForgetCertificate("c", "8801"));
    EXPECT_EQ(m_sink.Texts(), std::vector<std::string>{"没有保存此服务器的证书: c:8801"});
    EXPECT_TRUE(m_sink.questions.empty());

    m_sink.answers = {false};
    EXPECT_FALSE(m_logic.ForgetCertificate(" A ", "8801"));
    ASSERT_EQ(m_sink.questions.size(), 1u);
    EXPECT_NE(m_sink.questions[0].second.find("A:8801"), std::string::npos);
    EXPECT_NE(m_sink.questions[0].second.find("AA:01"), std::string::npos);
    EXPECT_EQ(ReadFile(m_dir / "client.cfg"), file);

    EXPECT_TRUE(m_logic.ForgetCertificate("a", "8801"));
    EXPECT_EQ(ReadFile(m_dir / "client.cfg"), "a:8801\ntransport=tls\ntrusted=b:8801 BB:02\n");
    EXPECT_EQ(m_sink.Texts().back(), "已移除服务器的证书: a:8801");
}

TEST_F(LoginLogicTest, UnwritableConfigDoesNotStopTheLogin) {
    LoginLogic logic(m_transport, m_sink, m_state, m_dir / "no" / "such" / "folder");
    m_transport.replies[kLogin] = "success|1";
    m_transport.replies[kDepts] = " ";
    EXPECT_TRUE(logic.Press({"1.2.3.4", "8800", "admin", "pw"}).success);
    EXPECT_TRUE(m_sink.shown.empty());
}

TEST_F(LoginLogicTest, SuperAdministratorWithBlankDepartmentsLogsIn) {
    m_transport.replies[kLogin] = "success|1";
    m_transport.replies[kDepts] = " ";
    EXPECT_TRUE(PressAs(" admin ").success);
    EXPECT_EQ(m_transport.requests, (std::vector<std::string>{kLogin, kDepts}));
    EXPECT_EQ(m_state.loginName, "admin");
    EXPECT_TRUE(m_state.IsSuper());
    EXPECT_EQ(m_state.managedDepts, "");
    EXPECT_TRUE(m_sink.shown.empty());
    EXPECT_FALSE(m_state.initialPassword);
    // The shipped password: the console asks for a new one at once.
    m_transport.replies["LoginCheck.asp?username=admin`password=admin`ver=1.5"] = "success|1";
    EXPECT_TRUE(PressAs("admin", "admin").success);
    EXPECT_TRUE(m_state.initialPassword);
}

TEST_F(LoginLogicTest, SuperAdministratorWithDepartmentsIsStillLoggedIn) {
    m_transport.replies[kLogin] = "success|1";
    m_transport.replies[kDepts] = "|\\a;";
    EXPECT_TRUE(PressAs("admin").success);
    EXPECT_TRUE(m_state.IsSuper());
    EXPECT_EQ(m_state.managedDepts, "");
}

TEST_F(LoginLogicTest, SecondLevelAdministratorGetsHisDepartments) {
    m_transport.replies["LoginCheck.asp?username=zhang`password=pw`ver=1.5"] = "success|0";
    m_transport.replies["QueryUserAdminDepts.asp?username=zhang"] =
        "|\\销售部\\华东区;\\研发部;\r\n";
    EXPECT_TRUE(PressAs("zhang").success);
    EXPECT_FALSE(m_state.IsSuper());
    EXPECT_EQ(m_state.superFlag, "0");
    EXPECT_EQ(m_state.managedDepts, "\\销售部\\华东区;\\研发部;");
}

TEST_F(LoginLogicTest, SecondLevelAdministratorWithoutDepartmentsIsRefused) {
    m_transport.replies["LoginCheck.asp?username=zhang`password=pw`ver=1.5"] = "success|0";
    m_transport.replies["QueryUserAdminDepts.asp?username=zhang"] = "|";
    LoginOutcome outcome = PressAs("zhang");
    EXPECT_FALSE(outcome.success);
    ASSERT_EQ(m_sink.shown.size(), 1u);
    EXPECT_EQ(m_sink.shown[0].text, "您没有管理员权限");
    EXPECT_EQ(m_sink.shown[0].caption, "提示");
    EXPECT_EQ(m_state.loginName, "zhang");  // kept from the reply, as before
}

TEST_F(LoginLogicTest, RefusedLoginShowsOnlyTheTextAfterThePrefix) {
    m_transport.replies[kLogin] = "xx error:登录失败,请检查用户名和密码";
    EXPECT_FALSE(PressAs("admin").success);
    ASSERT_EQ(m_sink.shown.size(), 1u);
    EXPECT_EQ(m_sink.shown[0].text, "登录失败,请检查用户名和密码");
    EXPECT_EQ(m_sink.shown[0].caption, "错误");
    EXPECT_EQ(m_sink.shown[0].icon, MessageIcon::kWarning);
    EXPECT_EQ(m_transport.requests.size(), 1u);
}

TEST_F(LoginLogicTest, MissingOrOddRepliesLeaveTheDialogOpenSilently) {
    // No reply to the login (the transport has already said why).
    EXPECT_FALSE(PressAs("admin").success);
    // A reply that is neither an error nor a success.
    m_transport.replies[kLogin] = "true";
    EXPECT_FALSE(PressAs("admin").success);
    // No reply to the departments query: not an empty list of departments.
    m_transport.replies[kLogin] = "success|1";
    EXPECT_FALSE(PressAs("admin").success);
    EXPECT_TRUE(m_sink.shown.empty());
}

TEST_F(LoginLogicTest, SuperFlagIsTheCharacterAfterTheFirstBar) {
    m_transport.replies[kDepts] = " ";
    m_transport.replies[kLogin] = "success";
    EXPECT_TRUE(PressAs("admin").success);
    EXPECT_EQ(m_state.superFlag, "s");
    m_transport.replies[kLogin] = "success|1|0";
    EXPECT_TRUE(PressAs("admin").success);
    EXPECT_EQ(m_state.superFlag, "1");
}

}  // namespace
}  // namespace warden::console::test
