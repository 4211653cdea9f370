#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <set>
#include <thread>

#include "tests/support/TempDir.h"
#include "tests/vexdir/XmlRead.h"
#include "vexdir/VexDirectory.h"

namespace warden {
namespace {

// Sixteen workers add and delete users in the same departments while readers
// list them; afterwards the directory must hold exactly the survivors, each in
// exactly its departments, with unique uins.
TEST(ConcurrencyTest, SixteenWritersOnSharedDepartmentsEndConsistent) {
    test::TempDir dir;
    auto root = OpenVexDirectory(dir.Path());
    auto& depts = root->GetDeptManager();
    auto& users = root->GetUserManager();
    const std::vector<std::string> shared = {"\\共享一", "\\共享二", "\\共享三"};
    for (const auto& path : shared) depts.AddDept(path.substr(1), "");

    constexpr int kWriters = 16;
    constexpr int kUsersEach = 24;
    std::atomic<int> failures{0};
    std::atomic<bool> writing{true};
    std::vector<std::thread> threads;
    for (int t = 0; t < kWriters; ++t) {
        threads.emplace_back([&, t] {
            try {
                for (int i = 0; i < kUsersEach; ++i) {
                    const std::string account = "w" + std::to_string(t) + "_" + std::to_string(i);
                    users.AddUser(account, 0);
                    depts.AddUserToDept(account, "", shared[i % 3], 0);
                    depts.AddUserToDept(account, "", shared[(i + 1) % 3], 0);
                    // Every third user leaves again; every fourth is moved on.
                    if (i % 3 == 2)
                        users.DeleteUser(account);
                    else if (i % 4 == 1)
                        depts.AddUserToDept(account, shared[i % 3], shared[(i + 2) % 3], 0);
                }
            } catch (const std::exception& e) {
                ADD_FAILURE() << e.what();
                ++failures;
            }
        });
    }
    std::thread reader([&] {
        while (writing) {
            for (const auto& path : shared) {
                auto names = test::UserNames(depts.GetDeptUsers(path));
                std::set<std::string> unique(names.begin(), names.end());
                if (unique.size() != names.size()) ++failures;  // a user listed twice
            }
        }
    });
    for (auto& thread : threads) thread.join();
    writing = false;
    reader.join();
    ASSERT_EQ(failures.load(), 0);

    std::map<std::string, std::set<std::string>> expected;  // department -> users
    std::set<int64_t> uins;
    int survivors = 0;
    for (int t = 0; t < kWriters; ++t) {
        for (int i = 0; i < kUsersEach; ++i) {
            const std::string account = "w" + std::to_string(t) + "_" + std::to_string(i);
            if (i % 3 == 2) {
                EXPECT_FALSE(users.IsUserExist(account));
                continue;
            }
            ++survivors;
            uins.insert(users.GetUserUin(account));
            expected[shared[(i + 1) % 3]].insert(account);
            expected[shared[i % 4 == 1 ? (i + 2) % 3 : i % 3]].insert(account);
        }
    }
    EXPECT_EQ(static_cast<int>(uins.size()), survivors);
    for (const auto& path : shared) {
        auto names = test::UserNames(depts.GetDeptUsers(path));
        EXPECT_EQ(std::set<std::string>(names.begin(), names.end()), expected[path]) << path;
        EXPECT_EQ(names.size(), expected[path].size()) << path;
    }
}

// Two roots on one file, as after a second Start, write without losing rows.
TEST(ConcurrencyTest, TwoRootsOnTheSameFileShareOneDirectory) {
    test::TempDir dir;
    auto first = OpenVexDirectory(dir.Path());
    auto second = OpenVexDirectory(dir.Path());
    first->GetDeptManager().AddDept("D", "");
    std::thread a([&] {
        for (int i = 0; i < 40; ++i) first->GetUserManager().AddUser("a" + std::to_string(i), 0);
    });
    std::thread b([&] {
        for (int i = 0; i < 40; ++i) second->GetUserManager().AddUser("b" + std::to_string(i), 0);
    });
    a.join();
    b.join();
    std::set<int64_t> uins;
    for (int i = 0; i < 40; ++i) {
        uins.insert(second->GetUserManager().GetUserUin("a" + std::to_string(i)));
        uins.insert(first->GetUserManager().GetUserUin("b" + std::to_string(i)));
    }
    EXPECT_EQ(uins.size(), 80u);
}

// Readers keep asking for one user's record (answered from the readers'
// caches while nothing changes) while a writer changes it: through the same
// root's writer, and through a second root, which is another connection to
// the file as another program's would be. No read that starts after a change
// was acknowledged may return the record from before it.
TEST(ConcurrencyTest, CachedRecordsNeverOutliveAnAcknowledgedChange) {
    for (const bool sameRoot : {true, false}) {
        SCOPED_TRACE(sameRoot ? "writer of the same root" : "writer of another connection");
        test::TempDir dir;
        auto root = OpenVexDirectory(dir.Path());
        auto other = OpenVexDirectory(dir.Path());
        ImUserManager& writer = (sameRoot ? root : other)->GetUserManager();
        ImUserManager& users = root->GetUserManager();
        users.AddUser("cached", 0);
        auto valueOf = [](const UserRecord& record) { return std::stoi(record.detail.texts[0]); };
        UserDetail detail;
        detail.texts[0] = "0";
        writer.SetUserDetail("cached", detail);

        constexpr int kChanges = 60;
        std::atomic<int> acknowledged{0};
        std::atomic<int> stale{0};
        std::atomic<long> reads{0};
        std::atomic<bool> done{false};
        std::vector<std::thread> readers;
        for (int r = 0; r < 3; ++r) {
            readers.emplace_back([&] {
                while (!done) {
                    const int floor = acknowledged;
                    if (valueOf(users.GetUserRecord("cached")) < floor) ++stale;
                    ++reads;
                }
            });
        }
        for (int i = 1; i <= kChanges; ++i) {
            detail.texts[0] = std::to_string(i);
            writer.SetUserDetail("cached", detail);
            const long before = reads;
            acknowledged = i;
            // Waits until a read has begun after the change (each of the
            // three readers may finish one begun before), however slow the
            // machine, so that every change is tested.
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
            while (reads < before + 4 && std::chrono::steady_clock::now() < until) {
                std::this_thread::yield();
            }
        }
        done = true;
        for (auto& reader : readers) reader.join();
        EXPECT_EQ(stale.load(), 0) << "of " << reads.load() << " reads";
        EXPECT_GE(reads.load(), 4 * kChanges);
        EXPECT_EQ(valueOf(users.GetUserRecord("cached")), kChanges);
    }
}

}  // namespace
}  // namespace warden
