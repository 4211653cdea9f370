#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <latch>
#include <thread>
#include <vector>

#include "protocol/SplitList.h"
#include "tests/store/StoreFixture.h"

namespace warden::test {
namespace {

using AdminStoreConcurrencyTest = StoreFixture;

TEST_F(AdminStoreConcurrencyTest, SavingOneNewNameFromManyThreadsMakesOneRow) {
    constexpr int kThreads = 16, kNames = 10;
    std::atomic<int> saved{0};
    std::vector<std::thread> threads;
    std::latch start(kThreads);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            start.arrive_and_wait();  // all at once, to meet in the look-up
            for (int n = 0; n < kNames; ++n) {
                if (store.SaveAdmin("new" + std::to_string(n), "d" + std::to_string(t) + ";",
                                    "r" + std::to_string(t) + "|"))
                    ++saved;
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(saved, kThreads * kNames);
    for (int n = 0; n < kNames; ++n) {
        const std::string name = "new" + std::to_string(n);
        EXPECT_EQ(RowCount(name), 1);
        // Row and roles come from the same save.
        const std::string depts = store.GetAdminDepts(name);
        ASSERT_GE(depts.size(), 2u);
        EXPECT_EQ(store.GetAdminRoles(name), "r" + depts.substr(1, depts.size() - 2) + "|");
    }
}

// Sixteen workers save, list and delete at once, each on accounts of its own
// and all on one shared account; afterwards the table and the roles file
// must agree with what each worker did last.
TEST_F(AdminStoreConcurrencyTest, SavingListingAndDeletingTogetherEndsConsistent) {
    constexpr int kThreads = 16, kRounds = 20;
    std::atomic<int> failures{0}, badLists{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            const std::string mine = "worker" + std::to_string(t);
            for (int round = 0; round < kRounds; ++round) {
                const std::string tag = std::to_string(t) + "." + std::to_string(round);
                if (!store.SaveAdmin(mine, "\\部门" + tag + ";", "角色" + tag + "|")) ++failures;
                if (!store.SaveAdmin("shared", "\\共享" + tag + ";", "共享" + tag + "|"))
                    ++failures;
                // Every listing is whole: names each followed by "|".
                const std::string list = store.ListAdmins();
                if (list.empty() || list.back() != '|') ++badLists;
                // Odd workers end with their account deleted.
                if (t % 2 == 1 && round == kRounds - 1 && !store.DeleteAdmin(mine)) ++failures;
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(badLists, 0);

    std::vector<std::string> expected{"shared"};
    for (int t = 0; t < kThreads; t += 2) expected.push_back("worker" + std::to_string(t));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(SplitList(store.ListAdmins(), "|"), expected);
    EXPECT_EQ(RowCount("shared"), 1);

    const std::string last = std::to_string(kRounds - 1);
    for (int t = 0; t < kThreads; ++t) {
        const std::string mine = "worker" + std::to_string(t);
        const std::string tag = std::to_string(t) + "." + last;
        EXPECT_EQ(store.GetAdminRoles(mine), "角色" + tag + "|");  // kept even when deleted
        EXPECT_EQ(store.GetAdminDepts(mine), t % 2 ? "" : "\\部门" + tag + ";");
    }
    // The shared row and its roles come from the same save.
    const std::string depts = store.GetAdminDepts("shared");
    const std::string roles = store.GetAdminRoles("shared");
    ASSERT_TRUE(depts.starts_with("\\共享")) << depts;
    EXPECT_EQ(roles, "共享" +
                         depts.substr(std::string("\\共享").size(),
                                      depts.size() - std::string("\\共享").size() - 1) +
                         "|");
}

}  // namespace
}  // namespace warden::test
