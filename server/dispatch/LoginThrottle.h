// Login throttling: failed logins are counted per account and per peer
// address; from the n-th consecutive failure on, attempts for that account or
// from that address are refused for a while, a time that doubles with every
// further failure up to a cap. A success clears both counts. Nothing here
// waits: a lock is a time stamp that later attempts are compared with.
//
// Accounts are counted without regard to ASCII letter case (so "Admin" and
// "ADMIN" share a count), IPv6 addresses by their /64 network (one host
// commonly holds all of it). Memory is bounded: each kind keeps at most
// `maxTracked` counts, dropping the least recently failed first, and a count
// left alone for `forgetAfter` starts over.
//
// Thread-safe: every call may come from any thread.
#pragma once

#include <chrono>
#include <list>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

namespace warden {

struct ThrottleOptions {
    int failuresBeforeLock = 5;  // the failure that brings the first lock
    std::chrono::seconds firstLock{1};
    std::chrono::seconds longestLock{900};
    std::chrono::seconds forgetAfter{std::chrono::hours(24)};
    size_t maxTracked = 65536;  // per kind (accounts, addresses)
};

class LoginThrottle {
  public:
    using Clock = std::chrono::steady_clock;

    enum class Lock { kNone, kAccount, kAddress };

    struct Verdict {
        Lock lock = Lock::kNone;  // kNone: the attempt may be checked
        Clock::duration remaining{};
        // The first attempt this lock refuses (the trail records that one).
        bool firstRefusal = false;
    };

    struct Failure {
        int failures = 0;         // consecutive failures of the account now
        Lock lock = Lock::kNone;  // a lock that began with this failure
        Clock::duration lockFor{};
    };

    explicit LoginThrottle(ThrottleOptions options = {});

    // Whether an attempt for `account` from `address` may be checked now.
    Verdict Check(std::string_view account, std::string_view address, Clock::time_point now);

    // A password was checked and was wrong.
    Failure RecordFailure(std::string_view account, std::string_view address,
                          Clock::time_point now);

    // A password was checked and was right.
    void RecordSuccess(std::string_view account, std::string_view address);

    // Counts held, per kind (for tests of the bound).
    size_t TrackedAccounts() const;
    size_t TrackedAddresses() const;

  private:
    struct Count {
        int failures = 0;
        Clock::time_point lastFailure{};
        Clock::time_point lockedUntil{};
        bool refused = false;  // the current lock has refused an attempt
        std::list<std::string>::iterator age;
    };

    // Counts of one kind, least recently failed at the front of `order`.
    struct Table {
        std::unordered_map<std::string, Count> counts;
        std::list<std::string> order;
    };

    Count* Find(Table& table, const std::string& key, Clock::time_point now);
    Count& Touch(Table& table, const std::string& key, Clock::time_point now);
    void Forget(Table& table, const std::string& key);
    Clock::duration LockFor(int failures) const;

    const ThrottleOptions m_options;
    mutable std::mutex m_mutex;
    Table m_accounts;
    Table m_addresses;
};

// The text `account` is counted under.
std::string ThrottleAccountKey(std::string_view account);
// The text `address` is counted under: IPv4 as is (also when mapped into
// IPv6), IPv6 as its /64 network.
std::string ThrottleAddressKey(std::string_view address);

}  // namespace warden
