#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "console/dialogs/AuditLogLogic.h"
#include "tests/console/FakeTransport.h"
#include "tests/support/TempDir.h"

namespace warden::console::test {
namespace {

using warden::test::TempDir;

// A trail of `total` entries, newest (id = total) first, served a page at a
// time the way the server pages: after the cursor's id.
class AuditLogLogicTest : public ::testing::Test {
  protected:
    AuditLogLogicTest() {
        transport.fallback = [this](const std::string& request) { return Serve(request); };
    }

    std::string Serve(const std::string& request) {
        if (request.rfind("GetAuditLog.asp?", 0) != 0) return {};
        int64_t before = total + 1;
        if (auto at = request.find("`beforeid="); at != std::string::npos) {
            before = std::stoll(request.substr(at + 10));
        }
        std::vector<AuditRecord> page;
        for (int64_t id = before - 1; id >= 1 && page.size() < AuditLogLogic::kPageSize; --id) {
            page.push_back({id, "2024-05-01T08:00:00.000Z", "admin", "super", "10.0.0.1", 5000,
                            "DeptAdd.asp", "\\部门" + std::to_string(id), "info:添加部门成功", ""});
        }
        return FormatAuditLog(page);
    }

    // Loads pages the way the window's timer does, until it would stop.
    int LoadAll() {
        int rounds = 0;
        while (logic.LoadNextPage()) ++rounds;
        return rounds;
    }

    FakeTransport transport;
    FakeSink sink;
    AuditLogLogic logic{transport, sink};
    int64_t total = 450;
};

TEST_F(AuditLogLogicTest, PagesFollowTheLastEntryShownUntilAShortPage) {
    ASSERT_TRUE(logic.Search({"2024-05-01", "2024-05-02 08:00", "admin", "部门"}));
    EXPECT_EQ(transport.requests.front(),
              "GetAuditLog.asp?from=2024-05-01`to=2024-05-02 08:00`account=admin`target=部门"
              "`count=200");
    EXPECT_EQ(logic.Rows().size(), 200u);
    EXPECT_FALSE(logic.Complete());
    LoadAll();
    ASSERT_EQ(transport.requests.size(), 3u);
    EXPECT_NE(transport.requests[1].find("`beforetime=2024-05-01T08:00:00.000Z`beforeid=251"),
              std::string::npos)
        << transport.requests[1];
    EXPECT_TRUE(logic.Complete());
    ASSERT_EQ(logic.Rows().size(), 450u);
    EXPECT_EQ(logic.Rows().front().id, 450);
    EXPECT_EQ(logic.Rows().back().id, 1);
    EXPECT_FALSE(logic.LoadNextPage());
    EXPECT_EQ(transport.requests.size(), 3u) << "nothing more is asked once complete";
}

TEST_F(AuditLogLogicTest, ReadsABatchUnaskedAndMoreOnlyWhenTheReaderReachesTheEnd) {
    total = 1'000'000;
    logic.Search({});
    LoadAll();
    EXPECT_EQ(logic.Rows().size(), static_cast<size_t>(AuditLogLogic::kBatch));
    logic.WantMore();
    LoadAll();
    EXPECT_EQ(logic.Rows().size(), static_cast<size_t>(2 * AuditLogLogic::kBatch));
    EXPECT_FALSE(logic.Complete());

    transport.busy = true;  // another exchange is waiting: ask nothing now
    const size_t asked = transport.requests.size();
    logic.WantMore();
    EXPECT_TRUE(logic.LoadNextPage());
    EXPECT_EQ(transport.requests.size(), asked);
}

TEST_F(AuditLogLogicTest, RefusalsAndBadInputLeaveAnEmptyCompleteList) {
    transport.replies["GetAuditLog.asp?from=2024-13-01`to=`account=`target=`count=200"] =
        "error:时间格式不正确";
    EXPECT_FALSE(logic.Search({"2024-13-01", "", "", ""}));
    ASSERT_EQ(sink.Texts(), std::vector<std::string>{"时间格式不正确"});
    EXPECT_TRUE(logic.Rows().empty());
    EXPECT_TRUE(logic.Complete());

    for (const char* bad : {"a`b", "a?b"}) {
        const size_t asked = transport.requests.size();
        EXPECT_FALSE(logic.Search({"", "", bad, ""}));
        EXPECT_EQ(transport.requests.size(), asked) << bad;
        EXPECT_EQ(sink.shown.back().caption, "提示");
    }
}

TEST_F(AuditLogLogicTest, CsvQuotesWhatNeedsItAndDisarmsFormulas) {
    transport.replies["GetAuditLog.asp?from=`to=`account=`target=`count=200"] = FormatAuditLog({
        {2, "2024-05-01T08:00:01.000Z", "=HYPERLINK(\"x\")", "none", "::1", 1, "LoginCheck.asp",
         "a,b", "error:用户或密码错误", "ver=1.5"},
        {1, "2024-05-01T08:00:00.000Z", "admin", "super", "10.0.0.1", 2, "DeptAdd.asp", "\\销售部",
         "info:添加部门成功", ""},
    });
    ASSERT_TRUE(logic.Search({}));
    const std::string header = "时间(UTC),帐号,级别,地址,端口,操作,请求,对象,结果,详情\r\n";
    const std::string first =
        "2024-05-01T08:00:01.000Z,\"'=HYPERLINK(\"\"x\"\")\",未登录,::1,1,登录,LoginCheck.asp,"
        "\"a,b\",error:用户或密码错误,ver=1.5\r\n";
    const std::string second =
        "2024-05-01T08:00:00.000Z,admin,超级管理员,10.0.0.1,2,添加部门,DeptAdd.asp,\\销售部,"
        "info:添加部门成功,\r\n";
    EXPECT_EQ(logic.Csv(), header + first + second);
    EXPECT_EQ(logic.Csv({1}), header + second);

    TempDir dir;
    ASSERT_TRUE(logic.ExportCsv(dir.Path() / "log.csv", {0}));
    std::stringstream written;
    written << std::ifstream(dir.Path() / "log.csv", std::ios::binary).rdbuf();
    EXPECT_EQ(written.str(), "\xEF\xBB\xBF" + header + first);
    EXPECT_FALSE(logic.ExportCsv(dir.Path()));  // a folder cannot be written as a file
    EXPECT_EQ(sink.shown.back().caption, "错误");
}

}  // namespace
}  // namespace warden::console::test
