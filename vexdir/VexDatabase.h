// The directory's database file and its connections. Every directory
// operation is one transaction: reads run on a pool of reader connections in
// parallel (WAL lets them see a consistent snapshot while a write goes on);
// writes are serialised through the single writer connection. A Unit groups
// several operations of one thread into one transaction.
//
// The file holds password hashes and personal data: it is created readable by
// its owner only, and SQLite gives its -wal and -shm files the same mode.
// By default every commit reaches the disk before it returns, so an
// acknowledged change survives a power loss, not only a crash of the program.
//
// Thread-safety: Read and Write may be called from any number of threads.
// SQLite errors inside them become ImError (kFail), so callers only ever see
// ImError; an ImError thrown by the body passes unchanged. Either way the
// operation is rolled back and nothing changes.
#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#include "directory/ImError.h"
#include "directory/ImSdk.h"
#include "vexdir/RecordCache.h"
#include "vexdir/Sqlite.h"

namespace warden::vexdir {

// The name the directory's errors carry as their source.
inline constexpr const char kErrorSource[] = "vexdir";

// How far a commit goes before it returns.
enum class Durability {
    kPowerLoss,  // to the disk: survives a power loss (synchronous=FULL)
    kCrash,      // to the system: survives a crash of the program only (NORMAL);
                 // for measuring what the other costs
};

class VexDatabase {
  public:
    // Opens `file`, creating it with its schema when missing. Throws ImError.
    explicit VexDatabase(const std::filesystem::path& file,
                         Durability durability = Durability::kPowerLoss);
    ~VexDatabase();
    VexDatabase(const VexDatabase&) = delete;
    VexDatabase& operator=(const VexDatabase&) = delete;

    const std::filesystem::path& File() const { return m_file; }

    template <class Body>
    auto Read(Body&& body) {
        if (t_unitDatabase == this) return RunInUnit(std::forward<Body>(body));
        Lease lease(*this);
        return Run(*lease.reader->connection, sqlite::Transaction::Kind::kDeferred,
                   std::forward<Body>(body));
    }

    // A user's record: `read` reads it, unless the reader connection has it
    // from a read since which nobody committed anything. Inside a Unit the
    // cache is left alone (the unit sees its own changes before anyone else).
    template <class Body>
    UserRecord ReadUserRecord(const std::string& user, Body&& read) {
        if (t_unitDatabase == this) return RunInUnit(std::forward<Body>(read));
        Lease lease(*this);
        RecordCache& cache = lease.reader->records;
        return Run(*lease.reader->connection, sqlite::Transaction::Kind::kDeferred,
                   [&](sqlite::Connection& db) {
                       cache.Follow(db.DataVersion());
                       if (const UserRecord* hit = cache.Find(user)) return *hit;
                       UserRecord record = read(db);
                       cache.Put(user, record);
                       return record;
                   });
    }

    template <class Body>
    auto Write(Body&& body) {
        if (t_unitDatabase == this) return RunInUnit(std::forward<Body>(body));
        std::lock_guard lock(m_writeMutex);
        return Run(*m_writer, sqlite::Transaction::Kind::kImmediate, std::forward<Body>(body));
    }

    // One transaction over several operations of the thread that makes it:
    // until it ends, every Read and Write of that thread on this database
    // runs inside it (each in a savepoint, so a failed operation still
    // changes nothing by itself), and it has the writer to itself. Other
    // threads see none of its changes before Commit; their writes wait.
    // Destroyed without Commit, or cut short by the death of the process,
    // it leaves the database as it was.
    // REQUIRES: the thread holds no other Unit of this database; the Unit
    // ends on the thread that made it.
    class Unit {
      public:
        explicit Unit(VexDatabase& db);  // throws ImError
        ~Unit();
        Unit(const Unit&) = delete;
        Unit& operator=(const Unit&) = delete;

        // Makes every change of the unit durable at once and ends the unit.
        // Throws ImError, and then nothing of the unit is kept.
        void Commit();

      private:
        VexDatabase& m_db;
        std::unique_lock<std::mutex> m_lock;
        std::optional<sqlite::Transaction> m_transaction;
    };

  private:
    struct Reader {
        std::unique_ptr<sqlite::Connection> connection;
        RecordCache records;
    };

    // A reader borrowed from the pool for one operation.
    struct Lease {
        explicit Lease(VexDatabase& db);
        ~Lease();
        VexDatabase& owner;
        std::unique_ptr<Reader> reader;
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

    template <class Body>
    auto RunInUnit(Body&& body) {
        try {
            RequireUnitOpen();
            sqlite::Savepoint step(*m_writer);
            if constexpr (std::is_void_v<decltype(body(*m_writer))>) {
                body(*m_writer);
                step.Release();
            } else {
                auto result = body(*m_writer);
                step.Release();
                return result;
            }
        } catch (const sqlite::Error& e) {
            throw ImError(im_code::kFail, kErrorSource, e.what());
        }
    }

    // Throws when SQLite has already ended the unit's transaction (some I/O
    // errors roll back on their own): the unit's later steps must not be
    // committed one by one.
    void RequireUnitOpen() const;

    std::unique_ptr<Reader> OpenReader();

    // The database whose Unit the calling thread holds, if any.
    inline static thread_local const VexDatabase* t_unitDatabase = nullptr;

    std::filesystem::path m_file;
    std::mutex m_writeMutex;
    std::unique_ptr<sqlite::Connection> m_writer;
    std::mutex m_poolMutex;
    std::vector<std::unique_ptr<Reader>> m_idleReaders;
};

}  // namespace warden::vexdir
