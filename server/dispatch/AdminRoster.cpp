#include "server/dispatch/AdminRoster.h"

#include <stdexcept>

#include "server/store/AdminStore.h"

namespace warden {

namespace {

AdminStore& StoreOf(const Services& services) {
    if (services.adminStore == nullptr) throw std::runtime_error("no admin store");
    return *services.adminStore;
}

}  // namespace

GrantableRoles AdminRoster::RolesOf(const std::string& account) {
    return GrantableRoles(StoreOf(m_services).GetAdminRoles(account));
}

std::shared_ptr<const AdminRecord> AdminRoster::Find(const std::string& account) {
    AdminStore* store = &StoreOf(m_services);
    std::string key(account);
    for (char& c : key) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }

    // Taken before the row is read: a change that ends after this moves the
    // generation, so the copy made below can never outlive it.
    const uint64_t generation = store->Generation();
    const auto now = std::chrono::steady_clock::now();
    {
        std::shared_lock lock(m_mutex);
        auto it = m_entries.find(key);
        if (it != m_entries.end() && it->second.store == store &&
            it->second.generation == generation && now - it->second.loaded < kRecheckAfter) {
            return it->second.record;
        }
    }

    auto record = std::make_shared<AdminRecord>();
    if (std::optional<std::string> depts = store->FindAdmin(account)) {
        record->isAdmin = true;
        record->scope = AdminScope(*depts);
    }

    std::unique_lock lock(m_mutex);
    if (m_entries.size() >= kMaxEntries) m_entries.clear();
    m_entries[key] = Entry{store, generation, now, record};
    return record;
}

}  // namespace warden
