#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <set>
#include <thread>

#include "protocol/SplitList.h"
#include "server/store/AuditTime.h"
#include "server/store/AuditTrail.h"
#include "tests/store/StoreFixture.h"

namespace warden::test {
namespace {

class AuditTrailTest : public StoreFixture {
  protected:
    void SetUp() override {
        StoreFixture::SetUp();
        trail.Open(Connection());
    }

    std::string Connection() {
        return FillConnectionString(pattern, dir.Path().string(), store.DataFile().string());
    }

    int64_t Add(std::string time, std::string account, std::string target = "\\部门",
                std::string outcome = "info:") {
        AuditRecord r;
        r.time = std::move(time);
        r.account = std::move(account);
        r.level = audit_level::kSecond;
        r.address = "10.0.0.7";
        r.port = 50123;
        r.request = "DeptAdd.asp";
        r.target = std::move(target);
        r.outcome = std::move(outcome);
        std::string problem;
        EXPECT_TRUE(trail.Append(r, problem)) << problem;
        return r.id;
    }

    std::vector<int64_t> Ids(const AuditFilter& filter) {
        std::vector<int64_t> ids;
        for (const AuditRecord& r : trail.Query(filter)) ids.push_back(r.id);
        return ids;
    }

    AuditTrail trail;
};

TEST_F(AuditTrailTest, AStoreFromBeforeTheTrailGetsItWhenOpenedAndKeepsItsAccounts) {
    ASSERT_TRUE(store.SaveAdmin("bob", "\\销售部;", "r|"));
    raw->Execute("DROP TABLE warden_audit");
    AuditTrail early;
    EXPECT_THROW(early.Open(Connection()), OdbcError);

    AdminStore reopened(dir.Path());
    reopened.OpenDatabase(pattern);
    AuditTrail trail2;
    trail2.Open(Connection());
    AuditRecord r;
    r.account = "bob";
    std::string problem;
    ASSERT_TRUE(trail2.Append(r, problem)) << problem;
    EXPECT_EQ(r.id, 1);
    EXPECT_EQ(reopened.GetAdminDepts("bob"), "\\销售部;");

    // Opening again keeps the entries and continues their numbering.
    AuditTrail again;
    again.Open(Connection());
    ASSERT_TRUE(again.Append(r, problem)) << problem;
    EXPECT_EQ(r.id, 2);
    EXPECT_EQ(again.Query({}).size(), 2u);
}

TEST_F(AuditTrailTest, KeepsEveryFieldAndStampsTheTimeWhenNoneIsGiven) {
    AuditRecord r{0,
                  "",
                  "张三",
                  audit_level::kSuper,
                  "::1",
                  443,
                  "UserAdd.asp",
                  "zhangsan",
                  "info:添加用户成功",
                  "deptname=\\研发部|"};
    const std::string before = FormatAuditTime(std::chrono::system_clock::now());
    std::string problem;
    ASSERT_TRUE(trail.Append(r, problem)) << problem;
    EXPECT_GE(r.time, before);
    EXPECT_EQ(r.time.size(), 24u);
    auto found = trail.Query({});
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0], r);
}

