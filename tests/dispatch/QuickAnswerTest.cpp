#include <string>

#include "tests/dispatch/HandlerFixture.h"

namespace warden::test {
namespace {

using QuickAnswerTest = HandlerFixture;

// Whatever is answered at once must be byte for byte what a worker would
// send, and only what needs no back-end may be answered at once.
TEST_F(QuickAnswerTest, AnswersAtOnceOnlyWithoutBackEndsAndAsAWorkerWould) {
    Im().MakeDept("\\研发部");
    Im().MakeUser("wang", "\\研发部");
    struct Case {
        LoginLevel login;
        std::string request;
        bool atOnce;
    };
    const Case cases[] = {
        {LoginLevel::kSuper, "QueryUserAdminDepts.asp?username=admin", true},
        {LoginLevel::kSuper, "queryuseradmindepts.asp?username=ADMIN", true},
        {LoginLevel::kSuper, "QueryUserAdminDepts.asp?username=wang", false},  // the admin store
        {LoginLevel::kDirectory, "QueryUserAdminDepts.asp?username=admin", false},  // delegation
        {LoginLevel::kNone, "GetUserBInfo.asp?username=wang", true},  // login required
        {LoginLevel::kNone, "QueryUserAdminDepts.asp?username=admin", true},
        {LoginLevel::kNone, "LoginCheck.asp?username=a`password=b`ver=1.5", false},
        {LoginLevel::kSuper, "NoSuchRequest.asp?username=wang", true},  // no reply
        {LoginLevel::kSuper, "GetUserBInfo.asp?username=wang", false},
        {LoginLevel::kNone, "DeptAdd.asp?parentdept=`deptid=新部门", true},  // login required
        // Changes are audited, also when refused.
        {LoginLevel::kSuper, "DeptAdd.asp?parentdept=`deptid=" + std::string(65, 'x'), false},
        {LoginLevel::kSuper, "DeptAdd.asp?parentdept=`deptid=新部门", false},
    };
    for (const Case& c : cases) {
        m_session.login = c.login;
        m_session.account = c.login == LoginLevel::kDirectory ? "wang" : "";
        std::optional<std::string> quick = m_dispatcher.AnswerAtOnce(c.request, m_session);
        EXPECT_EQ(quick.has_value(), c.atOnce) << c.request;
        if (!quick) continue;
        std::optional<std::string> sent = Ask(c.request);
        EXPECT_EQ(quick->empty() ? std::nullopt : quick, sent) << c.request;
    }
    EXPECT_FALSE(Im().IsDeptExist("\\新部门"));  // nothing was carried out at once
    EXPECT_THROW(m_dispatcher.RegisterQuick("UserDelete.asp", {}), std::logic_error);
}

}  // namespace
}  // namespace warden::test
