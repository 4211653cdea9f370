#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <thread>

#include "server/dispatch/Dispatcher.h"
#include "server/dispatch/HandlerRegistry.h"
#include "server/im/DeptOrdering.h"
#include "tests/vexdir/OrderingFixture.h"

namespace warden {
namespace {

using Names = std::vector<std::string>;

constexpr const char kDone[] = "info:修改部门顺序成功";
constexpr const char kFailed[] = "error:修改部门顺序失败";
constexpr const char kOff[] = "error:服务器端未开通修改部门顺序功能";

class SetDeptOrderTest : public test::OrderingFixture {
  protected:
    // Sends one request as a logged-in console would; the reply, if any.
    std::optional<std::string> Ask(DeptOrdering* backend, const std::string& request) {
        Services services;
        services.ordering = backend;
        Dispatcher dispatcher(services, true);
        RegisterAllHandlers(dispatcher);
        Session session;
        session.login = LoginLevel::kSuper;
        std::optional<std::string> reply;
        int calls = 0;
        dispatcher.ProcessRequest(request, session, [&](const std::string& text) {
            ++calls;
            if (!text.empty()) reply = text;
        });
        EXPECT_EQ(calls, 1);
        return reply;
    }

    std::optional<std::string> Move(const std::string& dept, const std::string& next,
                                    const std::string& isLast) {
        return Ask(&*ordering, "SetDeptOrder.asp?deptName=" + dept + "`nextDeptName=" + next +
                                   "`isLast=" + isLast);
    }

    void SetUp() override {
        OrderingFixture::SetUp();  // the database must exist before it is opened
        ordering.emplace(dir.Path(), "127.0.0.1", WARDEN_SDKAPIC_FILE);
    }

    std::optional<DeptOrdering> ordering;
};

TEST_F(SetDeptOrderTest, MovesBeforeTheNamedSiblingOrToTheEnd) {
    ASSERT_TRUE(ordering->Available()) << ordering->UnavailableReason();
    EXPECT_EQ(Move("\\甲\\D", "\\甲\\B", "0"), kDone);
    EXPECT_EQ(Order("\\甲"), (Names{"A", "D", "B", "C", "E"}));
    EXPECT_EQ(Move("\\甲\\A", "\\甲\\E", "1"), kDone);
    EXPECT_EQ(Order("\\甲"), (Names{"D", "B", "C", "E", "A"}));
    EXPECT_EQ(Move("\\丙", "\\甲", "0"), kDone);  // top level, parent 0
    EXPECT_EQ(Order(""), (Names{"丙", "甲", "乙", "丁"}));
}

TEST_F(SetDeptOrderTest, OnlyExactlyOneMeansLast) {
    EXPECT_EQ(Move("\\甲\\A", "\\甲\\E", "01"), kDone);  // before E, not after it
    EXPECT_EQ(Order("\\甲"), (Names{"B", "C", "D", "A", "E"}));
    EXPECT_EQ(Move("\\甲\\B", "\\甲\\E", ""), kDone);
    EXPECT_EQ(Order("\\甲"), (Names{"C", "D", "A", "B", "E"}));
}

TEST_F(SetDeptOrderTest, ExtraBackslashesNameTheSameDepartments) {
    EXPECT_EQ(Move("甲\\E\\", "\\\\甲\\A\\", "0"), kDone);
    EXPECT_EQ(Order("\\甲"), (Names{"E", "A", "B", "C", "D"}));
}

TEST_F(SetDeptOrderTest, UnknownEmptyOrUnrelatedDepartmentsFailAndChangeNothing) {
    EXPECT_EQ(Move("\\甲\\Z", "\\甲\\A", "0"), kFailed);
    EXPECT_EQ(Move("\\甲\\B", "\\甲\\Z", "1"), kFailed);
    EXPECT_EQ(Move("", "\\甲\\A", "0"), kFailed);
    EXPECT_EQ(Move("\\甲\\B", "\\", "0"), kFailed);
    EXPECT_EQ(Move("\\甲\\B", "\\乙", "0"), kFailed);  // not a sibling
    EXPECT_EQ(Order("\\甲"), (Names{"A", "B", "C", "D", "E"}));
    EXPECT_EQ(Order(""), (Names{"甲", "乙", "丙", "丁"}));
}

// "D before B" is held between its lookup and its write while "C before A"
// is sent: the second must wait, or D lands before A instead of before B.
TEST_F(SetDeptOrderTest, ReordersOfTheSameSiblingsDoNotInterleave) {
    std::thread other;
    std::atomic<bool> first{true}, otherDone{false};
    ordering->SetBeforeWriteForTest([&] {
        if (!first.exchange(false)) return;
        other = std::thread([&] {
            EXPECT_EQ(Move("\\甲\\C", "\\甲\\A", "0"), kDone);
            otherDone = true;
        });
        for (int i = 0; i < 30 && !otherDone; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    EXPECT_EQ(Move("\\甲\\D", "\\甲\\B", "0"), kDone);
    other.join();
    EXPECT_EQ(Order("\\甲"), (Names{"C", "A", "D", "B", "E"}));
}

// A database error during a lookup reaches the operator; the console only
// hears that the ordering failed.
TEST_F(SetDeptOrderTest, ALookupErrorIsReportedAndTheOrderFails) {
    std::vector<std::string> reported;
    ordering->SetLookupErrorReporter([&](const std::string& e) { reported.push_back(e); });
    Sql("ALTER TABLE vex_dept RENAME TO vex_dept_gone");
    EXPECT_EQ(Move("\\甲\\D", "\\甲\\B", "0"), kFailed);
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_NE(reported[0].find("vex_dept"), std::string::npos) << reported[0];
}

TEST_F(SetDeptOrderTest, RefusedWhileOrderingIsUnavailable) {
    EXPECT_EQ(Ask(nullptr, "SetDeptOrder.asp?deptName=\\甲\\B`nextDeptName=\\甲\\A`isLast=0"),
              kOff);
    test::TempDir elsewhere;
    DeptOrdering unavailable(elsewhere.Path(), "127.0.0.1", WARDEN_SDKAPIC_FILE);
    EXPECT_EQ(Ask(&unavailable, "SetDeptOrder.asp?deptName=\\甲\\B`nextDeptName=\\甲\\A`isLast=0"),
              kOff);
    EXPECT_EQ(Ask(&unavailable, "SetDeptOrder.asp"), kOff);
    EXPECT_EQ(Order("\\甲"), (Names{"A", "B", "C", "D", "E"}));
}

TEST_F(SetDeptOrderTest, AMissingLibraryGivesTheFailureReply) {
    DeptOrdering withoutLibrary(dir.Path(), "127.0.0.1", dir.Path() / "libSDKAPIC.so");
    EXPECT_EQ(
        Ask(&withoutLibrary, "SetDeptOrder.asp?deptName=\\甲\\B`nextDeptName=\\甲\\A`isLast=0"),
        kFailed);
    EXPECT_EQ(Order("\\甲"), (Names{"A", "B", "C", "D", "E"}));
}

}  // namespace
}  // namespace warden
