#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <mutex>
#include <sstream>

#include "directory/ImError.h"
#include "directory/ImInstallDir.h"
#include "server/shell/AdminStoreSetup.h"
#include "server/shell/ComErrorReport.h"
#include "server/shell/ServerStartup.h"
#include "server/store/Odbc.h"
#include "tests/support/FakeIm.h"
#include "tests/support/ServerProcess.h"
#include "tests/support/TempDir.h"
#include "vexdir/VexDirectory.h"

namespace warden::test {
namespace {

// Remembers what start-up showed instead of showing it.
class RecordingView : public StartupView {
  public:
    void ShowMessage(const std::string& text, const std::string& caption,
                     MessageIcon icon) override {
        messages.push_back(text);
        captions.push_back(caption);
        icons.push_back(icon);
    }
    void ShowRequestError(const std::string& text, const std::string& detail) override {
        std::lock_guard lock(mutex);  // called from request workers
        requestErrors.push_back(text + " / " + detail);
    }
    void FocusField(SettingField field) override { focus = field; }
    void SetStartEnabled(bool enabled) override { startEnabled = enabled; }
    void ShowFingerprint(const std::string& shown) override { fingerprint = shown; }

    bool Showed(const std::string& text) const {
        return std::find(messages.begin(), messages.end(), text) != messages.end();
    }

    std::vector<std::string> messages, captions;
    std::vector<MessageIcon> icons;
    std::mutex mutex;
    std::vector<std::string> requestErrors;
    std::optional<SettingField> focus;
    bool startEnabled = true;
    std::string fingerprint;
};

class ServerStartupTest : public ::testing::Test {
  protected:
    // The TLS port is an ephemeral one, as tests run side by side.
    ServerStartupTest() { WriteConfig(""); }
    void WriteConfig(const std::string& text) {
        WriteServerConfig(dir.Path() / "server.cfg", text + "\n[TLS]\nPORT=0\n");
    }

    std::string ReadConfig() {
        std::stringstream text;
        text << std::ifstream(dir.Path() / "server.cfg").rdbuf();
        return text.str();
    }

    // A start-up whose directory is the fake, or nothing when `fail` is set.
    std::unique_ptr<ServerStartup> Make(bool rootFails = false) {
        auto startup = std::make_unique<ServerStartup>(
            dir.Path(), view, [this, rootFails](const std::filesystem::path&) {
                if (rootFails) throw ImError(im_code::kFail, "test", "no directory here");
                return std::static_pointer_cast<ImRoot>(im);
            });
        EXPECT_TRUE(startup->Initialise());
        return startup;
    }

