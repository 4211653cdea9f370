// The facts about directory accounts that the delegation check reads at
// every request of a second-level administrator: whether the sender's
// account still exists, and which departments a user belongs to. Read from
// the directory once and reused until a request through this server changes
// the directory (Changed), so a check costs a hash lookup rather than
// directory reads that would double the work of a small request. A change
// made to the directory by another program shows within kRecheckAfter.
//
// Thread-safe: every member may run on any number of workers at once.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <shared_mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "server/dispatch/Services.h"

namespace warden {

class DirectoryFacts {
  public:
    static constexpr std::chrono::seconds kRecheckAfter{1};

    explicit DirectoryFacts(Services& services) : m_services(services) {}

    // Whether the directory has `account`. Throws ImError when the
    // directory cannot be asked.
    bool AccountExists(const std::string& account);

    // The departments of `user` as the directory names them (full paths
    // without the leading "\"). Throws ImError as the directory does, for
    // instance for a user it does not have.
    std::shared_ptr<const std::vector<std::string>> DeptsOf(const std::string& user);

    // Something was changed through this server: what is known may be old.
    void Changed() { m_generation.fetch_add(1, std::memory_order_acq_rel); }

  private:
    struct Entry {
        uint64_t generation = 0;
        std::chrono::steady_clock::time_point loaded;
        std::optional<bool> exists;
        std::shared_ptr<const std::vector<std::string>> depts;
    };
    // Bounds the memory that lookups of many different names can take.
    static constexpr size_t kMaxEntries = 100000;

    // The entry of `account` if it is current; a fresh one otherwise.
    Entry Current(const std::string& key, uint64_t generation,
                  std::chrono::steady_clock::time_point now);
    void Store(const std::string& key, Entry entry);

    Services& m_services;
    std::atomic<uint64_t> m_generation{0};
    std::shared_mutex m_mutex;                         // guards m_entries; lookups share it
    std::unordered_map<std::string, Entry> m_entries;  // key: account in ASCII lower case
};

}  // namespace warden
