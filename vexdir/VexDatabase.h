// The directory's database file and its connections. Every directory
// operation is one transaction: reads run on a pool of reader connections in
// parallel (WAL lets them see a consistent snapshot while a write goes on);
// writes are serialised through the single writer connection.
//
// Thread-safety: Read and Write may be called from any number of threads.
// SQLite errors inside them become ImError (kFail), so callers only ever see
// ImError; an ImError thrown by the body passes unchanged. Either way the
// transaction is rolled back and nothing changes.
#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <type_traits>
#include <utility>
#include <vector>

#include "server/im/ImError.h"
#include "vexdir/Sqlite.h"

namespace warden::vexdir {

// The name the directory's errors carry as their source.
inline constexpr const char kErrorSource[] = "vexdir";

class VexDatabase {
  public:
    // Opens `file`, creating it with its schema when missing. Throws ImError.
    explicit VexDatabase(const std::filesystem::path& file);
    ~VexDatabase();
    VexDatabase(const VexDatabase&) = delete;
    VexDatabase& operator=(const VexDatabase&) = delete;

    const std::filesystem::path& File() const { return m_file; }

    template <class Body>
    auto Read(Body&& body) {
        Lease lease(*this);
        return Run(*lease.connection, sqlite::Transaction::Kind::kDeferred,
                   std::forward<Body>(body));
    }

    template <class Body>
    auto Write(Body&& body) {
        std::lock_guard lock(m_writeMutex);
        return Run(*m_writer, sqlite::Transaction::Kind::kImmediate, std::forward<Body>(body));
    }

  private:
    // A reader connection borrowed from the pool for one operation.
    struct Lease {
        explicit Lease(VexDatabase& db);
        ~Lease();
        VexDatabase& owner;
        std::unique_ptr<sqlite::Connection> connection;
    };

    template <class Body>
    static auto Run(sqlite::Connection& connection, sqlite::Transaction::Kind kind, Body&& body) {
        try {
            sqlite::Transaction transaction(connection, kind);
            if constexpr (std::is_void_v<decltype(body(connection))>) {
                body(connection);
                transaction.Commit();
            } else {
                auto result = body(connection);
                transaction.Commit();
                return result;
            }
        } catch (const sqlite::Error& e) {
            throw ImError(im_code::kFail, kErrorSource, e.what());
        }
    }

    std::unique_ptr<sqlite::Connection> OpenConnection();

    std::filesystem::path m_file;
    std::mutex m_writeMutex;
    std::unique_ptr<sqlite::Connection> m_writer;
    std::mutex m_poolMutex;
    std::vector<std::unique_ptr<sqlite::Connection>> m_idleReaders;
};

}  // namespace warden::vexdir