    TempDir dir;
    RecordingView view;
    std::shared_ptr<FakeIm> im = std::make_shared<FakeIm>();
    const StartSettings good{"127.0.0.1", "8006", "0"};
};

TEST_F(ServerStartupTest, WithoutServerCfgTheDefaultsApply) {
    auto startup = Make();
    StartSettings s = startup->Settings();
    EXPECT_EQ(s.imAddress, "127.0.0.1");
    EXPECT_EQ(s.imPort, "8006");
    EXPECT_EQ(s.listenPort, "8800");
}

TEST_F(ServerStartupTest, MissingSettingsAreNamedInOrderAndNothingIsSaved) {
    auto startup = Make();
    const std::string config = ReadConfig();
    EXPECT_EQ(startup->Start({"  ", "", ""}), StartResult::kRefused);
    EXPECT_EQ(view.messages.back(), "请设置VEX服务器IP");
    EXPECT_EQ(view.captions.back(), "提示");
    EXPECT_EQ(view.focus, SettingField::kImAddress);
    EXPECT_EQ(startup->Start({"0.0.0.0", "8006", "8800"}), StartResult::kRefused);
    EXPECT_EQ(view.messages.back(), "请设置VEX服务器IP");
    for (const char* partial : {"10.1", "10.1.1", "10.1.1.1.1", "10.1.1.256", "a.b.c.d"}) {
        EXPECT_EQ(startup->Start({partial, "8006", "8800"}), StartResult::kRefused) << partial;
        EXPECT_EQ(view.messages.back(), "请设置VEX服务器IP");
    }
    EXPECT_EQ(startup->Start({"10.0.0.1", " ", ""}), StartResult::kRefused);
    EXPECT_EQ(view.messages.back(), "请设置VEX服务器端口");
    EXPECT_EQ(view.focus, SettingField::kImPort);
    EXPECT_EQ(startup->Start({"10.0.0.1", "8006", "\t"}), StartResult::kRefused);
    EXPECT_EQ(view.messages.back(), "请设置监听端口号");
    EXPECT_EQ(view.focus, SettingField::kListenPort);
    EXPECT_EQ(ReadConfig(), config);
    EXPECT_FALSE(startup->ListeningPort().has_value());
}

TEST_F(ServerStartupTest, RegistersWithTheDirectoryInOrderAndRuns) {
    auto startup = Make();
    ASSERT_EQ(startup->Start({" 10.1.1.1 ", "9006", "0"}), StartResult::kRunning);
    EXPECT_TRUE(view.Showed("启动成功"));
    EXPECT_FALSE(view.startEnabled);
    ASSERT_TRUE(startup->ListeningPort().has_value());
    EXPECT_EQ(im->CallsOf("SetAppName"), std::vector<std::string>{"VEXWardenServer"});
    EXPECT_EQ(im->CallsOf("SetProgId"), std::vector<std::string>{"Quillon.VEX.VEXWardenServer"});
    EXPECT_EQ(im->CallsOf("SetReceiverName"), std::vector<std::string>{"WARDEN_DATA_RECEIVER"});
    EXPECT_EQ(im->CallsOf("SetAppGuid").size(), 2u);  // at registration and again at start
    EXPECT_EQ(im->CallsOf("Register").size(), 1u);
    EXPECT_EQ(im->CallsOf("SetServerPort").back(), "9006");
    EXPECT_NE(ReadConfig().find("IP_ADDRESS=10.1.1.1"), std::string::npos);

    // The requests reach the directory through the running server.
    im->MakeDept("\\销售部");
    Client client(*startup->ListeningPort());
    ASSERT_TRUE(client.LoginAsAdmin());
    EXPECT_EQ(client.Ask("GetChildDepts.asp?deptId="), "销售部");
}

TEST_F(ServerStartupTest, AFailedRegistrationKeepsTheSettingsAndCanBeRetried) {
    auto startup = Make();
    im->Fail("Register");
    EXPECT_EQ(startup->Start({"10.2.2.2", "8010", "0"}), StartResult::kFailed);
    ASSERT_GE(view.messages.size(), 2u);
    EXPECT_EQ(view.messages.back(), "连接VEX服务器失败");
    EXPECT_EQ(view.messages[view.messages.size() - 2].rfind("发生错误!\nCode = ", 0), 0u);
    EXPECT_FALSE(startup->ListeningPort().has_value());  // the listener is closed again
    EXPECT_TRUE(view.startEnabled);
    EXPECT_NE(ReadConfig().find("IP_ADDRESS=10.2.2.2"), std::string::npos);
    EXPECT_NE(ReadConfig().find("PORT=8010"), std::string::npos);

    im->Heal("Register");
    EXPECT_EQ(startup->Start({"10.2.2.2", "8010", "0"}), StartResult::kRunning);
    EXPECT_TRUE(view.Showed("启动成功"));
}

TEST_F(ServerStartupTest, WithoutARootTheServerListensButNeverSaysStarted) {
    auto startup = Make(/*rootFails=*/true);
    EXPECT_EQ(startup->Start(good), StartResult::kNoDirectory);
    EXPECT_FALSE(view.Showed("启动成功"));
    EXPECT_FALSE(view.Showed("连接VEX服务器失败"));
    EXPECT_TRUE(view.startEnabled);
    ASSERT_TRUE(startup->ListeningPort().has_value());
    Client client(*startup->ListeningPort());
    ASSERT_TRUE(client.LoginAsAdmin());
    EXPECT_EQ(client.Ask("GetChildDepts.asp?deptId="), "error:处理请求失败,请检查数据后重新提交");
}

TEST_F(ServerStartupTest, WithoutAnInstallDirectoryOrderingIsOffAndRefused) {
    WriteConfig("[VEX_SERVER]\nINSTALLDIR=\n");
    auto startup = Make();
    EXPECT_EQ(startup->Start(good), StartResult::kRunning);
    EXPECT_TRUE(view.Showed("无法找到VEX服务器程序，部门排序功能不可用"));
    EXPECT_FALSE(startup->OrderingAvailable());
    Client client(*startup->ListeningPort());
    ASSERT_TRUE(client.LoginAsAdmin());
    EXPECT_EQ(client.Ask("SetDeptOrder.asp?deptName=\\a`nextDeptName=\\b`isLast=0"),
              "error:服务器端未开通修改部门顺序功能");
}

TEST_F(ServerStartupTest, AnUnreadableInstallDirectoryTurnsOrderingOffWithAnError) {
    const auto notAFolder = dir.Path() / "file";
    std::ofstream(notAFolder) << "x";
    WriteConfig("[VEX_SERVER]\nINSTALLDIR=" + notAFolder.string() + "\n");
    auto startup = Make();
    EXPECT_EQ(startup->Start(good), StartResult::kRunning);
    EXPECT_TRUE(view.Showed("访问VEX服务器失败，部门排序功能不可用"));
    EXPECT_FALSE(startup->OrderingAvailable());
}

TEST_F(ServerStartupTest, ARelativeInstallDirectoryIsTakenFromTheBaseDirectory) {
    WriteConfig("[VEX_SERVER]\nINSTALLDIR=vexrel\n");
    EXPECT_EQ(Make()->ReadImInstallDir(), dir.Path() / "vexrel");
    WriteConfig("[VEX_SERVER]\nINSTALLDIR=/opt/vex\n");
    EXPECT_EQ(Make()->ReadImInstallDir(), "/opt/vex");
}

TEST_F(ServerStartupTest, TheInitialPasswordWarningIsChinese) {
    Make();
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0], kInitialPasswordWarning);
    EXPECT_EQ(view.icons[0], MessageIcon::kWarning);
}

