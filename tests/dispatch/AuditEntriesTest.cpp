// What each kind of request leaves in the audit trail, through the real
// dispatcher and handlers, an in-memory directory and a real admin store.
#include <gtest/gtest.h>

#include <fstream>
#include <future>
#include <latch>
#include <sstream>

#include "server/dispatch/AuditRecorder.h"
#include "server/dispatch/Dispatcher.h"
#include "server/dispatch/HandlerRegistry.h"
#include "server/dispatch/LoginFlow.h"
#include "server/im/ImService.h"
#include "server/net/WorkerPool.h"
#include "server/store/AdminStore.h"
#include "server/store/AuditTrail.h"
#include "server/store/Odbc.h"
#include "tests/support/FakeIm.h"
#include "tests/support/ServerProcess.h"
#include "tests/support/TempDir.h"

namespace warden {
// Readable failures.
void PrintTo(const AuditRecord& r, std::ostream* os) {
    *os << FormatAuditLog({r});
}
}  // namespace warden

namespace warden::test {
namespace {

constexpr const char kGeneralError[] = "error:处理请求失败,请检查数据后重新提交";
constexpr const char kNotPermitted[] = "error:没有权限执行此操作";

class AuditEntriesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string problem;
        ASSERT_TRUE(store.EnsureDataFile(BinaryDir(), problem)) << problem;
        store.OpenDatabase(DefaultAdminStoreConnection());
        trail.Open(FillConnectionString(DefaultAdminStoreConnection(), dir.Path().string(),
                                        store.DataFile().string()));
        im->MakeDept("\\销售部\\华东区");
        im->MakeDept("\\研发部");
        im->MakeDept("\\市场部");
        im->MakeUser("zhang", "\\研发部");
        im->MakeRole("销售");
        service.SetRoot(im);
        services.im = &service;
        services.adminStore = &store;
        services.auditTrail = &trail;
        services.audit = &recorder;
        RegisterAllHandlers(dispatcher);
    }

    std::string Ask(Session& session, const std::string& request) {
        std::string reply;
        dispatcher.ProcessRequest(request, session, [&](const std::string& text) { reply = text; });
        return reply;
    }

    std::vector<AuditRecord> Entries() { return trail.Query({}); }

    TempDir dir;
    AdminStore store{dir.Path()};
    AuditTrail trail;
    std::vector<std::string> notices;
    AuditRecorder recorder{trail, [this](const std::string& line) { notices.push_back(line); }};
    std::shared_ptr<FakeIm> im = std::make_shared<FakeIm>();
    ImService service;
    Services services;
    Dispatcher dispatcher{services, true};
};