TEST_F(AuditTrailTest, FiltersNewestFirst) {
    const int64_t a = Add("2024-01-01T00:00:00.000Z", "alice", "\\销售部\\华东区");
    const int64_t b = Add("2024-01-02T10:00:00.000Z", "bob", "\\销售部\\华东区2");
    const int64_t c = Add("2024-01-02T10:00:00.000Z", "alice", "100%_done");
    const int64_t d = Add("2024-01-03T23:59:59.999Z", "Alice", "\\研发部");
    struct Case {
        const char* what;
        const char *from, *to, *account, *text;
        int64_t limit;
        std::vector<int64_t> ids;
    };
    const char* day2 = "2024-01-02T10:00:00.000Z";
    const Case cases[] = {
        {"all", "", "", "", "", 100, {d, c, b, a}},
        {"from, inclusive", day2, "", "", "", 100, {d, c, b}},
        {"to, inclusive", "", day2, "", "", 100, {c, b, a}},
        {"range", "2024-01-02T00:00:00.000Z", "2024-01-02T23:59:59.999Z", "", "", 100, {c, b}},
        {"account, any ASCII case", "", "", "ALIce", "", 100, {d, c, a}},
        {"account, whole", "", "", "alic", "", 100, {}},
        {"account and range", "2024-01-02T00:00:00.000Z", "", "alice", "", 100, {d, c}},
        {"target text", "", "", "", "华东区", 100, {b, a}},
        {"target text, any case", "", "", "", "DONE", 100, {c}},
        {"percent is literal", "", "", "", "%_", 100, {c}},
        {"underscore is literal", "", "", "", "_", 100, {c}},
        {"nothing matches", "", "", "", "市场部", 100, {}},
        {"limit", "", "", "", "", 2, {d, c}},
    };
    for (const Case& tc : cases) {
        AuditFilter filter;
        filter.from = tc.from;
        filter.to = tc.to;
        filter.account = tc.account;
        filter.targetText = tc.text;
        filter.limit = tc.limit;
        EXPECT_EQ(Ids(filter), tc.ids) << tc.what;
    }
}

// The store's filter and the console's reading of an outcome are one rule.
TEST_F(AuditTrailTest, OutcomeAndRequestFiltersAgreeWithTheOutcomeRuleAndCount) {
    const std::pair<const char*, const char*> entries[] = {
        {"DeptAdd.asp", "info:添加部门成功"},  {"LoginCheck.asp", "success|1"},
        {"UserDelete.asp", "error:没有权限执行此操作"}, {"LoginCheck.asp", "error:用户或密码错误"},
        {"UpdateRoleRight.asp", "true"},        {"deptadd.asp", "error:部门已经存在"},
        {"DeptAdd.asp", ""}};
    std::vector<AuditRecord> added;
    for (const auto& [request, outcome] : entries) {
        AuditRecord r;
        r.time = "2024-05-01T00:00:00.000Z";
        r.request = request;
        r.outcome = outcome;
        std::string problem;
        ASSERT_TRUE(trail.Append(r, problem)) << problem;
        added.insert(added.begin(), r);
    }
    for (const char* kind : {"", audit_outcome::kSuccess, audit_outcome::kRefused,
                             audit_outcome::kFailed}) {
        for (const char* request : {"", "DEPTADD.ASP", "LoginCheck.asp"}) {
            AuditFilter filter;
            filter.outcome = kind;
            filter.request = request;
            std::vector<int64_t> expected;
            for (const AuditRecord& r : added) {
                if ((*kind == '\0' || AuditOutcomeKind(r.outcome) == std::string(kind)) &&
                    (*request == '\0' || EqualsNoCase(r.request, request))) {
                    expected.push_back(r.id);
                }
            }
            EXPECT_EQ(Ids(filter), expected) << kind << " " << request;
            filter.limit = 1;  // a count ignores the page
            EXPECT_EQ(trail.Count(filter), static_cast<int64_t>(expected.size()))
                << kind << " " << request;
        }
    }
}

TEST_F(AuditTrailTest, PagesCoverEveryEntryOnceEvenWhenTimesAreEqual) {
    std::vector<int64_t> all;
    for (int i = 0; i < 7; ++i)
        all.insert(all.begin(), Add("2024-03-0" + std::to_string(i / 3 + 1) + "T08:00:00.000Z",
                                    i % 2 ? "x" : "y"));
    std::vector<int64_t> paged;
    AuditFilter filter;
    filter.limit = 3;
    for (;;) {
        auto page = trail.Query(filter);
        for (const auto& r : page) paged.push_back(r.id);
        if (page.size() < 3) break;
        filter.beforeTime = page.back().time;
        filter.beforeId = page.back().id;
    }
    EXPECT_EQ(paged, all);

    std::vector<int64_t> forward;
    trail.ForEachSince(
        "2024-03-02T00:00:00.000Z", [&](const AuditRecord& r) { forward.push_back(r.id); }, 2);
    EXPECT_EQ(forward, std::vector<int64_t>(all.rbegin() + 3, all.rend()));
}