// The embedded directory lives on this machine: another machine's address
// fails Start like a directory that cannot be reached, with the error report.
TEST_F(ServerStartupTest, AnAddressOfAnotherMachineFailsStart) {
    ServerStartup startup(dir.Path(), view);
    ASSERT_TRUE(startup.Initialise());
    EXPECT_EQ(startup.Start({"192.0.2.1", "8006", "0"}), StartResult::kFailed);
    ASSERT_GE(view.messages.size(), 2u);
    const std::string& report = view.messages[view.messages.size() - 2];
    EXPECT_EQ(report.rfind("发生错误!\nCode = 800706ba\n", 0), 0u) << report;
    EXPECT_NE(report.find("192.0.2.1 不是本机的地址"), std::string::npos) << report;
    EXPECT_EQ(view.messages.back(), "连接VEX服务器失败");
    EXPECT_FALSE(startup.ListeningPort().has_value());
    EXPECT_EQ(startup.Start({"127.0.0.1", "8006", "0"}), StartResult::kRunning);
}

TEST_F(ServerStartupTest, AnOrderingLookupErrorIsShownToTheOperator) {
    OpenVexDirectory(dir.Path() / "vex")->GetDeptManager().AddDept("甲", "");
    auto startup = Make();
    ASSERT_EQ(startup->Start(good), StartResult::kRunning);
    ASSERT_TRUE(startup->OrderingAvailable());
    {
        OdbcConnection vex("DRIVER=" + SqliteOdbcDriver() +
                           ";Database=" + ImDatabasePath(dir.Path() / "vex").string());
        vex.Execute("ALTER TABLE vex_dept RENAME TO vex_dept_gone");
    }
    Client client(*startup->ListeningPort());
    ASSERT_TRUE(client.LoginAsAdmin());
    EXPECT_EQ(client.Ask("SetDeptOrder.asp?deptName=\\甲`nextDeptName=\\甲`isLast=0"),
              "error:修改部门顺序失败");
    std::lock_guard lock(view.mutex);
    ASSERT_EQ(view.requestErrors.size(), 1u);
    EXPECT_EQ(view.requestErrors[0].rfind("error / department ordering lookup failed: ", 0), 0u)
        << view.requestErrors[0];
}

