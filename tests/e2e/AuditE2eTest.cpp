// The audit trail of a real server: what a session of changes leaves, that
// no password reaches any file, that nothing removes an entry but the
// retention, and what `--audit-log` prints.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "protocol/AuditRecord.h"
#include "protocol/SplitList.h"
#include "server/store/AdminStore.h"
#include "server/store/Odbc.h"
#include "tests/support/ServerProcess.h"
#include "tests/support/TempDir.h"

namespace warden::test {
namespace {

constexpr const char kNotPermitted[] = "error:没有权限执行此操作";

std::string ReadAll(const std::filesystem::path& file) {
    std::stringstream text;
    text << std::ifstream(file, std::ios::binary).rdbuf();
    return text.str();
}

// Every file below `dir` that holds `needle`.
std::vector<std::string> FilesHolding(const std::filesystem::path& dir, const std::string& needle) {
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
        if (entry.is_regular_file() && ReadAll(entry.path()).find(needle) != std::string::npos) {
            found.push_back(entry.path().string());
        }
    }
    return found;
}

// `warden-server --audit-log` on `base` with `args`: its exit code and output.
std::pair<int, std::string> AuditLog(const std::filesystem::path& base,
                                     const std::string& args = "") {
    const std::filesystem::path out = base / "audit-log.out";
    RunResult run = RunProgram(
        "/bin/sh", {"-c", (BinaryDir() / "warden-server").string() + " --audit-log --base-dir '" +
                              base.string() + "' " + args + " > '" + out.string() + "'"});
    std::string text = ReadAll(out);
    std::filesystem::remove(out);
    return {run.exitCode, text};
}

TEST(AuditE2eTest, ASessionOfChangesIsTracedWithoutAPasswordAndNothingRemovesAnEntry) {
    TempDir base;
    std::vector<AuditRecord> entries;
    {
        ServerProcess server("", base.Path());
        ASSERT_TRUE(server.Started()) << server.ErrorOutput();
        Client admin(server.Port());
        EXPECT_EQ(admin.Ask("LoginCheck.asp?username=admin`password=Wrong-Pass-9137`ver=1.5"),
                  "error:登录失败,请检查用户名和密码");
        ASSERT_TRUE(admin.LoginAsAdmin());
        EXPECT_EQ(admin.Ask("DeptAdd.asp?deptid=市场部`parentdept="), "info:添加部门成功");
        EXPECT_EQ(admin.Ask("UserAdd.asp?username=liming`deptname=\\市场部|`name=李明"
                            "`pwd=User-Pass-5521"),
                  "info:添加用户成功");
        EXPECT_EQ(admin.Ask("SaveAdminDepts.asp?username=liming`pwd=`depts=\\市场部;"
                            "`adminroles=User|"),
                  "info:管理员设置成功");
        EXPECT_EQ(admin.Ask("ChangePwd.asp?username=admin`oldpassword=admin`password=Admin-Pass-7719"), "success");

        Client second(server.Port());
        EXPECT_TRUE(second.Ask("LoginCheck.asp?username=liming`password=User-Pass-5521`ver=1.5")
                        ->starts_with("success"));
        EXPECT_EQ(second.Ask("GetAuditLog.asp"), kNotPermitted);
        EXPECT_EQ(second.Ask("DeleteAdmin.asp?username=admin"), kNotPermitted);

        // Deletions of what the entries are about leave the entries.
        EXPECT_EQ(admin.Ask("DeleteAdmin.asp?username=liming"), "info:删除成功");
        EXPECT_EQ(admin.Ask("UserDelete.asp?username=liming"), "info:删除用户成功");
        EXPECT_EQ(admin.Ask("DeptDelete.asp?deptid=\\市场部"), "info:删除部门成功");
        auto reply = admin.Ask("GetAuditLog.asp?count=1000");
        ASSERT_TRUE(reply);
        entries = ParseAuditLog(*reply);
    }

    struct Expect {
        const char* request;
        const char* account;
        const char* level;
        const char* target;
        const char* outcome;
    };
    // Oldest first; the reply is newest first.
    const Expect expected[] = {
        {"LoginCheck.asp", "admin", "none", "admin", "error:登录失败,请检查用户名和密码"},
        {"LoginCheck.asp", "admin", "super", "admin", "success｜1"},
        {"DeptAdd.asp", "admin", "super", "\\市场部", "info:添加部门成功"},
        {"UserAdd.asp", "admin", "super", "liming", "info:添加用户成功"},
        {"SaveAdminDepts.asp", "admin", "super", "liming", "info:管理员设置成功"},
        {"ChangePwd.asp", "admin", "super", "admin", "success"},
        {"LoginCheck.asp", "liming", nullptr, "liming", nullptr},
        {"GetAuditLog.asp", "liming", nullptr, "", kNotPermitted},
        {"DeleteAdmin.asp", "liming", nullptr, "admin", kNotPermitted},
        {"DeleteAdmin.asp", "admin", "super", "liming", "info:删除成功"},
        {"UserDelete.asp", "admin", "super", "liming", "info:删除用户成功"},
        {"DeptDelete.asp", "admin", "super", "\\市场部", "info:删除部门成功"},
    };
    ASSERT_EQ(entries.size(), std::size(expected));
    for (size_t i = 0; i < entries.size(); ++i) {
        const AuditRecord& got = entries[entries.size() - 1 - i];
        const Expect& want = expected[i];
        SCOPED_TRACE(std::string(want.request) + " #" + std::to_string(i));
        EXPECT_EQ(got.id, static_cast<int64_t>(i + 1)) << "no entry is ever removed";
        EXPECT_EQ(got.request, want.request);
        EXPECT_EQ(got.account, want.account);
        if (want.level) {
            EXPECT_EQ(got.level, want.level);
        }
        EXPECT_EQ(got.target, want.target);
        if (want.outcome) {
            EXPECT_EQ(got.outcome, want.outcome);
        }
        EXPECT_EQ(got.time.size(), 24u);
        EXPECT_EQ(got.address, "127.0.0.1");
        EXPECT_GT(got.port, 0);
    }

    for (const char* secret : {"Wrong-Pass-9137", "User-Pass-5521", "Admin-Pass-7719"}) {
        EXPECT_EQ(FilesHolding(base.Path(), secret), std::vector<std::string>{}) << secret;
    }

    // The same entries for scripts, oldest first, one line each.
    auto [code, text] = AuditLog(base.Path());
    EXPECT_EQ(code, 0);
    auto lines = SplitList(text, "\n");
    ASSERT_EQ(lines.size(), std::size(expected));
    EXPECT_TRUE(lines[0].find("\tadmin\tnone\t") != std::string::npos) << lines[0];
    EXPECT_NE(lines[2].find("\tDeptAdd.asp\t\\市场部\tinfo:添加部门成功\t"), std::string::npos)
        << lines[2];
    EXPECT_EQ(text.find("Pass-"), std::string::npos);
    EXPECT_EQ(AuditLog(base.Path(), "--since 2999-01-01").second, "");
    EXPECT_EQ(AuditLog(base.Path(), "--since yesterday").first, 2);
}

// Before any server has made the admin store, reading its trail says so and
// leaves no empty data file behind, also under a configured connection
// whose driver would create one.
TEST(AuditE2eTest, AuditLogOfABaseWithoutAStoreCreatesNothing) {
    TempDir base;
    std::filesystem::create_directories(AdminStore(base.Path()).DataFile().parent_path());
    std::ofstream(base.Path() / "server.cfg")
        << "[ADMIN_STORE]\nCONNECTION=DRIVER=" << SqliteOdbcDriver() << ";Database=%FILE%\n";
    EXPECT_EQ(AuditLog(base.Path()).first, 1);
    EXPECT_FALSE(std::filesystem::exists(AdminStore(base.Path()).DataFile()));
}

// Logins run through the throttle and the hashing pool of the real server.
TEST(AuditE2eTest, RepeatedFailuresLockEvenTheRightPasswordForAWhileAndTheTrailShowsIt) {
    TempDir base;
    ServerProcess server("[SECURITY]\nLOGIN_FAILURES=3\n", base.Path());
    ASSERT_TRUE(server.Started()) << server.ErrorOutput();
    const std::string failed = "error:登录失败,请检查用户名和密码";
    Client guesser(server.Port());
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(guesser.Ask("LoginCheck.asp?username=admin`password=guess`ver=1.5"), failed);
    }
    Client console(server.Port());
    EXPECT_EQ(console.Ask("LoginCheck.asp?username=admin`password=admin`ver=1.5"), failed)
        << "locked: the right password gets the normal failure text";
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));  // the first lock is 1 s
    ASSERT_TRUE(console.LoginAsAdmin());
    auto reply = console.Ask("GetAuditLog.asp?count=10");
    ASSERT_TRUE(reply);
    const std::vector<AuditRecord> entries = ParseAuditLog(*reply);
    ASSERT_EQ(entries.size(), 5u);  // three failures, the refusal, the success
    EXPECT_EQ(entries[0].outcome.substr(0, 7), "success");
    EXPECT_EQ(entries[1].outcome, failed);
    EXPECT_NE(entries[1].detail.find("锁定中"), std::string::npos) << entries[1].detail;
    EXPECT_NE(entries[2].detail.find("锁定"), std::string::npos) << entries[2].detail;
}

