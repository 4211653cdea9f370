#include "server/dispatch/LoginThrottle.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <tuple>

#include "protocol/SplitList.h"

namespace warden {

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

LoginThrottle::Count* LoginThrottle::Find(Table& table, const std::string& key,
                                          Clock::time_point now) {
    auto found = table.counts.find(key);
    if (found == table.counts.end()) return nullptr;
    Count& count = found->second;
    if (count.lockedUntil <= now && now - count.lastFailure > m_options.forgetAfter) {
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
    // Full: the count that failed longest ago makes room.
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

LoginThrottle::Verdict LoginThrottle::Check(std::string_view account, std::string_view address,
                                            Clock::time_point now) {
    std::lock_guard lock(m_mutex);
    for (auto [kind, table, key] :
         {std::tuple{Lock::kAccount, &m_accounts, ThrottleAccountKey(account)},
          std::tuple{Lock::kAddress, &m_addresses, ThrottleAddressKey(address)}}) {
        Count* count = Find(*table, key, now);
        if (!count || count->lockedUntil <= now) continue;
        Verdict verdict{kind, count->lockedUntil - now, !count->refused};
        count->refused = true;
        return verdict;
    }
    return {};
}

LoginThrottle::Failure LoginThrottle::RecordFailure(std::string_view account,
                                                    std::string_view address,
                                                    Clock::time_point now) {
    std::lock_guard lock(m_mutex);
    Failure result;
    // The address first, so that a lock of the account is the one reported
    // when both begin together.
    for (auto [kind, table, key] :
         {std::tuple{Lock::kAddress, &m_addresses, ThrottleAddressKey(address)},
          std::tuple{Lock::kAccount, &m_accounts, ThrottleAccountKey(account)}}) {
        Count& count = Touch(*table, key, now);
        ++count.failures;
        count.lastFailure = now;
        if (count.failures >= m_options.failuresBeforeLock) {
            const Clock::duration lockFor = LockFor(count.failures);
            count.lockedUntil = now + lockFor;
            count.refused = false;
            result.lock = kind;
            result.lockFor = lockFor;
        }
        if (kind == Lock::kAccount) result.failures = count.failures;
    }
    return result;
}

void LoginThrottle::RecordSuccess(std::string_view account, std::string_view address) {
    std::lock_guard lock(m_mutex);
    Forget(m_accounts, ThrottleAccountKey(account));
    Forget(m_addresses, ThrottleAddressKey(address));
}

size_t LoginThrottle::TrackedAccounts() const {
    std::lock_guard lock(m_mutex);
    return m_accounts.counts.size();
}

size_t LoginThrottle::TrackedAddresses() const {
    std::lock_guard lock(m_mutex);
    return m_addresses.counts.size();
}

}  // namespace warden
