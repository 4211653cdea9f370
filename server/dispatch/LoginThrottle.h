// Login throttling. Failed logins are counted three ways:
// - per account and address pair: from the n-th consecutive failure on, that
//   account is locked for that address for a while, a time that doubles with
//   every further failure up to a cap. Only the pair is locked, so nobody can
//   lock another person out from elsewhere;
// - per address (any account): the same lock from four times the count on,
//   for an address that tries many accounts;
// - per account (any address): never a lock, only a slow-down. From a higher
//   count on, the account's password is checked at most once per `slowEvery`
//   for addresses it has not logged in from lately; an address it logged in
//   from within `trustedFor` is not slowed at all. So guesses spread over
//   many addresses get slow, and the owner still gets in.
//
// An attempt counts when it is accepted for checking (Begin), not when its
// hash is done: guesses sent at once cannot pass the limit while they wait
// for the hash. Each Begin that admits is settled once, by Succeed, Fail or
// Abandon. Nothing here waits: a lock is a time stamp that later attempts are
// compared with.
//
// Accounts are counted without regard to ASCII letter case (so "Admin" and
// "ADMIN" share a count), IPv6 addresses by their /64 network (one host
// commonly holds all of it). Memory is bounded: each kind keeps at most
// `maxTracked` counts, dropping the least recently touched first, and a count
// left alone for `forgetAfter` (and not trusted) starts over.
//
// Thread-safe: every call may come from any thread.
#pragma once

#include <chrono>
#include <list>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace warden {

struct ThrottleOptions {
    int failuresBeforeLock = 5;  // the failure that brings the first lock (pair, address)
    std::chrono::seconds firstLock{1};
    std::chrono::seconds longestLock{900};
    int accountFailuresBeforeSlowing = 20;  // per account, from any address
    std::chrono::milliseconds slowEvery{1000};
    std::chrono::hours trustedFor{24 * 30};
    std::chrono::seconds forgetAfter{std::chrono::hours(24)};
    size_t maxTracked = 65536;  // per kind (pairs, addresses, accounts)
};

class LoginThrottle {
  public:
    using Clock = std::chrono::steady_clock;

    enum class Lock {
        kNone,
        kPair,     // the account from this address
        kAddress,  // this address, for every account
        kSlowed,   // the account, from an address it has not logged in from
    };

    struct Verdict {
        Lock lock = Lock::kNone;  // kNone: admitted; settle it once
        Clock::duration remaining{};
        // The first attempt this lock refuses (the trail records that one).
        bool firstRefusal = false;
    };

    struct Failure {
        int failures = 0;         // consecutive failures of the pair now
        Lock lock = Lock::kNone;  // a lock that began with this failure
        Clock::duration lockFor{};
    };

    explicit LoginThrottle(ThrottleOptions options = {});

    // Whether an attempt for `account` from `address` may be checked now;
    // when it may and `admit`, it is counted as pending until settled
    // (without `admit` it is only a look, for a refusal before any work).
    Verdict Begin(std::string_view account, std::string_view address, Clock::time_point now,
                  bool admit = true);

    // Settle an admitted attempt: the password was wrong.
    Failure Fail(std::string_view account, std::string_view address, Clock::time_point now);
    // The password was right: the counts start over and the address is
    // trusted for the account.
    void Succeed(std::string_view account, std::string_view address, Clock::time_point now);
    // Nothing was learnt (the directory did not answer).
    void Abandon(std::string_view account, std::string_view address);

    // Clears every lock and count of `account`, and those of the addresses
    // it failed from (not its trusted addresses);
    // returns one line for each thing cleared, empty when there was none.
    std::vector<std::string> Unlock(std::string_view account, Clock::time_point now);

    // Counts held, per kind (for tests of the bound).
    size_t TrackedPairs() const;
    size_t TrackedAddresses() const;
    size_t TrackedAccounts() const;

  private:
    struct Count {
        int failures = 0;
        int pending = 0;
        Clock::time_point lastFailure{};
        Clock::time_point lockedUntil{};
        Clock::time_point lastCheck{};    // accounts: the last check admitted
        Clock::time_point lastSuccess{};  // pairs: when the account logged in from there
        bool trusted = false;             // lastSuccess is set
        bool refused = false;             // the current lock has refused an attempt
        std::list<std::string>::iterator age;
    };

    // Counts of one kind, least recently touched at the front of `order`.
    struct Table {
        std::unordered_map<std::string, Count> counts;
        std::list<std::string> order;
    };

    Count* Find(Table& table, const std::string& key, Clock::time_point now);
    Count& Touch(Table& table, const std::string& key, Clock::time_point now);
    void Forget(Table& table, const std::string& key);
    Clock::duration LockFor(int failures) const;
    bool Trusted(const Count* pair, Clock::time_point now) const;
    // Takes back the pending mark of one settled attempt.
    void Settle(std::string_view account, std::string_view address, Clock::time_point now);

    const ThrottleOptions m_options;
    mutable std::mutex m_mutex;
    Table m_pairs;
    Table m_addresses;
    Table m_accounts;
};

// The text `account` is counted under.
std::string ThrottleAccountKey(std::string_view account);
// The text `address` is counted under: IPv4 as is (also when mapped into
// IPv6), IPv6 as its /64 network.
std::string ThrottleAddressKey(std::string_view address);

}  // namespace warden