// What one colleague, or a stray "`" in a password, could put in the trail.
TEST(AuditE2eTest, RefusalsAreSampledLoginsKeepOnlyAccountAndVersionInTheDirectorysSpelling) {
    ServerProcess server;
    ASSERT_TRUE(server.Started()) << server.ErrorOutput();
    Client admin(server.Port());
    ASSERT_EQ(admin.Ask("LoginCheck.asp?username=ADMIN`password=admin`x=Tail-7731`ver=1.5"),
              "success|1");
    ASSERT_EQ(admin.Ask("DeptAdd.asp?deptid=D`parentdept="), "info:添加部门成功");
    ASSERT_EQ(admin.Ask("UserAdd.asp?username=gina`deptname=\\D\\|`pwd=pw-gina`roles="),
              "info:添加用户成功");
    Client gina(server.Port());
    ASSERT_EQ(gina.Ask("LoginCheck.asp?username=GINA`password=pw-gina`ver=1.5"), "success|0");
    for (int i = 0; i < 200; ++i) ASSERT_EQ(gina.Ask("GetAuditLog.asp?"), kNotPermitted);
    ASSERT_EQ(gina.Ask("DeleteAdmin.asp?username=x"), kNotPermitted);
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    ASSERT_EQ(gina.Ask("GetAuditLog.asp?"), kNotPermitted);

    const auto entries = ParseAuditLog(admin.Ask("GetAuditLog.asp?account=Gina").value_or(""));
    ASSERT_EQ(entries.size(), 4u);  // oldest last
    EXPECT_EQ(entries[3].request, "LoginCheck.asp");
    EXPECT_EQ(entries[2].request, "GetAuditLog.asp");
    EXPECT_EQ(entries[1].request, "DeleteAdmin.asp");
    EXPECT_NE(entries[0].detail.find("此前另有199次同类拒绝未单独记录"), std::string::npos)
        << entries[0].detail;
    for (const AuditRecord& e : entries) EXPECT_EQ(e.account, "gina");

    const auto logins = ParseAuditLog(admin.Ask("GetAuditLog.asp?account=admin").value_or(""));
    ASSERT_FALSE(logins.empty());
    EXPECT_EQ(logins.back().account, "admin");
    // The server's own note of the transport, then the version alone.
    EXPECT_EQ(logins.back().detail, "via plain text; ver=1.5");
    EXPECT_EQ(FilesHolding(server.BaseDir(), "Tail-7731"), std::vector<std::string>{});
}

