#include <gtest/gtest.h>

#include "server/dispatch/LoginThrottle.h"

namespace warden {
namespace {

using namespace std::chrono_literals;
using Lock = LoginThrottle::Lock;

class LoginThrottleTest : public ::testing::Test {
  protected:
    // `n` wrong passwords for `account` from `address`, one second apart;
    // the clock stays at the last one.
    LoginThrottle::Failure Fail(int n, const std::string& account = "wang",
                                const std::string& address = "10.0.0.1") {
        LoginThrottle::Failure last;
        for (int i = 0; i < n; ++i) {
            now += 1s;
            EXPECT_EQ(throttle.Begin(account, address, now).lock, Lock::kNone);
            last = throttle.Fail(account, address, now);
        }
        return last;
    }

    void Succeed(const std::string& account, const std::string& address) {
        ASSERT_EQ(throttle.Begin(account, address, now).lock, Lock::kNone);
        throttle.Succeed(account, address, now);
    }

    // What refuses an attempt now; an admitted one is settled as abandoned.
    Lock Refused(const std::string& account = "wang", const std::string& address = "10.0.0.1") {
        const Lock lock = throttle.Begin(account, address, now).lock;
        if (lock == Lock::kNone) throttle.Abandon(account, address);
        return lock;
    }

    ThrottleOptions options{.failuresBeforeLock = 5,
                            .firstLock = 1s,
                            .longestLock = 16s,
                            .accountFailuresBeforeSlowing = 12,
                            .slowEvery = 1000ms,
                            .trustedFor = 24h * 30,
                            .forgetAfter = 24h,
                            .maxTracked = 64};
    LoginThrottle throttle{options};
    LoginThrottle::Clock::time_point now = LoginThrottle::Clock::now();
};

TEST_F(LoginThrottleTest, TheFifthFailureLocksThePairAndEachFurtherOneDoublesTheLockUpToTheCap) {
    EXPECT_EQ(Fail(4).lock, Lock::kNone);
    EXPECT_EQ(Refused(), Lock::kNone);
    // Failures 5 to 10 lock for 1, 2, 4, 8, 16 and (capped) 16 seconds.
    for (auto expected : {1s, 2s, 4s, 8s, 16s, 16s}) {
        ASSERT_EQ(throttle.Begin("wang", "10.0.0.1", now).lock, Lock::kNone);
        auto failure = throttle.Fail("wang", "10.0.0.1", now);
        EXPECT_EQ(failure.lock, Lock::kPair);
        EXPECT_EQ(failure.lockFor, expected);
        // Locked: refused, the first refusal of each lock marked as such.
        auto first = throttle.Begin("wang", "10.0.0.1", now);
        EXPECT_EQ(first.lock, Lock::kPair);
        EXPECT_TRUE(first.firstRefusal);
        EXPECT_EQ(first.remaining, expected);
        EXPECT_EQ(Refused("wang", "10.0.0.2"), Lock::kNone) << "another address is not locked";
        now += expected - 1ms;
        EXPECT_FALSE(throttle.Begin("wang", "10.0.0.1", now).firstRefusal);
        now += 1ms;
        EXPECT_EQ(Refused(), Lock::kNone) << "the lock has run out";
    }
}

TEST_F(LoginThrottleTest, AttemptsAreCountedWhenAdmittedSoParallelGuessesStopAtTheLimit) {
    Fail(2);
    int admitted = 0;
    for (int i = 0; i < 40; ++i) {
        if (throttle.Begin("wang", "10.0.0.1", now).lock == Lock::kNone) ++admitted;
    }
    EXPECT_EQ(admitted, 3);
    // Abandoned checks give their place back; failed ones lock.
    for (int i = 0; i < admitted; ++i) throttle.Abandon("wang", "10.0.0.1");
    for (int i = 0; i < admitted; ++i) throttle.Begin("wang", "10.0.0.1", now);
    for (int i = 0; i < admitted; ++i) throttle.Fail("wang", "10.0.0.1", now);
    EXPECT_EQ(Refused(), Lock::kPair);
}

TEST_F(LoginThrottleTest, ASuccessClearsThePairAndTheAddress) {
    Fail(4);
    Succeed("wang", "10.0.0.1");
    EXPECT_EQ(Fail(4).lock, Lock::kNone);
    EXPECT_EQ(Fail(1).lock, Lock::kPair);
    now += 1s;
    Succeed("WANG", "10.0.0.1");
    EXPECT_EQ(Refused(), Lock::kNone);
}

TEST_F(LoginThrottleTest, AnAddressTryingManyAccountsIsLockedForEveryAccount) {
    for (int i = 0; i < 19; ++i) Fail(1, "user" + std::to_string(i));
    EXPECT_EQ(Fail(1, "e").lock, Lock::kAddress);
    EXPECT_EQ(Refused("anyone"), Lock::kAddress);
    EXPECT_EQ(Refused("anyone", "10.0.0.2"), Lock::kNone);
}

TEST_F(LoginThrottleTest, FailuresFromElsewhereOnlySlowTheAccountAndNeverAnAddressItLoggedInFrom) {
    Succeed("admin", "10.0.9.9");
    // Twelve addresses, one guess each: no lock anywhere, then the slow-down.
    for (int i = 0; i < 12; ++i) Fail(1, "admin", "10.0.1." + std::to_string(i));
    auto slowed = throttle.Begin("admin", "192.0.2.1", now);
    EXPECT_EQ(slowed.lock, Lock::kSlowed);
    EXPECT_TRUE(slowed.firstRefusal);
    EXPECT_EQ(Refused("admin", "10.0.9.9"), Lock::kNone) << "his own address is trusted";
    EXPECT_EQ(Refused("other", "192.0.2.1"), Lock::kNone);
    // One check a second from the others, never a lock.
    now += 1s;
    EXPECT_EQ(Refused("admin", "192.0.2.1"), Lock::kNone);
    EXPECT_EQ(Refused("admin", "192.0.2.2"), Lock::kSlowed);
    now += 1s;
    EXPECT_EQ(Refused("admin", "192.0.2.2"), Lock::kNone);
    // Trust lasts its time.
    now += 24h * 30 + 1s;
    for (int i = 0; i < 12; ++i) Fail(1, "admin", "10.0.2." + std::to_string(i));
    EXPECT_EQ(Refused("admin", "10.0.9.9"), Lock::kSlowed);
}

TEST_F(LoginThrottleTest, UnlockClearsEveryLockOfTheAccountAndSaysWhat) {
    EXPECT_TRUE(throttle.Unlock("admin", now).empty());
    Fail(2, "admin", "10.0.0.2");
    Fail(6, "admin", "10.0.0.1");  // the sixth locks for 2 s
    const auto cleared = throttle.Unlock("ADMIN", now);
    ASSERT_EQ(cleared.size(), 3u);
    EXPECT_NE(cleared[0].find("10.0.0.1: 6 failed logins, locked for 2 s"), std::string::npos)
        << cleared[0];
    EXPECT_NE(cleared[2].find("any address: 8"), std::string::npos) << cleared[2];
    EXPECT_EQ(Refused("admin", "10.0.0.1"), Lock::kNone);
    EXPECT_TRUE(throttle.Unlock("admin", now).empty());
    Fail(5, "wang", "10.0.0.3");
    EXPECT_TRUE(throttle.Unlock("admin", now).empty());
    EXPECT_EQ(Refused("wang", "10.0.0.3"), Lock::kPair) << "other accounts keep theirs";
}

TEST_F(LoginThrottleTest, SpellingsOfOneAccountOrOneHostShareACount) {
    struct Case {
        const char *a, *b;
        bool same;
    };
    const Case accounts[] = {
        {"Admin", "aDMIN", true}, {"张三", "张三", true}, {"wang", "wang2", false}};
    for (const Case& c : accounts) {
        EXPECT_EQ(ThrottleAccountKey(c.a) == ThrottleAccountKey(c.b), c.same) << c.a << " " << c.b;
    }
    const Case addresses[] = {
        {"2001:db8:1:2::1", "2001:db8:1:2:ffff::9", true},  // one /64
        {"2001:db8:1:2::1", "2001:db8:1:3::1", false},
        {"::ffff:10.0.0.1", "10.0.0.1", true},
        {"10.0.0.1", "10.0.0.2", false},
    };
    for (const Case& c : addresses) {
        EXPECT_EQ(ThrottleAddressKey(c.a) == ThrottleAddressKey(c.b), c.same) << c.a << " " << c.b;
    }
}

TEST_F(LoginThrottleTest, MemoryStaysBoundedAndIdleCountsAreForgotten) {
    // An attacker cycling names and addresses.
    for (int i = 0; i < 10 * 64; ++i) {
        Fail(1, "name" + std::to_string(i),
             "10.1." + std::to_string(i / 256) + "." + std::to_string(i % 256));
    }
    EXPECT_LE(throttle.TrackedPairs(), 64u);
    EXPECT_LE(throttle.TrackedAccounts(), 64u);
    EXPECT_LE(throttle.TrackedAddresses(), 64u);

    Fail(4, "quiet", "10.9.9.9");
    now += 24h + 1s;
    EXPECT_EQ(Fail(1, "quiet", "10.9.9.9").lock, Lock::kNone) << "the old failures are forgotten";
}

}  // namespace
}  // namespace warden