TEST_F(ServerStartupTest, AnAdminStoreThatCannotBeOpenedStopsStartUp) {
    WriteConfig("[ADMIN_STORE]\nCONNECTION=DRIVER=/nonexistent/driver.so;Database=%FILE%\n");
    ServerStartup startup(dir.Path(), view);
    EXPECT_FALSE(startup.Initialise());
    ASSERT_FALSE(view.messages.empty());
    EXPECT_EQ(view.messages.back().rfind("打开数据库失败", 0), 0u);
    EXPECT_EQ(view.captions.back(), "错误");
}

TEST_F(ServerStartupTest, DirectorySettingsThatCannotBeUsedStopStartUpNamingThem) {
    const std::string ldap = "[DIRECTORY]\nBACKEND=ldap\n";
    const std::string rest = "BIND_DN=cn=w,dc=x\nBIND_PASSWORD=pw\nBASE_DN=dc=x\n";
    const struct {
        std::string config;
        std::string named;
    } cases[] = {
        {"[DIRECTORY]\nBACKEND=x500\n", "BACKEND=x500"},
        {ldap + rest, "URI is missing"},
        {ldap + "URI=http://ldap.example.com\n" + rest, "URI must begin with"},
        {ldap + "URI=ldaps://\n" + rest, "URI names no host"},
        {ldap + "URI=ldaps://h\nBIND_DN=cn=w\nBIND_PASSWORD=pw\n", "BASE_DN is missing"},
        {ldap + "URI=ldaps://h\nBASE_DN=dc=x\nBIND_DN=cn=w\n", "BIND_PASSWORD is missing"},
        {ldap + "URI=ldaps://h\nBIND_DN=no dn\nBIND_PASSWORD=pw\nBASE_DN=dc=x\n",
         "BIND_DN is not a distinguished name"},
    };
    for (const auto& c : cases) {
        WriteConfig(c.config);
        RecordingView seen;
        ServerStartup startup(dir.Path(), seen);
        EXPECT_FALSE(startup.Initialise()) << c.config;
        ASSERT_FALSE(seen.messages.empty()) << c.config;
        EXPECT_NE(seen.messages.back().find(c.named), std::string::npos) << seen.messages.back();
    }
}

// Settings that can be used start the server; a directory that is not there
// fails 启动 as an IM server that cannot be reached does.
TEST_F(ServerStartupTest, AnLdapDirectoryThatCannotBeReachedFailsStart) {
    WriteConfig(
        "[DIRECTORY]\nBACKEND=ldap\nURI=ldap://127.0.0.1:1\nBIND_DN=cn=w,dc=x\n"
        "BIND_PASSWORD=pw\nBASE_DN=dc=x\nTIMEOUT_MS=2000\n");
    ServerStartup startup(dir.Path(), view);
    ASSERT_TRUE(startup.Initialise());
    EXPECT_EQ(startup.Start(good), StartResult::kFailed);
    EXPECT_TRUE(view.Showed("连接VEX服务器失败"));
    EXPECT_TRUE(std::any_of(view.messages.begin(), view.messages.end(), [](const std::string& m) {
        return m.find("Code = 800706ba") != std::string::npos &&
               m.find("ldap://127.0.0.1:1") != std::string::npos;
    })) << ::testing::PrintToString(view.messages);
    EXPECT_FALSE(startup.OrderingAvailable());
}

TEST(ReportComErrorTest, FormatsCodeMeaningSourceAndDescription) {
    EXPECT_EQ(ReportComError(ImError(0x80070057, "VexDirectory", "bad name")),
              "发生错误!\nCode = 80070057\nCode meaning = The parameter is incorrect.\n"
              "Source = VexDirectory\nDescription = bad name\n");
    EXPECT_EQ(ReportComError(ImError(0x80040205, "", "")),
              "发生错误!\nCode = 80040205\nCode meaning = IDispatch error #5\n"
              "Source = null\nDescription = null\n");
    EXPECT_EQ(ReportComError(ImError(0x80990001, "s", "d")),
              "发生错误!\nCode = 80990001\nCode meaning = Unknown error 0x80990001\n"
              "Source = s\nDescription = d\n");
    // The first code of the range has no number of its own.
    EXPECT_NE(ReportComError(ImError(0x80040200, "", "")).find("Unknown error 0x80040200"),
              std::string::npos);
}

