// The directory's quick reads against its plain ones: on a generated
// directory, every reply of a sample of read requests must be byte for byte
// the same whichever way the server reads it.
#include <gtest/gtest.h>

#include "server/dispatch/Dispatcher.h"
#include "server/dispatch/HandlerRegistry.h"
#include "server/im/ImService.h"
#include "tests/support/TempDir.h"
#include "vexdir/Generator.h"
#include "vexdir/VexDirectory.h"

namespace warden {
namespace {

// Reads a user's record the plain way, one call at a time.
class PlainUsers : public ImUserManager {
  public:
    explicit PlainUsers(ImUserManager& inner) : m_inner(inner) {}
    void AddUser(const std::string& u, int n) override { m_inner.AddUser(u, n); }
    void SetUserPassword(const std::string& u, const std::string& p) override {
        m_inner.SetUserPassword(u, p);
    }
    std::string PreparePassword(const std::string& p) override {
        return m_inner.PreparePassword(p);
    }
    void SetUserPreparedPassword(const std::string& u, const std::string& p) override {
        m_inner.SetUserPreparedPassword(u, p);
    }
    void DeleteUser(const std::string& u) override { m_inner.DeleteUser(u); }
    bool IsUserExist(const std::string& u) override { return m_inner.IsUserExist(u); }
    UserBasicInfo GetUserBasicInfo(const std::string& u) override {
        return m_inner.GetUserBasicInfo(u);
    }
    void SetUserBasicInfo(const std::string& u, const std::string& name, int gender,
                          const std::string& mobile, const std::string& email,
                          const std::string& phone, int32_t auth) override {
        m_inner.SetUserBasicInfo(u, name, gender, mobile, email, phone, auth);
    }
    int64_t GetUserUin(const std::string& u) override { return m_inner.GetUserUin(u); }
    UserDetail GetUserDetail(const std::string& u) override { return m_inner.GetUserDetail(u); }
    void SetUserDetail(const std::string& u, const UserDetail& d) override {
        m_inner.SetUserDetail(u, d);
    }
    void SearchUsers(const std::string& t, const UserMatchVisitor& v) override {
        m_inner.SearchUsers(t, v);
    }

  private:
    ImUserManager& m_inner;
};

// Lists a department's users the plain way, as XML.
class PlainDepts : public ImDeptManager {
  public:
    explicit PlainDepts(ImDeptManager& inner) : m_inner(inner) {}
    int AddDept(const std::string& n, const std::string& p) override {
        return m_inner.AddDept(n, p);
    }
    bool IsDeptExist(const std::string& p) override { return m_inner.IsDeptExist(p); }
    int DeleteDept(const std::string& p, int f) override { return m_inner.DeleteDept(p, f); }
    void ChangeDeptName(const std::string& p, const std::string& n) override {
        m_inner.ChangeDeptName(p, n);
    }
    void MoveDept(const std::string& p, const std::string& n) override { m_inner.MoveDept(p, n); }
    void RemoveUserFromDept(const std::string& u, const std::string& p) override {
        m_inner.RemoveUserFromDept(u, p);
    }
    void AddUserToDept(const std::string& u, const std::string& s, const std::string& t,
                       int copy) override {
        m_inner.AddUserToDept(u, s, t, copy);
    }
    std::string GetChildDepts(const std::string& p) override { return m_inner.GetChildDepts(p); }
    std::string GetDeptUsers(const std::string& p) override { return m_inner.GetDeptUsers(p); }
    std::string GetUserDepts(const std::string& u) override { return m_inner.GetUserDepts(u); }

