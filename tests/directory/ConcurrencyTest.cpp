#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <set>
#include <thread>

#include "tests/directory/DirectoryBackends.h"
#include "tests/directory/XmlRead.h"

namespace warden {
namespace {

class ConcurrencyTest : public test::DirectoryTest {};

// Sixteen workers add and delete users in the same departments while readers
// list them; afterwards the directory must hold exactly the survivors, each in
// exactly its departments, with unique uins.
TEST_P(ConcurrencyTest, SixteenWritersOnSharedDepartmentsEndConsistent) {
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

// Two roots on one directory, as after a second Start or of a second server,
// write without losing users or handing out a number twice.
TEST_P(ConcurrencyTest, TwoRootsShareOneDirectory) {
    auto first = root;
    auto second = OpenAgain();
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

INSTANTIATE_ON_EVERY_BACKEND(ConcurrencyTest);

}  // namespace
}  // namespace warden
