// Who is an administrator now, and over what: the admin store's row of an
// account, parsed once and reused until the store changes, and his entry of
// the roles file, read only by the requests that give or take roles. The
// delegation check asks for the sender (and for the accounts he would touch)
// at every request, so a change by the super administrator reaches every
// live connection at its next request, while a request costs a hash lookup,
// not a database query.
//
// A row's copy is current while the store's generation is unchanged; a change
// made to the store outside this server (another tool, another server on a
// shared database) shows within kRecheckAfter. The roles are read at every
// RolesOf, from the roles file (reparsed only when it changed, whoever wrote
// it) or from the store.
//
// Thread-safe: Find may run on any number of workers at once.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <shared_mutex>
#include <string>
#include <unordered_map>

#include "server/dispatch/AdminScope.h"
#include "server/dispatch/Services.h"

namespace warden {

class AdminStore;

struct AdminRecord {
    bool isAdmin = false;  // the admin store has a row for the account
    AdminScope scope;      // empty when not
};

class AdminRoster {
  public:
    static constexpr std::chrono::seconds kRecheckAfter{1};

    explicit AdminRoster(Services& services) : m_services(services) {}

    // The record of `account` as the store holds it now. Throws when there
    // is no store or it cannot be read: a permission must never rest on a
    // read that failed.
    std::shared_ptr<const AdminRecord> Find(const std::string& account);

    // The roles `account` may grant, as the roles file or the store holds
    // them now. Throws when there is no store or they cannot be read.
    GrantableRoles RolesOf(const std::string& account);

  private:
    struct Entry {
        const AdminStore* store = nullptr;
        uint64_t generation = 0;
        std::chrono::steady_clock::time_point loaded;
        std::shared_ptr<const AdminRecord> record;
    };
    // Bounds the memory that lookups of many different names can take.
    static constexpr size_t kMaxEntries = 100000;

    Services& m_services;
    std::shared_mutex m_mutex;                         // guards m_entries; lookups share it
    std::unordered_map<std::string, Entry> m_entries;  // key: account in ASCII lower case
};

}  // namespace warden
