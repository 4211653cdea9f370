#include <gtest/gtest.h>

#include "protocol/AuditRecord.h"

namespace warden {
namespace {

TEST(AuditRecordTest, APageSurvivesTheWireWithSeparatorsInsideValues) {
    std::vector<AuditRecord> page = {
        {7, "2024-05-01T08:00:00.000Z", "admin", audit_level::kSuper, "127.0.0.1", 50000,
         "LoginCheck.asp", "admin", "success|1", "ver=1.5"},
        // Empty fields keep their place; a reply text of one space stays one space.
        {6, "2024-05-01T07:59:59.999Z", "", audit_level::kNone, "::1", 0, "RoleAdmin.asp", "", " ",
         ""},
        {5, "2024-05-01T07:00:00.000Z", "张三", audit_level::kSecond, "10.0.0.1", 1,
         "UpdateRoleRight.asp", "角色:甲", "error:处理请求失败,请检查数据后重新提交",
         "rightInfo=A|1|0^B|0|1\nline\ttab"},
    };
    const std::string wire = FormatAuditLog(page);
    EXPECT_EQ(std::count(wire.begin(), wire.end(), '\n'), 2) << wire;

    std::vector<AuditRecord> back = ParseAuditLog(wire);
    ASSERT_EQ(back.size(), 3u);
    // What a value could not carry is replaced, everything else is kept.
    page[0].outcome = "success｜1";
    page[2].detail = "rightInfo=A｜1｜0^B｜0｜1 line tab";
    EXPECT_EQ(back, page);
}

TEST(AuditRecordTest, NothingToReportAndUnknownFields) {
    EXPECT_EQ(FormatAuditLog({}), " ");
    EXPECT_TRUE(ParseAuditLog(" ").empty());
    // A newer server may add fields; an older reader skips them.
    auto r = ParseAuditLog("id:3|colour:blue|account:bob|noColon");
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].id, 3);
    EXPECT_EQ(r[0].account, "bob");
}

}  // namespace
}  // namespace warden
