#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "console/dialogs/AuditExport.h"
#include "console/dialogs/AuditLabels.h"
#include "console/dialogs/AuditLogLogic.h"
#include "console/dialogs/AuditTimes.h"
#include "tests/console/FakeTransport.h"
#include "tests/support/TempDir.h"

namespace warden::console::test {
namespace {

using warden::test::TempDir;
using Strings = std::vector<std::string>;

const QTimeZone kBeijing(8 * 3600);  // UTC+08:00, no summer time

AuditQuery Query(std::initializer_list<std::pair<std::string AuditQuery::*, const char*>> set) {
    AuditQuery query;
    for (const auto& [field, value] : set) query.*field = value;
    return query;
}

// The value of `key` in a request text ("Name.asp?a=1`b=2").
std::string Param(const std::string& request, const std::string& key) {
    for (const char* lead : {"?", "`"}) {
        const size_t at = request.find(lead + key + "=");
        if (at == std::string::npos) continue;
        const size_t from = at + key.size() + 2;
        return request.substr(from, request.find('`', from) - from);
    }
    return {};
}

// A trail of `total` entries, newest (id = total) first, served a page at a
// time the way the server pages: after the cursor's id; "total=1" counts.
class AuditLogLogicTest : public ::testing::Test {
  protected:
    AuditLogLogicTest() {
        transport.fallback = [this](const std::string& request) { return Serve(request); };
    }