TEST_F(AuditEntriesTest, EachKindOfEventLeavesOneEntryWithItsFields) {
    Session super;
    super.login = LoginLevel::kSuper;
    super.account = "admin";
    im->MakeUser("wang", "\\销售部");
    ASSERT_TRUE(store.SaveAdmin("wang", "\\销售部;", "销售|"));
    Session second;
    second.login = LoginLevel::kDirectory;
    second.account = "wang";
    Session nobody;
    struct Case {
        Session* session;
        std::string request;
        // The entry expected; request empty: no entry at all.
        AuditRecord expect;
    };
    const Case cases[] = {
        {&super,
         "DeptAdd.asp?deptid=西区`parentdept=\\销售部",
         {0, "", "admin", "super", "", 0, "DeptAdd.asp", "\\销售部\\西区", "info:添加部门成功",
          ""}},
        {&super,
         "DeptChange.asp?op=changeparent`origdeptname=\\市场部`newparentdept=\\销售部",
         {0, "", "admin", "super", "", 0, "DeptChange.asp", "\\市场部", "info:修改部门成功",
          "newparentdept=\\销售部; op=changeparent"}},
        // The user's new password is a parameter like any other, and is left out.
        {&super,
         "UserAdd.asp?username=li`deptname=\\研发部|`name=李四`pwd=UserSecret-42`roles=销售;"
         "`position=经理`level=3",
         {0, "", "admin", "super", "", 0, "UserAdd.asp", "li", "info:添加用户成功",
          "deptname=\\研发部|; level=3; name=李四; position=经理; roles=销售;"}},
        {&super,
         "UpdateRoleRight.asp?name=销售`rightInfo=RIGHT_INNER_SEND_SMS|1|0",
         {0, "", "admin", "super", "", 0, "UpdateRoleRight.asp", "销售", "true",
          "rightInfo=RIGHT_INNER_SEND_SMS|1|0"}},
        {&super,
         "ChangePwd.asp?username=admin`oldpassword=admin`password=AdminSecret-17",
         {0, "", "admin", "super", "", 0, "ChangePwd.asp", "admin", "success", ""}},
        // A failed change is recorded with the reply it got.
        {&super,
         "DeptDelete.asp?deptid=\\销售部",
         {0, "", "admin", "super", "", 0, "DeptDelete.asp", "\\销售部",
          "error:部门下含有子部门,不能删除", ""}},
        // Refusals, of changes and of reads alike.
        {&second,
         "SaveAdminDepts.asp?username=wang`depts=\\销售部;`adminroles=销售|`pwd=x",
         {0, "", "wang", "second", "", 0, "SaveAdminDepts.asp", "wang", kNotPermitted,
          "adminroles=销售|; depts=\\销售部;"}},
        {&second,
         "GetAuditLog.asp?account=admin",
         {0, "", "wang", "second", "", 0, "GetAuditLog.asp", "admin", kNotPermitted, ""}},
        // Reads that pass, and anything without a session, leave nothing.
        {&super, "GetChildDepts.asp?deptId=\\销售部", {}},
        {&super, "GetAuditLog.asp", {}},
        {&nobody, "DeptAdd.asp?deptid=东区`parentdept=", {}},
        {&super, "NoSuchRequest.asp?username=x", {}},
    };
    for (const Case& tc : cases) {
        const size_t before = Entries().size();
        const std::string reply = Ask(*tc.session, tc.request);
        auto entries = Entries();
        if (tc.expect.request.empty()) {
            EXPECT_EQ(entries.size(), before) << tc.request;
            continue;
        }
        ASSERT_EQ(entries.size(), before + 1) << tc.request;
        AuditRecord got = entries.front();
        EXPECT_EQ(got.outcome, reply) << tc.request;
        EXPECT_EQ(got.time.size(), 24u);
        got.id = 0;
        got.time.clear();
        EXPECT_EQ(got, tc.expect) << tc.request;
    }
    EXPECT_TRUE(notices.empty());

    // No password reached the database file, in any table or page.
    std::stringstream file;
    file << std::ifstream(store.DataFile(), std::ios::binary).rdbuf();
    EXPECT_EQ(file.str().find("Secret-"), std::string::npos);
}

TEST_F(AuditEntriesTest, LoginsRecordTheAccountTriedAndTheLevelGranted) {
    im->MakeUser("wang", "\\销售部");
    ASSERT_TRUE(store.SaveAdmin("wang", "\\销售部;", ""));
    Session session;
    session.peerAddress = "127.0.0.1";
    EXPECT_EQ(Ask(session, "LoginCheck.asp?username=admin`password=Guess-1`ver=1.5"),
              "error:登录失败,请检查用户名和密码");
    EXPECT_EQ(Ask(session, "LoginCheck.asp?username=admin`password=admin`ver=1.5"), "success|1");
    Session tls;
    tls.transport = Transport::kTls;
    EXPECT_EQ(Ask(tls, "LoginCheck.asp?username=wang`password=`ver=1.5"), "success|0");
    auto entries = Entries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[2].level, "none");
    EXPECT_EQ(entries[2].outcome, "error:登录失败,请检查用户名和密码");
    EXPECT_EQ(entries[1].level, "super");
    EXPECT_EQ(entries[0].account, "wang");
    EXPECT_EQ(entries[0].level, "second");
    for (const auto& e : entries) EXPECT_EQ(e.request, "LoginCheck.asp");
    EXPECT_EQ(entries[0].detail, "via TLS; ver=1.5");
    EXPECT_EQ(entries[1].detail, "via plain text; ver=1.5");
}

