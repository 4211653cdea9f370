#include <gtest/gtest.h>

#include "console/dialogs/ChangePasswordLogic.h"
#include "tests/console/FakeTransport.h"

namespace warden::console::test {
namespace {

using Strings = std::vector<std::string>;

class ChangePasswordLogicTest : public ::testing::Test {
  protected:
    ChangePasswordLogicTest() { m_login.loginName = "admin"; }

    // The server's answers to a change from `old` to anything.
    void OldPasswordIs(const std::string& old) {
        m_transport.fallback = [old](const std::string& request) -> std::string {
            if (request.rfind("ChangePwd.asp?username=admin`oldpassword=", 0) != 0) return {};
            return request.rfind("ChangePwd.asp?username=admin`oldpassword=" + old + "`", 0) == 0
                       ? "success"
                       : "error:原密码错误";
        };
    }

    FakeTransport m_transport;
    FakeSink m_sink;
    LoginState m_login;
    ChangePasswordLogic m_logic{m_transport, m_sink, m_login};
};

TEST_F(ChangePasswordLogicTest, TheServerChecksTheOldPasswordWithTheChange) {
    OldPasswordIs(" old ");
    EXPECT_EQ(m_logic.Submit({"wrong", "new", "new"}), PasswordOutcome::kStayOpen);
    ASSERT_EQ(m_sink.shown.size(), 1u);
    EXPECT_EQ(m_sink.shown[0].caption, "提示");
    EXPECT_EQ(m_sink.shown[0].icon, MessageIcon::kInformation);
    EXPECT_EQ(m_sink.shown[0].text, "原密码输入错误");
    EXPECT_EQ(m_logic.Submit({" old ", "  new", "new\t"}), PasswordOutcome::kClose);
    EXPECT_EQ(m_transport.requests,
              (Strings{"ChangePwd.asp?username=admin`oldpassword=wrong`password=new",
                       "ChangePwd.asp?username=admin`oldpassword= old `password=new"}))
        << "the old password goes as typed, the new one trimmed";
    EXPECT_EQ(m_sink.Texts().back(), "修改密码成功");
    EXPECT_EQ(m_sink.shown.back().caption, "信息");
}

TEST_F(ChangePasswordLogicTest, AMismatchAsksForTheNewPasswordAgainWithoutAsking) {
    OldPasswordIs("old");
    EXPECT_EQ(m_logic.Submit({"old", "new1", "new2"}), PasswordOutcome::kRetypeNew);
    ASSERT_EQ(m_sink.shown.size(), 1u);
    EXPECT_EQ(m_sink.shown[0].icon, MessageIcon::kWarning);
    EXPECT_EQ(m_sink.shown[0].text, "密码输入不匹配, 请重新输入");
    EXPECT_TRUE(m_transport.requests.empty());
}

// A blank new password would lock the administrator out of the console,
// whose login refuses an empty password; "`" and "?" would cut the request.
TEST_F(ChangePasswordLogicTest, BlankOrUncarriablePasswordsAreRefusedBeforeAnythingIsSent) {
    OldPasswordIs("old");
    const std::string tooLong(129, 'x');
    struct Case {
        PasswordInput input;
        PasswordOutcome outcome;
        std::string message;
    } cases[] = {
        {{"old", " ", ""}, PasswordOutcome::kRetypeNew, "新密码不能为空"},
        {{"old", "", ""}, PasswordOutcome::kRetypeNew, "新密码不能为空"},
        {{"o`ld", "new", "new"},
         PasswordOutcome::kStayOpen,
         "密码中含有 ` 或 ? 字符, 无法发送到服务器"},
        {{"old", "a?b", "a?b"}, PasswordOutcome::kRetypeNew, "新密码不能含有以下字符: ` ?"},
        {{"old", tooLong, tooLong}, PasswordOutcome::kRetypeNew, "新密码不能超过128个字符"},
    };
    for (const Case& c : cases) {
        m_sink.shown.clear();
        EXPECT_EQ(m_logic.Submit(c.input), c.outcome) << c.message;
        EXPECT_EQ(m_sink.Texts(), Strings{c.message});
    }
    EXPECT_TRUE(m_transport.requests.empty());
}

TEST_F(ChangePasswordLogicTest, RefusedChangeIsShownAndTheDialogStillCloses) {
    OldPasswordIs("old");
    m_transport.replies["ChangePwd.asp?username=admin`oldpassword=old`password=x"] =
        "error:修改密码失败";
    EXPECT_EQ(m_logic.Submit({"old", "x", "x"}), PasswordOutcome::kClose);
    ASSERT_EQ(m_sink.shown.size(), 1u);
    EXPECT_EQ(m_sink.shown[0].caption, "错误");
    EXPECT_EQ(m_sink.shown[0].text, "修改密码失败");
}

TEST_F(ChangePasswordLogicTest, NoReplyIsNotCalledAWrongPassword) {
    // The transport reports a time-out or a lost connection itself.
    EXPECT_EQ(m_logic.Submit({"old", "x", "x"}), PasswordOutcome::kStayOpen);
    EXPECT_TRUE(m_sink.shown.empty());
    EXPECT_EQ(m_transport.requests.size(), 1u);
}

}  // namespace
}  // namespace warden::console::test