    std::string Serve(const std::string& request) {
        if (request.rfind("GetAuditLog.asp?", 0) != 0) return {};
        if (Param(request, "total") == "1" && counts) return "total:" + std::to_string(total);
        int64_t before = total + 1;
        if (const std::string id = Param(request, "beforeid"); !id.empty()) before = std::stoll(id);
        const size_t count = std::stoul(Param(request, "count"));
        std::vector<AuditRecord> page;
        for (int64_t id = before - 1; id >= 1 && page.size() < count; --id) {
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
    AuditLogLogic logic{transport, sink, kBeijing};
    int64_t total = 450;
    bool counts = true;  // the server knows "total"
};

TEST(AuditTimesTest, BoundsTypedInTheLocalZoneCoverThePeriodTheyNameInUtc) {
    struct Case {
        const char* typed;
        bool upper;
        const char* utc;  // nullptr: refused
    } cases[] = {
        {"2024-05-01", false, "2024-04-30T16:00:00.000Z"},
        {"2024-05-01", true, "2024-05-01T15:59:59.999Z"},
        {" 2024-05-01 08 ", true, "2024-05-01T00:59:59.999Z"},
        {"2024-05-01T08:30", true, "2024-05-01T00:30:59.999Z"},
        {"2024-05-01 08:30:15", false, "2024-05-01T00:30:15.000Z"},
        {"2024-05-01 08:30:15", true, "2024-05-01T00:30:15.999Z"},
        {"2024-12-31", true, "2024-12-31T15:59:59.999Z"},
        {"2024-02-30", false, nullptr},
        {"2024-05-01 24:00", false, nullptr},
        {"2024-5-1", false, nullptr},
        {"yesterday", false, nullptr},
    };
    for (const Case& c : cases) {
        auto utc = LocalBoundToUtc(c.typed, c.upper, kBeijing);
        if (c.utc == nullptr) {
            EXPECT_FALSE(utc) << c.typed;
        } else {
            EXPECT_EQ(utc.value_or("<refused>"), c.utc) << c.typed << " upper=" << c.upper;
        }
    }
    EXPECT_EQ(LocalTimeText("2024-05-01T20:30:00.250Z", kBeijing), "2024-05-02 04:30:00");
    EXPECT_EQ(LocalTimeText("garbled", kBeijing), "garbled");
    EXPECT_EQ(ZoneOffsetLabel(kBeijing), "UTC+08:00");
}

TEST(AuditLabelsTest, OperationsByTheirMenuNamesAndOutcomesInWords) {
    EXPECT_EQ(AuditActionLabel("UserAdd.asp", "deptname=\\a|"), "添加用户");
    EXPECT_EQ(AuditActionLabel("UserAdd.asp", "deptname=\\a|; op=update"), "修改用户");
    EXPECT_EQ(AuditActionLabel("DeptChange.asp", "newparentdept=\\b; op=changeparent"),
              "更改部门(移动)");
    EXPECT_EQ(AuditActionLabel("RoleAdmin.asp", "op=del"), "删除角色");
    EXPECT_EQ(AuditActionLabel("GetChildDepts.asp"), "查看部门");
    EXPECT_EQ(AuditActionLabel("Unknown.asp"), "Unknown.asp");
    for (const auto& [outcome, text] : std::vector<std::pair<std::string, std::string>>{
             {"info:添加部门成功", "成功: 添加部门成功"},
             {"success|1", "成功"},
             {"true", "成功"},
             {" ", "成功"},
             {"error:没有权限执行此操作", "拒绝: 没有权限执行此操作"},
             {"error:用户或密码错误", "失败: 用户或密码错误"}}) {
        EXPECT_EQ(AuditOutcomeText(outcome), text) << outcome;
    }
    for (const auto& [detail, text] : std::vector<std::pair<std::string, std::string>>{
             {"via TLS; ver=1.5", "经 TLS 加密连接; ver=1.5"},
             {"via plain text", "经明文连接"},
             {"via TLSx; a=1", "via TLSx; a=1"},
             {"name=via TLS", "name=via TLS"}}) {
        EXPECT_EQ(AuditDetailText(detail), text) << detail;
    }
}

TEST_F(AuditLogLogicTest, PagesFollowTheLastEntryShownUntilAShortPage) {
    ASSERT_TRUE(logic.Search(
        {"2024-05-01", "2024-05-02 08:00", "admin", "部门", "DeptAdd.asp", "refused"}));
    EXPECT_EQ(transport.requests.front(),
              "GetAuditLog.asp?from=2024-04-30T16:00:00.000Z`to=2024-05-02T00:00:59.999Z"
              "`account=admin`target=部门`count=200`request=DeptAdd.asp`outcome=refused");
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

    // Filters left empty are not sent: an older server answers as before.
    logic.Search({});
    EXPECT_EQ(transport.requests.back(), "GetAuditLog.asp?from=`to=`account=`target=`count=200");
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

// A reversed range used to give an empty list, as if nothing had happened.
TEST_F(AuditLogLogicTest, BadInputIsSaidWithoutAskingAndRefusalsOrOfflineEmptyTheList) {
    ASSERT_TRUE(logic.Search({}));
    for (const AuditQuery& bad :
         {Query({{&AuditQuery::from, "2024-05-02"}, {&AuditQuery::to, "2024-05-01"}}),
          Query({{&AuditQuery::from, "2024-13-01"}}), Query({{&AuditQuery::account, "a`b"}}),
          Query({{&AuditQuery::target, "a?b"}})}) {
        const size_t asked = transport.requests.size();
        EXPECT_FALSE(logic.Search(bad)) << bad.from << bad.account;
        EXPECT_EQ(transport.requests.size(), asked);
        EXPECT_EQ(sink.shown.back().caption, "提示");
        EXPECT_EQ(logic.Rows().size(), 200u) << "the list stays as it was";
    }
    EXPECT_EQ(sink.Texts().front(), "起始时间晚于结束时间, 请检查查询的时间范围");

    transport.replies["GetAuditLog.asp?from=`to=`account=x`target=`count=200"] =
        "error:没有权限执行此操作";
    EXPECT_FALSE(logic.Search(Query({{&AuditQuery::account, "x"}})));
    EXPECT_EQ(sink.Texts().back(), "没有权限执行此操作");
    EXPECT_TRUE(logic.Rows().empty());
    EXPECT_TRUE(logic.Complete());
    EXPECT_FALSE(logic.Offline());

    transport.connected = false;
    transport.fallback = nullptr;
    EXPECT_FALSE(logic.Search({}));
    EXPECT_TRUE(logic.Offline());
}

TEST_F(AuditLogLogicTest, CsvKeepsUtcBesideLocalTimeQuotesWhatNeedsItAndDisarmsFormulas) {
    transport.replies["GetAuditLog.asp?from=`to=`account=`target=`count=200"] = FormatAuditLog({
        {2, "2024-05-01T20:00:01.000Z", "=HYPERLINK(\"x\")", "none", "::1", 1, "LoginCheck.asp",
         "a,b", "error:用户或密码错误", "ver=1.5"},
        {1, "2024-05-01T08:00:00.000Z", "admin", "super", "10.0.0.1", 2, "DeptAdd.asp", "\\销售部",
         "info:添加部门成功", ""},
    });
    ASSERT_TRUE(logic.Search({}));
    const std::string header =
        "时间(UTC),时间(UTC+08:00),帐号,级别,地址,端口,操作,请求,对象,结果,回复,详情\r\n";
    const std::string first =
        "2024-05-01T20:00:01.000Z,2024-05-02 04:00:01,\"'=HYPERLINK(\"\"x\"\")\",未登录,::1,1,登录,"
        "LoginCheck.asp,\"a,b\",失败: 用户或密码错误,error:用户或密码错误,ver=1.5\r\n";
    const std::string second =
        "2024-05-01T08:00:00.000Z,2024-05-01 16:00:00,admin,超级管理员,10.0.0.1,2,添加部门,"
        "DeptAdd.asp,\\销售部,成功: 添加部门成功,info:添加部门成功,\r\n";
    EXPECT_EQ(logic.Csv(), header + first + second);
    EXPECT_EQ(logic.Csv({1}), header + second);
}

std::string Read(const std::filesystem::path& file) {
    std::stringstream text;
    text << std::ifstream(file, std::ios::binary).rdbuf();
    return text.str();
}

// 导出CSV wrote only the 2,000 rows read so far of 2,358, without a word.
TEST_F(AuditLogLogicTest, ExportWritesEveryMatchingEntryAndLeavesNothingHalfWritten) {
    total = 2358;
    ASSERT_TRUE(logic.Search(Query({{&AuditQuery::account, "admin"}})));
    AuditExport exporter(transport, sink, kBeijing);
    EXPECT_EQ(exporter.CountMatching(logic.Filter()), 2358);
    EXPECT_EQ(transport.requests.back(),
              "GetAuditLog.asp?from=`to=`account=admin`target=`count=1`total=1");

    TempDir dir;
    const auto file = dir.Path() / "log.csv";
    ASSERT_TRUE(exporter.Start(logic.Filter(), file));
    int steps = 1;
    while (exporter.Step()) ++steps;
    EXPECT_EQ(steps, 3);
    EXPECT_TRUE(exporter.Done());
    EXPECT_EQ(exporter.Written(), 2358);
    const std::string written = Read(file);
    EXPECT_EQ(written.rfind("\xEF\xBB\xBF时间(UTC),", 0), 0u);
    EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 2359);
    EXPECT_NE(written.find(",\\部门2358,"), std::string::npos);
    EXPECT_NE(written.find(",\\部门1,"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "log.csv.part"));

    // Cancelled, or cut off by a lost connection: the file as it was.
    exporter.Start(logic.Filter(), file);
    exporter.Step();
    exporter.Cancel();
    EXPECT_EQ(Read(file), written);
    exporter.Start(logic.Filter(), file);
    exporter.Step();
    transport.fallback = nullptr;
    EXPECT_FALSE(exporter.Step());
    EXPECT_FALSE(exporter.Done());
    EXPECT_EQ(sink.Texts().back(), "导出中断, 文件没有改动");
    EXPECT_EQ(Read(file), written);
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "log.csv.part"));

    EXPECT_FALSE(exporter.Start(logic.Filter(), dir.Path() / "no-such-folder" / "x.csv"));
    EXPECT_EQ(sink.shown.back().caption, "错误");
}

TEST_F(AuditLogLogicTest, AServerThatCannotCountStillExportsEverything) {
    counts = false;
    total = 1200;
    AuditExport exporter(transport, sink, kBeijing);
    EXPECT_EQ(exporter.CountMatching({}), -1);
    TempDir dir;
    ASSERT_TRUE(exporter.Start({}, dir.Path() / "all.csv"));
    while (exporter.Step()) {
    }
    EXPECT_EQ(exporter.Written(), 1200);
}

}  // namespace
}  // namespace warden::console::test