// The console's window filters by operation and outcome, counts what an
// export will fetch, and treats a reversed range as the mistake it is; an
// older console's request is answered as before.
TEST_F(AuditEntriesTest, AuditLogFiltersByRequestAndOutcomeCountsAndRefusesAReversedRange) {
    Session super;
    super.login = LoginLevel::kSuper;
    super.account = "admin";
    for (const auto& [request, outcome] :
         std::vector<std::pair<std::string, std::string>>{{"DeptAdd.asp", "info:添加部门成功"},
                                                          {"UserDelete.asp", kNotPermitted},
                                                          {"DeptAdd.asp", "error:部门已经存在"},
                                                          {"DeptAdd.asp", kNotPermitted}}) {
        AuditRecord r{
            0, "2024-05-01T08:00:00.000Z", "wang", "second", "10.0.0.1", 1, request, "", outcome,
            ""};
        std::string problem;
        ASSERT_TRUE(trail.Append(r, problem)) << problem;
    }
    auto ids = [&](const std::string& params) {
        std::vector<int64_t> found;
        for (const AuditRecord& r : ParseAuditLog(Ask(super, "GetAuditLog.asp?" + params))) {
            found.push_back(r.id);
        }
        return found;
    };
    EXPECT_EQ(ids(""), (std::vector<int64_t>{4, 3, 2, 1}));
    EXPECT_EQ(ids("request=deptadd.asp"), (std::vector<int64_t>{4, 3, 1}));
    EXPECT_EQ(ids("outcome=refused"), (std::vector<int64_t>{4, 2}));
    EXPECT_EQ(ids("request=DeptAdd.asp`outcome=failed"), std::vector<int64_t>{3});
    EXPECT_EQ(ids("outcome=success`count=1"), std::vector<int64_t>{1});
    EXPECT_EQ(Ask(super, "GetAuditLog.asp?outcome=refused`total=1"), "total:2");
    EXPECT_EQ(Ask(super, "GetAuditLog.asp?total=1`count=1"), "total:4");
    EXPECT_EQ(Ask(super, "GetAuditLog.asp?outcome=denied"),
              "error:结果条件不正确,应为 success、refused 或 failed");
    EXPECT_EQ(Ask(super, "GetAuditLog.asp?from=2024-05-02`to=2024-05-01"),
              "error:起始时间晚于结束时间");
    EXPECT_EQ(ids("from=2024-05-01`to=2024-05-01"), (std::vector<int64_t>{4, 3, 2, 1}));
}

TEST_F(AuditEntriesTest, AnEntryThatCannotBeWrittenIsNoticedAndTheReplyStillGoes) {
    Session super;
    super.login = LoginLevel::kSuper;
    super.account = "admin";
    std::unique_ptr<OdbcConnection> raw = std::make_unique<OdbcConnection>(FillConnectionString(
        DefaultAdminStoreConnection(), dir.Path().string(), store.DataFile().string()));
    raw->Execute("DROP TABLE warden_audit");
    EXPECT_EQ(Ask(super, "DeptAdd.asp?deptid=西区`parentdept=\\销售部"), "info:添加部门成功");
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find("DeptAdd.asp"), std::string::npos) << notices[0];
    EXPECT_NE(notices[0].find("warden_audit"), std::string::npos) << notices[0];
}

// Logins through the throttle and the hashing pool, answered from a pool thread.
class LoginFlowTest : public AuditEntriesTest {
  protected:
    void SetUp() override {
        AuditEntriesTest::SetUp();
        im->MakeUser("wang", "\\销售部");
        services.login = &flow;
    }

    std::future<std::string> Send(Session& session, const std::string& request) {
        auto reply = std::make_shared<std::promise<std::string>>();
        dispatcher.ProcessRequest(request, session,
                                  [reply](const std::string& text) { reply->set_value(text); });
        return reply->get_future();
    }

    std::string Login(Session& session, const std::string& password) {
        auto reply =
            Send(session, "LoginCheck.asp?username=wang`password=" + password + "`ver=1.5");
        if (reply.wait_for(std::chrono::seconds(10)) != std::future_status::ready) return "<none>";
        return reply.get();
    }

    LoginThrottle throttle{{.failuresBeforeLock = 5, .firstLock = std::chrono::seconds(60)}};
    WorkerPool pool{1, {.maxQueued = 1}};
    LoginFlow flow{throttle, pool, &recorder};
};

