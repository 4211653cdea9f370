#include "server/dispatch/DirectoryFacts.h"

#include <algorithm>

#include "directory/ImError.h"
#include "server/im/ImService.h"
#include "server/im/NameLists.h"

namespace warden {

namespace {

std::string KeyOf(const std::string& account) {
    std::string key(account);
    for (char& c : key) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return key;
}

std::shared_ptr<ImRoot> RootOf(const Services& services) {
    if (services.im == nullptr) {
        throw ImError(im_code::kNotConnected, "warden-server", "no IM directory");
    }
    return services.im->Root();
}

}  // namespace

DirectoryFacts::Entry DirectoryFacts::Current(const std::string& key, uint64_t generation,
                                              std::chrono::steady_clock::time_point now) {
    std::shared_lock lock(m_mutex);
    auto it = m_entries.find(key);
    if (it != m_entries.end() && it->second.generation == generation &&
        now - it->second.loaded < kRecheckAfter) {
        return it->second;
    }
    return Entry{generation, now, std::nullopt, nullptr};
}

void DirectoryFacts::Store(const std::string& key, Entry entry) {
    std::unique_lock lock(m_mutex);
    if (m_entries.size() >= kMaxEntries) m_entries.clear();
    auto it = m_entries.find(key);
    if (it == m_entries.end()) {
        m_entries.emplace(key, std::move(entry));
        return;
    }
    // Keep what a concurrent reader learned about the same generation while
    // it is still current; the entry then ages from the older read.
    Entry& stored = it->second;
    if (stored.generation == entry.generation && entry.loaded - stored.loaded < kRecheckAfter) {
        if (!entry.exists) entry.exists = stored.exists;
        if (!entry.depts) entry.depts = stored.depts;
        entry.loaded = std::min(entry.loaded, stored.loaded);
    }
    stored = std::move(entry);
}

bool DirectoryFacts::AccountExists(const std::string& account) {
    const std::string key = KeyOf(account);
    // Taken before the directory is read: a change that ends after this
    // moves the generation, so the copy made below cannot outlive it.
    const uint64_t generation = m_generation.load(std::memory_order_acquire);
    Entry entry = Current(key, generation, std::chrono::steady_clock::now());
    if (entry.exists) return *entry.exists;
    entry.exists = RootOf(m_services)->GetUserManager().IsUserExist(account);
    const bool exists = *entry.exists;
    Store(key, std::move(entry));
    return exists;
}

std::shared_ptr<const std::vector<std::string>> DirectoryFacts::DeptsOf(const std::string& user) {
    const std::string key = KeyOf(user);
    const uint64_t generation = m_generation.load(std::memory_order_acquire);
    Entry entry = Current(key, generation, std::chrono::steady_clock::now());
    if (entry.depts) return entry.depts;
    auto root = RootOf(m_services);
    entry.depts = std::make_shared<const std::vector<std::string>>(
        ListNames(root->GetDeptManager().GetUserDepts(user), "Department"));
    entry.exists = true;
    auto depts = entry.depts;
    Store(key, std::move(entry));
    return depts;
}

}  // namespace warden