TEST(AuditE2eTest, EntriesOlderThanKeepDaysGoAtStartAndTheRestStay) {
    TempDir base;
    {
        ServerProcess server("[AUDIT]\nKEEP_DAYS=30\n", base.Path());
        ASSERT_TRUE(server.Started()) << server.ErrorOutput();
        Client admin(server.Port());
        ASSERT_TRUE(admin.LoginAsAdmin());
    }
    {
        AdminStore store(base.Path());
        OdbcConnection raw(FillConnectionString(DefaultAdminStoreConnection(), base.Path().string(),
                                                store.DataFile().string()));
        for (auto [id, time] :
             {std::pair{100, "2000-01-01T00:00:00.000Z"}, {101, "2999-01-01T00:00:00.000Z"}}) {
            raw.Execute("INSERT INTO warden_audit VALUES (?,?,'x','none','',0,'r','t','o','')",
                        {int64_t{id}, std::string(time)});
        }
    }
    ServerProcess server("", base.Path());
    ASSERT_TRUE(server.Started()) << server.ErrorOutput();
    // The prune at start runs beside the requests; wait for its line.
    for (int i = 0; i < 100 && server.ErrorOutput().find("removed") == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    Client admin(server.Port());
    ASSERT_TRUE(admin.LoginAsAdmin());
    auto entries = ParseAuditLog(admin.Ask("GetAuditLog.asp").value_or(""));
    std::vector<int64_t> ids;
    for (const auto& e : entries) ids.push_back(e.id);
    EXPECT_EQ(ids, (std::vector<int64_t>{101, 102, 1})) << "the year-2000 entry is gone";
    EXPECT_NE(server.ErrorOutput().find("removed 1 entries older than 30 days"), std::string::npos)
        << server.ErrorOutput();
}

}  // namespace
}  // namespace warden::test
