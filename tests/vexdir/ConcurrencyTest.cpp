#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "tests/support/TempDir.h"
#include "vexdir/VexDirectory.h"

namespace warden {
namespace {

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