TEST_F(LoginFlowTest, ALockedAccountRefusesTheRightPasswordWithTheNormalText) {
    Session session;
    for (int i = 0; i < 5; ++i) EXPECT_EQ(Login(session, "guess"), "error:用户或密码错误");
    EXPECT_EQ(im->CallsOf("VerifyPassword").size(), 5u);
    EXPECT_EQ(Login(session, ""), "error:用户或密码错误");  // "" is his password
    EXPECT_EQ(Login(session, ""), "error:用户或密码错误");
    EXPECT_EQ(im->CallsOf("VerifyPassword").size(), 5u) << "no password is checked while locked";
    EXPECT_EQ(session.login, LoginLevel::kNone);

    // Five failures, the fifth telling of the lock; one entry for the lock's refusals.
    auto entries = Entries();
    ASSERT_EQ(entries.size(), 6u);
    EXPECT_EQ(entries[5].detail, "via plain text; ver=1.5; 连续失败1次");
    EXPECT_EQ(entries[1].detail, "via plain text; ver=1.5; 连续失败5次;账号在此地址锁定60秒");
    EXPECT_NE(entries[0].detail.find("账号在此地址锁定中"), std::string::npos) << entries[0].detail;
    for (const auto& e : entries) {
        EXPECT_EQ(e.outcome, "error:用户或密码错误");
        EXPECT_EQ(e.level, "none");
        EXPECT_EQ(e.account, "wang");
    }
}

TEST_F(LoginFlowTest, ASuccessStartsTheCountAfresh) {
    Session session;
    for (int i = 0; i < 4; ++i) Login(session, "guess");
    EXPECT_EQ(Login(session, ""), "success|0");
    EXPECT_EQ(session.login, LoginLevel::kDirectory);
    for (int i = 0; i < 4; ++i) Login(session, "guess");
    EXPECT_EQ(Login(session, ""), "success|0");
    EXPECT_EQ(Entries().front().level, "user") << "a directory account without an admin row";
}

TEST_F(LoginFlowTest, AFullQueueIsAnsweredBusyAtOnce) {
    std::latch started(1), release(1);
    ASSERT_TRUE(pool.Submit([&] {
        started.count_down();
        release.wait();
    }));
    started.wait();  // the one checker is taken; the queue is empty
    Session first, second;
    auto queued = Send(first, "LoginCheck.asp?username=wang`password=`ver=1.5");
    auto refused = Send(second, "LoginCheck.asp?username=wang`password=`ver=1.5");
    ASSERT_EQ(refused.wait_for(std::chrono::seconds(0)), std::future_status::ready);
    EXPECT_EQ(refused.get(), kLoginBusy);
    EXPECT_NE(queued.wait_for(std::chrono::milliseconds(50)), std::future_status::ready);
    release.count_down();
    EXPECT_EQ(queued.get(), "success|0");
    auto entries = Entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].outcome, kLoginBusy);
    EXPECT_NE(entries[1].detail.find("服务器繁忙"), std::string::npos);
}

TEST(MakeAuditRecordTest, NoKeyThatMayHoldAPasswordIsKeptAndLongValuesAreCut) {
    ParamMap params{{"username", "bob"},
                    {"password", "p1"},
                    {"PassWord", "p2"},
                    {"pwd", "p3"},
                    {"newPwd", "p4"},
                    {"", "p5"},
                    {"name", std::string(3000, 'x')},
                    {"desc", "说明"}};
    AuditRecord r = MakeAuditRecord("RoleAdmin.asp", params, "admin", "super", {"::1", 7}, "ok");
    for (const char* secret : {"p1", "p2", "p3", "p4", "p5"}) {
        EXPECT_EQ(r.detail.find(secret), std::string::npos) << secret;
    }
    EXPECT_EQ(r.target.size(), 1000u + std::string("…").size());
    EXPECT_EQ(r.detail, "desc=说明; username=bob");
    EXPECT_EQ(r.address, "::1");
    EXPECT_EQ(r.port, 7);
}

}  // namespace
}  // namespace warden::test
