#include "server/dispatch/LoginThrottle.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <tuple>
#include <utility>

#include "protocol/SplitList.h"

namespace warden {

namespace {

std::string PairKey(std::string_view account, std::string_view address) {
    return ThrottleAccountKey(account) + '\n' + ThrottleAddressKey(address);
}

// An address may fail this many times the pair's limit, over all accounts,
// before it is locked itself: several people behind one address mistype, and
// the pair's lock already stops guesses at one account.
constexpr int kAddressShare = 4;

std::string Seconds(std::chrono::steady_clock::duration d) {
    return std::to_string(std::chrono::ceil<std::chrono::seconds>(d).count()) + " s";
}

}  // namespace

std::string ThrottleAccountKey(std::string_view account) {
    return LowerAscii(account);
}

std::string ThrottleAddressKey(std::string_view address) {
    const std::string text(address);
    in6_addr v6{};
    if (::inet_pton(AF_INET6, text.c_str(), &v6) != 1) return text;
    const uint8_t* b = v6.s6_addr;
    char out[64];
    if (IN6_IS_ADDR_V4MAPPED(&v6)) {
        std::snprintf(out, sizeof out, "%u.%u.%u.%u", b[12], b[13], b[14], b[15]);
    } else {
        std::snprintf(out, sizeof out, "%x:%x:%x:%x::/64", b[0] << 8 | b[1], b[2] << 8 | b[3],
                      b[4] << 8 | b[5], b[6] << 8 | b[7]);
    }
    return out;
}

LoginThrottle::LoginThrottle(ThrottleOptions options) : m_options(options) {}

bool LoginThrottle::Trusted(const Count* pair, Clock::time_point now) const {
    return pair && pair->trusted && now - pair->lastSuccess <= m_options.trustedFor;
}

LoginThrottle::Count* LoginThrottle::Find(Table& table, const std::string& key,
                                          Clock::time_point now) {
    auto found = table.counts.find(key);
    if (found == table.counts.end()) return nullptr;
    Count& count = found->second;
    const bool stale = count.pending == 0 && count.lockedUntil <= now &&
                       now - count.lastFailure > m_options.forgetAfter && !Trusted(&count, now);
    if (stale) {
        Forget(table, key);
        return nullptr;
    }
    return &count;
}

LoginThrottle::Count& LoginThrottle::Touch(Table& table, const std::string& key,
                                           Clock::time_point now) {
    if (Count* count = Find(table, key, now)) {
        table.order.splice(table.order.end(), table.order, count->age);
        return *count;
    }
    // Full: the count touched longest ago makes room.
    if (table.counts.size() >= m_options.maxTracked && !table.order.empty()) {
        Forget(table, table.order.front());
    }
    table.order.push_back(key);
    Count& count = table.counts[key];
    count.age = std::prev(table.order.end());
    return count;
}

void LoginThrottle::Forget(Table& table, const std::string& key) {
    auto found = table.counts.find(key);
    if (found == table.counts.end()) return;
    table.order.erase(found->second.age);
    table.counts.erase(found);
}

LoginThrottle::Clock::duration LoginThrottle::LockFor(int failures) const {
    Clock::duration lock = m_options.firstLock;
    for (int n = m_options.failuresBeforeLock; n < failures && lock < m_options.longestLock; ++n) {
        lock *= 2;
    }
    return std::min<Clock::duration>(lock, m_options.longestLock);
}

LoginThrottle::Verdict LoginThrottle::Begin(std::string_view account, std::string_view address,
                                            Clock::time_point now, bool admit) {
    std::lock_guard lock(m_mutex);
    const std::string pairKey = PairKey(account, address);
    const std::string addressKey = ThrottleAddressKey(address);
    const std::string accountKey = ThrottleAccountKey(account);
    for (auto [kind, table, key] : {std::tuple{Lock::kPair, &m_pairs, &pairKey},
                                    std::tuple{Lock::kAddress, &m_addresses, &addressKey}}) {
        Count* count = Find(*table, *key, now);
        if (!count) continue;
        if (count->lockedUntil > now) {
            Verdict verdict{kind, count->lockedUntil - now, !count->refused};
            count->refused = true;
            return verdict;
        }
        // Attempts still being checked would reach the limit: this one could
        // pass it, so it waits for their outcome.
        const int limit = m_options.failuresBeforeLock * (kind == Lock::kAddress ? kAddressShare : 1);
        if (count->pending > 0 && count->failures + count->pending >= limit) {
            return {kind, m_options.firstLock, false};
        }
    }
    Count* accountCount = Find(m_accounts, accountKey, now);
    if (accountCount &&
        accountCount->failures + accountCount->pending >= m_options.accountFailuresBeforeSlowing &&
        !Trusted(Find(m_pairs, pairKey, now), now)) {
        const Clock::time_point next = accountCount->lastCheck + m_options.slowEvery;
        if (accountCount->pending > 0 || next > now) {
            Verdict verdict{Lock::kSlowed, std::max<Clock::duration>(next - now, {}),
                            !accountCount->refused};
            accountCount->refused = true;
            return verdict;
        }
    }
    if (!admit) return {};
    for (auto [table, key] :
         {std::pair{&m_pairs, &pairKey}, std::pair{&m_addresses, &addressKey},
          std::pair{&m_accounts, &accountKey}}) {
        Count& count = Touch(*table, *key, now);
        ++count.pending;
        count.lastCheck = now;
        count.refused = false;
    }
    return {};
}

void LoginThrottle::Settle(std::string_view account, std::string_view address,
                           Clock::time_point now) {
    for (auto [table, key] : {std::pair{&m_pairs, PairKey(account, address)},
                              std::pair{&m_addresses, ThrottleAddressKey(address)},
                              std::pair{&m_accounts, ThrottleAccountKey(account)}}) {
        // A count dropped meanwhile to make room has nothing left to take back.
        if (Count* count = Find(*table, key, now); count && count->pending > 0) --count->pending;
    }
}

LoginThrottle::Failure LoginThrottle::Fail(std::string_view account, std::string_view address,
                                           Clock::time_point now) {
    std::lock_guard lock(m_mutex);
    Settle(account, address, now);
    Failure result;
    // The address first, so that a lock of the pair is the one reported when
    // both begin together.
    for (auto [kind, table, key] :
         {std::tuple{Lock::kAddress, &m_addresses, ThrottleAddressKey(address)},
          std::tuple{Lock::kPair, &m_pairs, PairKey(account, address)}}) {
        Count& count = Touch(*table, key, now);
        ++count.failures;
        count.lastFailure = now;
        const int limit = m_options.failuresBeforeLock * (kind == Lock::kAddress ? kAddressShare : 1);
        if (count.failures >= limit) {
            const Clock::duration lockFor = LockFor(count.failures - limit + m_options.failuresBeforeLock);
            count.lockedUntil = now + lockFor;
            count.refused = false;
            result.lock = kind;
            result.lockFor = lockFor;
        }
        if (kind == Lock::kPair) result.failures = count.failures;
    }
    Count& accountCount = Touch(m_accounts, ThrottleAccountKey(account), now);
    ++accountCount.failures;
    accountCount.lastFailure = now;
    return result;
}

void LoginThrottle::Succeed(std::string_view account, std::string_view address,
                            Clock::time_point now) {
    std::lock_guard lock(m_mutex);
    Settle(account, address, now);
    Count& pair = Touch(m_pairs, PairKey(account, address), now);
    pair.failures = 0;
    pair.lockedUntil = {};
    pair.trusted = true;
    pair.lastSuccess = now;
    Forget(m_addresses, ThrottleAddressKey(address));
    // Only the owner knows the password: whatever slowed the account was
    // somebody else.
    Forget(m_accounts, ThrottleAccountKey(account));
}

void LoginThrottle::Abandon(std::string_view account, std::string_view address) {
    std::lock_guard lock(m_mutex);
    Settle(account, address, Clock::now());
}

std::vector<std::string> LoginThrottle::Unlock(std::string_view account, Clock::time_point now) {
    std::lock_guard lock(m_mutex);
    std::vector<std::string> cleared;
    const std::string accountKey = ThrottleAccountKey(account);
    const std::string prefix = accountKey + '\n';
    for (auto& [key, count] : m_pairs.counts) {
        if (!key.starts_with(prefix) || count.failures == 0) continue;
        std::string line = "from " + key.substr(prefix.size()) + ": " +
                           std::to_string(count.failures) + " failed logins";
        if (count.lockedUntil > now) line += ", locked for " + Seconds(count.lockedUntil - now);
        cleared.push_back(std::move(line));
        count.failures = 0;
        count.lockedUntil = {};
        count.refused = false;
        // The failures of the account also count for the address: locked
        // for them, it would keep the account out.
        Forget(m_addresses, key.substr(prefix.size()));
    }
    if (Count* count = Find(m_accounts, accountKey, now); count && count->failures > 0) {
        cleared.push_back("from any address: " + std::to_string(count->failures) +
                          " failed logins" +
                          (count->failures >= m_options.accountFailuresBeforeSlowing
                               ? ", slowed down"
                               : ""));
        count->failures = 0;
        count->refused = false;
    }
    std::sort(cleared.begin(), cleared.end());
    return cleared;
}

size_t LoginThrottle::TrackedPairs() const {
    std::lock_guard lock(m_mutex);
    return m_pairs.counts.size();
}

size_t LoginThrottle::TrackedAddresses() const {
    std::lock_guard lock(m_mutex);
    return m_addresses.counts.size();
}

size_t LoginThrottle::TrackedAccounts() const {
    std::lock_guard lock(m_mutex);
    return m_accounts.counts.size();
}

}  // namespace warden