TEST_F(AuditTrailTest, PruneRemovesOnlyOlderEntries) {
    Add("2023-12-31T23:59:59.999Z", "old");
    const int64_t kept = Add("2024-01-01T00:00:00.000Z", "new");
    EXPECT_EQ(trail.PruneBefore("2024-01-01T00:00:00.000Z"), 1);
    EXPECT_EQ(Ids({}), std::vector<int64_t>{kept});
    EXPECT_EQ(trail.PruneBefore("2024-01-01T00:00:00.000Z"), 0);
}

TEST_F(AuditTrailTest, AppendsFromManyThreadsAllLandWithDistinctIds) {
    constexpr int kThreads = 16, kEach = 20;
    std::vector<std::thread> threads;
    std::mutex mutex;
    std::set<int64_t> ids;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) {
                AuditRecord r;
                r.account = "t" + std::to_string(t);
                std::string problem;
                ASSERT_TRUE(trail.Append(r, problem)) << problem;
                std::lock_guard lock(mutex);
                ids.insert(r.id);
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(ids.size(), static_cast<size_t>(kThreads * kEach));
    EXPECT_EQ(*ids.rbegin(), kThreads * kEach);
    AuditFilter all;
    all.limit = 1000;
    EXPECT_EQ(trail.Query(all).size(), static_cast<size_t>(kThreads * kEach));
}

TEST(AuditTrailClosedTest, FailsWithAReasonBeforeItIsOpen) {
    AuditTrail trail;
    AuditRecord r;
    std::string problem;
    EXPECT_FALSE(trail.Append(r, problem));
    EXPECT_FALSE(problem.empty());
    EXPECT_THROW(trail.Query({}), OdbcError);
}

TEST(AuditTimeTest, BoundsCoverThePeriodNamed) {
    struct Case {
        const char* text;
        const char* lower;  // nullptr: refused
        const char* upper;
    };
    const Case cases[] = {
        {"2024-05-01", "2024-05-01T00:00:00.000Z", "2024-05-01T23:59:59.999Z"},
        {"2024-05-01 08", "2024-05-01T08:00:00.000Z", "2024-05-01T08:59:59.999Z"},
        {"2024-05-01T08:30", "2024-05-01T08:30:00.000Z", "2024-05-01T08:30:59.999Z"},
        {"2024-05-01 08:30:15Z", "2024-05-01T08:30:15.000Z", "2024-05-01T08:30:15.999Z"},
        {"2024-05-01T08:30:15.250Z", "2024-05-01T08:30:15.250Z", "2024-05-01T08:30:15.250Z"},
        {"2024-02-29", "2024-02-29T00:00:00.000Z", "2024-02-29T23:59:59.999Z"},
        {"2023-02-29", nullptr, nullptr},
        {"2024-13-01", nullptr, nullptr},
        {"2024-05-01 24:00", nullptr, nullptr},
        {"2024-05-01 08:60", nullptr, nullptr},
        {"2024-05-01 ", nullptr, nullptr},
        {"2024-5-1", nullptr, nullptr},
        {"2024-05-01x", nullptr, nullptr},
        {"", nullptr, nullptr},
    };
    for (const Case& tc : cases) {
        auto lower = ParseAuditTimeBound(tc.text, false);
        auto upper = ParseAuditTimeBound(tc.text, true);
        if (!tc.lower) {
            EXPECT_FALSE(lower || upper) << tc.text;
            continue;
        }
        EXPECT_EQ(lower.value_or("?"), tc.lower) << tc.text;
        EXPECT_EQ(upper.value_or("?"), tc.upper) << tc.text;
    }
    using namespace std::chrono;
    EXPECT_EQ(FormatAuditTime(sys_days{2024y / 2 / 29} + 13h + 5min + 9s + 7ms),
              "2024-02-29T13:05:09.007Z");
}

}  // namespace
}  // namespace warden::test
