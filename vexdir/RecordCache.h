// The users' records last read through one reader connection, kept for as
// long as nobody changes the database. The connection's data version, which
// SQLite changes whenever another connection (of this process or of any
// other: the server's writer, the ordering library, vexdir-tool) commits, is
// looked at inside the same read transaction as every use, and any change
// empties the cache. So a cached record is exactly what that transaction
// would have read, and a change is visible to the next read after its
// commit.
//
// Not thread-safe: it belongs to its connection, which one thread uses at a
// time.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

#include "directory/ImSdk.h"

namespace warden::vexdir {

class RecordCache {
  public:
    // Forgets every record when `dataVersion` differs from the one before.
    void Follow(int64_t dataVersion) {
        if (m_version != dataVersion) m_records.clear();
        m_version = dataVersion;
    }

    const UserRecord* Find(const std::string& user) const {
        auto it = m_records.find(user);
        return it == m_records.end() ? nullptr : &it->second;
    }

    void Put(const std::string& user, const UserRecord& record) {
        // Bounded without bookkeeping: a full cache starts again.
        if (m_records.size() >= kMaxRecords) m_records.clear();
        m_records.insert_or_assign(user, record);
    }

  private:
    static constexpr size_t kMaxRecords = 1024;
    std::optional<int64_t> m_version;
    std::unordered_map<std::string, UserRecord> m_records;
};

}  // namespace warden::vexdir