  private:
    ImDeptManager& m_inner;
};

class PlainRoot : public ImRoot {
  public:
    explicit PlainRoot(std::shared_ptr<ImRoot> inner)
        : m_inner(std::move(inner)),
          m_depts(m_inner->GetDeptManager()),
          m_users(m_inner->GetUserManager()) {}
    std::unique_ptr<ImUnitOfWork> BeginUnitOfWork() override { return m_inner->BeginUnitOfWork(); }
    void SetServerAddress(const std::string& a) override { m_inner->SetServerAddress(a); }
    void SetServerPort(int p) override { m_inner->SetServerPort(p); }
    ImDeptManager& GetDeptManager() override { return m_depts; }
    ImUserManager& GetUserManager() override { return m_users; }
    ImRoleManager& GetRoleManager() override { return m_inner->GetRoleManager(); }
    ImApplication& GetApplication() override { return m_inner->GetApplication(); }
    int16_t VerifyPassword(const std::string& u, const std::string& p) override {
        return m_inner->VerifyPassword(u, p);
    }
    std::string GetRightInfo(const std::string& r) override { return m_inner->GetRightInfo(r); }

  private:
    std::shared_ptr<ImRoot> m_inner;
    PlainDepts m_depts;
    PlainUsers m_users;
};

// A dispatcher with every handler over `root`, asked as the super administrator.
class Server {
  public:
    explicit Server(std::shared_ptr<ImRoot> root) : m_dispatcher(m_services, true) {
        m_service.SetRoot(std::move(root));
        m_services.im = &m_service;
        RegisterAllHandlers(m_dispatcher);
        m_session.login = LoginLevel::kSuper;
    }
    std::string Ask(const std::string& request) {
        std::string reply = "<none>";
        m_dispatcher.ProcessRequest(request, m_session,
                                    [&](const std::string& text) { reply = text; });
        return reply;
    }

  private:
    ImService m_service;
    Services m_services;
    Dispatcher m_dispatcher;
    Session m_session;
};

TEST(ReplyEqualityTest, QuickAndPlainReadsGiveTheSameReplies) {
    test::TempDir dir;
    vexdir::LargeOptions options;
    options.departments = 200;
    options.users = 2500;
    options.bigDepartmentUsers = 1000;
    options.usersPerDepartment = 20;
    const vexdir::LargeSummary summary = vexdir::GenerateLarge(dir.Path(), options);
    auto root = OpenVexDirectory(dir.Path());
    // Values the generator does not make: reserved characters, empty and
    // long texts, a level beyond the usual, a female user.
    const std::string& odd = summary.sampleAccounts.front();
    root->GetUserManager().SetUserBasicInfo(odd, "王<&>\"'|:`", 1, "", "a@b", "0-1", 7);
    UserDetail detail = root->GetUserManager().GetUserDetail(odd);
    detail.Position() = std::string(200, 'p') + "经理|level:9";
    detail.Level() = -2147483647;
    detail.texts[0] = "kept";
    root->GetUserManager().SetUserDetail(odd, detail);

    Server quick(root);
    Server plain(std::make_shared<PlainRoot>(root));
    std::vector<std::string> requests = {
        "GetDeptUsers.asp?deptId=" + summary.bigDepartment,
        "GetDeptUsers.asp?deptId=" + summary.smallDepartment,
        "GetChildDepts.asp?deptId=" + summary.parentWithChildren,
        "GetDeptUsers.asp?deptId=\\no such department",
        "GetDeptUsers.asp?deptId=" + summary.parentWithChildren,  // no users of its own
        "GetUserBInfo.asp?username=nobody",
        "GetUserBInfo.asp?username=" + odd,
    };
    for (size_t i = 0; i < summary.sampleAccounts.size(); ++i) {
        const std::string& account = summary.sampleAccounts[i];
        for (const char* name :
             {"GetUserBInfo.asp", "GetUserDepts.asp", "GetUserRoles.asp", "CheckUserExist.asp"}) {
            requests.push_back(std::string(name) + "?username=" + account);
        }
    }
    ASSERT_GT(requests.size(), 40u);
    for (const std::string& request : requests) {
        EXPECT_EQ(quick.Ask(request), plain.Ask(request)) << request;
    }
    EXPECT_NE(quick.Ask("GetUserBInfo.asp?username=" + odd).find("name:王<&>\"'|:`|gender:女"),
              std::string::npos);
}

}  // namespace
}  // namespace warden
