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
            last = throttle.RecordFailure(account, address, now);
        }
        return last;
    }

    Lock Refused(const std::string& account = "wang", const std::string& address = "10.0.0.1") {
        return throttle.Check(account, address, now).lock;
    }

    ThrottleOptions options{5, 1s, 16s, 24h, 64};
    LoginThrottle throttle{options};
    LoginThrottle::Clock::time_point now = LoginThrottle::Clock::now();
};

TEST_F(LoginThrottleTest, TheFifthFailureLocksAndEachFurtherOneDoublesTheLockUpToTheCap) {
    EXPECT_EQ(Fail(4).lock, Lock::kNone);
    EXPECT_EQ(Refused(), Lock::kNone);
    // Failures 5 to 10 lock for 1, 2, 4, 8, 16 and (capped) 16 seconds.
    for (auto expected : {1s, 2s, 4s, 8s, 16s, 16s}) {
        auto failure = throttle.RecordFailure("wang", "10.0.0.1", now);
        EXPECT_EQ(failure.lock, Lock::kAccount);
        EXPECT_EQ(failure.lockFor, expected);
        // Locked: refused, the first refusal of each lock marked as such.
        auto first = throttle.Check("wang", "10.0.0.1", now);
        EXPECT_EQ(first.lock, Lock::kAccount);
        EXPECT_TRUE(first.firstRefusal);
        EXPECT_EQ(first.remaining, expected);
        now += expected - 1ms;
        EXPECT_FALSE(throttle.Check("wang", "10.0.0.1", now).firstRefusal);
        now += 1ms;
        EXPECT_EQ(Refused(), Lock::kNone) << "the lock has run out";
    }
}

TEST_F(LoginThrottleTest, ASuccessClearsBothCounts) {
    Fail(4);
    throttle.RecordSuccess("wang", "10.0.0.1");
    EXPECT_EQ(Fail(4).lock, Lock::kNone);
    EXPECT_EQ(Fail(1).lock, Lock::kAccount);
    throttle.RecordSuccess("WANG", "10.0.0.1");
    EXPECT_EQ(Refused(), Lock::kNone);
}

TEST_F(LoginThrottleTest, AnAddressTryingManyAccountsIsLockedForEveryAccount) {
    for (const char* account : {"a", "b", "c", "d"}) Fail(1, account);
    EXPECT_EQ(Fail(1, "e").lock, Lock::kAddress);
    EXPECT_EQ(Refused("anyone"), Lock::kAddress);
    EXPECT_EQ(Refused("anyone", "10.0.0.2"), Lock::kNone);
}

TEST_F(LoginThrottleTest, OneAccountFromManyAddressesIsLockedFromEveryAddress) {
    for (int i = 0; i < 5; ++i) Fail(1, "admin", "10.0.1." + std::to_string(i));
    EXPECT_EQ(Refused("admin", "192.168.9.9"), Lock::kAccount);
    EXPECT_EQ(Refused("other", "192.168.9.9"), Lock::kNone);
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
        throttle.RecordFailure("name" + std::to_string(i),
                               "10.1." + std::to_string(i / 256) + "." + std::to_string(i % 256),
                               now);
    }
    EXPECT_LE(throttle.TrackedAccounts(), 64u);
    EXPECT_LE(throttle.TrackedAddresses(), 64u);

    Fail(4, "quiet", "10.9.9.9");
    now += 24h + 1s;
    EXPECT_EQ(Fail(1, "quiet", "10.9.9.9").lock, Lock::kNone) << "the old failures are forgotten";
}

}  // namespace
}  // namespace warden
