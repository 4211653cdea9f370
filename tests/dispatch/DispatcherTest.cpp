#include <gtest/gtest.h>

#include <new>

#include "server/dispatch/Dispatcher.h"
#include "directory/ImError.h"

namespace warden {
namespace {

// Collects what the dispatcher sends; nullopt when it sends nothing.
std::optional<std::string> Dispatch(const Dispatcher& d, std::string_view request,
                                    Session& session) {
    std::optional<std::string> sent;
    int sends = 0;
    d.ProcessRequest(request, session, [&](const std::string& reply) {
        if (!reply.empty()) sent = reply;  // empty: the request ends without a reply
        ++sends;
    });
    EXPECT_EQ(sends, 1);
    return sent;
}

class DispatcherTest : public ::testing::Test {
  protected:
    DispatcherTest() : m_open(m_services, false) {
        for (const RequestEntry& entry : RequestTable()) {
            m_open.Register(entry.name, [name = std::string(entry.name)](RequestContext&) {
                return "handled " + name;
            });
        }
    }
    Services m_services;
    Dispatcher m_open;
    Session m_session;
};

TEST_F(DispatcherTest, NamesMatchInAnyCaseButThreeMatchExactly) {
    EXPECT_EQ(Dispatch(m_open, "logincheck.asp?username=a", m_session), "handled LoginCheck.asp");
    EXPECT_EQ(Dispatch(m_open, "USERDELETE.ASP", m_session), "handled UserDelete.asp");
    for (const char* exact : {"GetSameLevelDepts.asp", "SetDeptOrder.asp", "RoleAdmin.asp"}) {
        EXPECT_EQ(Dispatch(m_open, exact, m_session), std::string("handled ") + exact);
        std::string lower(exact);
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_FALSE(Dispatch(m_open, lower, m_session).has_value()) << lower;
    }
}

TEST_F(DispatcherTest, TableHoldsTheTwentySixRequestsInOrderThenOurs) {
    const auto& table = RequestTable();
    EXPECT_EQ(table.front().name, "LoginCheck.asp");
    EXPECT_EQ(table[18].name, "GetSameLevelDepts.asp");
    EXPECT_EQ(table[25].name, "ChangePwd.asp");
    EXPECT_EQ(table[26].name, "GetAuditLog.asp");
    EXPECT_EQ(table.back().name, "CheckPermission.asp");
    int exact = 0;
    for (const auto& e : table) exact += e.match == NameMatch::kExact;
    EXPECT_EQ(exact, 3);
}

TEST_F(DispatcherTest, UnknownOrUninstalledNamesGetNoReply) {
    EXPECT_FALSE(Dispatch(m_open, "Nothing.asp?a=b", m_session).has_value());
    EXPECT_FALSE(Dispatch(m_open, "?", m_session).has_value());
    Services services;
    Dispatcher bare(services, false);
    EXPECT_FALSE(Dispatch(bare, "GetAdminList.asp", m_session).has_value());
    EXPECT_THROW(bare.Register("NotInTheTable.asp", {}), std::logic_error);
}

TEST_F(DispatcherTest, HandlerFailuresBecomeTheGeneralErrorReply) {
    const std::string general = "error:处理请求失败,请检查数据后重新提交";
    m_open.Register("UserDelete.asp", [](RequestContext&) -> std::string {
        throw ImError(0x80004005, "vexdir", "user is locked");
    });
    m_open.Register("GetAdminList.asp", [](RequestContext&) -> std::string {
        throw std::runtime_error("database is gone");
    });
    m_open.Register("GetAllRoles.asp",
                    [](RequestContext&) -> std::string { throw std::bad_alloc(); });
    EXPECT_EQ(Dispatch(m_open, "UserDelete.asp?username=x", m_session), general);
    EXPECT_EQ(Dispatch(m_open, "GetAdminList.asp", m_session), general);
    EXPECT_EQ(Dispatch(m_open, "GetAllRoles.asp", m_session), general);
}

TEST_F(DispatcherTest, EmptyReplyIsNotSentAndParametersReachTheHandler) {
    m_open.Register("DeptChange.asp", [](RequestContext& c) { return c.Param("op"); });
    EXPECT_FALSE(Dispatch(m_open, "DeptChange.asp?op=", m_session).has_value());
    EXPECT_EQ(Dispatch(m_open, "DeptChange.asp?x=1`op=move", m_session), "move");
}

// A test-only login: "ok" logs in as super administrator, anything else fails.
Handler FakeLogin() {
    return [](RequestContext& c) -> std::string {
        if (c.Param("password") != "ok") return "error:bad";
        c.session.login = LoginLevel::kSuper;
        return "success|1";
    };
}

TEST(LoginGateTest, OnlyTheLoginPassesUntilALoginSucceeds) {
    Services services;
    Dispatcher gated(services, true);
    gated.Register("LoginCheck.asp", FakeLogin());
    gated.Register("UserDelete.asp", [](RequestContext&) { return std::string("info:deleted"); });
    Session session;
    EXPECT_EQ(Dispatch(gated, "UserDelete.asp?username=x", session), "error:请先登录");
    EXPECT_EQ(Dispatch(gated, "LoginCheck.asp?password=no", session), "error:bad");
    EXPECT_EQ(Dispatch(gated, "UserDelete.asp?username=x", session), "error:请先登录");
    EXPECT_EQ(Dispatch(gated, "LoginCheck.asp?password=ok", session), "success|1");
    EXPECT_EQ(Dispatch(gated, "UserDelete.asp?username=x", session), "info:deleted");
    // A later failed login (the password dialog re-checks) keeps the session.
    EXPECT_EQ(Dispatch(gated, "LoginCheck.asp?password=no", session), "error:bad");
    EXPECT_EQ(Dispatch(gated, "userdelete.asp?username=x", session), "info:deleted");
    // Another connection is not logged in; unknown names stay silent even there.
    Session other;
    EXPECT_EQ(Dispatch(gated, "UserDelete.asp", other), "error:请先登录");
    EXPECT_FALSE(Dispatch(gated, "Unknown.asp", other).has_value());
}

TEST(LoginGateTest, CanBeTurnedOff) {
    Services services;
    Dispatcher open(services, false);
    open.Register("UserDelete.asp", [](RequestContext&) { return std::string("info:deleted"); });
    Session session;
    EXPECT_EQ(Dispatch(open, "UserDelete.asp?username=x", session), "info:deleted");
}

}  // namespace
}  // namespace warden