TEST(ReadableSecretTest, APasswordOthersMayReadIsAProblemWithTheChmodToRun) {
    TempDir dir;
    const std::filesystem::path cfg = dir.Path() / "server.cfg";
    const std::string bind = "[DIRECTORY]\nBIND_DN=cn=w\nBIND_PASSWORD=s3cret\nBACKEND=";
    const struct {
        mode_t mode;
        std::string connection;
        bool refused;
        std::string more = {};
    } cases[] = {
        {0644, "DRIVER={PostgreSQL Unicode};Database=w;Uid=w;Pwd=s3cret", true},
        {0604, "DRIVER=x;PASSWORD={a;b}", true},
        {0640, "DRIVER=x;Pwd=s3cret", true},  // his own file: the group needs nothing
        {0600, "DRIVER=x;Pwd=s3cret", false},
        {0644, "DRIVER=SQLite3;Database=%FILE%;NoCreat=1", false},
        {0644, "DRIVER=SQLite3;Database=%FILE%", true, bind + "ldap\n"},
        {0600, "DRIVER=SQLite3;Database=%FILE%", false, bind + "ldap\n"},
        {0644, "DRIVER=SQLite3;Database=%FILE%", false, bind + "vex\n"},  // not used
    };
    for (const auto& c : cases) {
        std::ofstream(cfg) << "[ADMIN_STORE]\nCONNECTION=" << c.connection << "\n" << c.more;
        ASSERT_EQ(::chmod(cfg.c_str(), c.mode), 0);
        const auto problem = ReadableSecret(cfg, LoadServerConfig(cfg));
        ASSERT_EQ(problem.has_value(), c.refused) << c.connection << c.more;
        if (c.refused) {
            EXPECT_NE(problem->find("chmod 600 " + cfg.string()), std::string::npos);
            EXPECT_EQ(problem->find("s3cret"), std::string::npos);
        }
    }
    // A file of another account that the server's group reads is how the
    // server gets a password it cannot change.
    if (::geteuid() == 0) {
        std::ofstream(cfg) << "[ADMIN_STORE]\nCONNECTION=DRIVER=x;Pwd=s3cret\n";
        ASSERT_EQ(::chmod(cfg.c_str(), 0640), 0);
        ASSERT_EQ(::chown(cfg.c_str(), 65534, 0), 0);
        EXPECT_FALSE(ReadableSecret(cfg, LoadServerConfig(cfg)));
    }
}

TEST(ReadableSecretTest, TheServerRefusesToStartOnAPasswordOthersMayRead) {
    TempDir dir;
    const std::filesystem::path cfg = dir.Path() / "server.cfg";
    std::ofstream(cfg) << "[LISTEN_PORT]\nPORT=0\n[TLS]\nPORT=0\n[ADMIN_STORE]\n"
                          "CONNECTION=DRIVER=SQLite3;Database=%FILE%;Pwd=s3cret\n";
    ASSERT_EQ(::chmod(cfg.c_str(), 0644), 0);
    ServerProcess server("", dir.Path());
    EXPECT_FALSE(server.Started());
    EXPECT_NE(server.ErrorOutput().find("chmod 600"), std::string::npos) << server.ErrorOutput();
}

TEST(ReadableSecretTest, ARemotePostgresStoreWithoutAVerifiedCertificateIsNamed) {
    const struct {
        const char* connection;
        const char* host;  // nullptr: no warning
    } cases[] = {
        {"DRIVER={PostgreSQL Unicode};Servername=db.example;Database=w", "db.example"},
        {"DRIVER={PostgreSQL Unicode};Server=10.0.0.5;SSLmode=require", "10.0.0.5"},
        {"DRIVER={PostgreSQL Unicode};Servername=db.example;sslmode=verify-full", nullptr},
        {"DRIVER={PostgreSQL Unicode};Servername=db.example;SSLMODE={verify-ca}", nullptr},
        {"DRIVER={PostgreSQL Unicode};Servername=localhost;Database=w", nullptr},
        {"DRIVER={PostgreSQL Unicode};Servername=/var/run/postgresql", nullptr},
        {"DRIVER=SQLite3;Database=%FILE%;Servername=db.example", nullptr},
    };
    for (const auto& c : cases) {
        const auto host = UnverifiedRemotePostgres(c.connection);
        EXPECT_EQ(host.value_or("<none>"), c.host ? c.host : "<none>") << c.connection;
    }
}

}  // namespace
}  // namespace warden::test
