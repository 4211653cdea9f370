#include "vexdir/VexDatabase.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "vexdir/Schema.h"

namespace warden::vexdir {

namespace {
// Readers kept open between operations; more may exist while busy.
constexpr size_t kMaxIdleReaders = 16;

// Creates `file` empty and private when it does not exist, so that SQLite,
// which keeps the mode of an existing file, never makes it readable by others.
void CreatePrivately(const std::filesystem::path& file) {
    int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ::close(fd);
    } else if (errno != EEXIST) {
        throw ImError(im_code::kFail, kErrorSource,
                      "cannot create " + file.string() + ": " + std::strerror(errno));
    }
}
}  // namespace

VexDatabase::VexDatabase(const std::filesystem::path& file, Durability durability) : m_file(file) {
    // Reserved now so that returning a reader to the pool never allocates.
    m_idleReaders.reserve(kMaxIdleReaders);
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    if (ec) {
        throw ImError(im_code::kFail, kErrorSource,
                      "cannot create " + file.parent_path().string() + ": " + ec.message());
    }
    CreatePrivately(file);
    try {
        m_writer = std::make_unique<sqlite::Connection>(file, true);
        // WAL lets readers work beside the one writer. FULL syncs the log at
        // every commit: a change the server has acknowledged survives a
        // power loss or a crash of the machine, not only of the program.
        m_writer->Exec("PRAGMA journal_mode = WAL;");
        m_writer->Exec(durability == Durability::kPowerLoss ? "PRAGMA synchronous = FULL;"
                                                            : "PRAGMA synchronous = NORMAL;");
        EnsureSchema(*m_writer);
    } catch (const sqlite::Error& e) {
        throw ImError(im_code::kFail, kErrorSource, e.what());
    }
}

VexDatabase::~VexDatabase() = default;

void VexDatabase::RequireUnitOpen() const {
    if (sqlite3_get_autocommit(m_writer->Handle()) != 0) {
        throw ImError(im_code::kFail, kErrorSource,
                      "the unit of work was ended by an earlier failure");
    }
}

std::unique_ptr<VexDatabase::Reader> VexDatabase::OpenReader() {
    try {
        auto reader = std::make_unique<Reader>();
        reader->connection = std::make_unique<sqlite::Connection>(m_file, false);
        return reader;
    } catch (const sqlite::Error& e) {
        throw ImError(im_code::kFail, kErrorSource, e.what());
    }
}

VexDatabase::Lease::Lease(VexDatabase& db) : owner(db) {
    {
        std::lock_guard lock(owner.m_poolMutex);
        if (!owner.m_idleReaders.empty()) {
            reader = std::move(owner.m_idleReaders.back());
            owner.m_idleReaders.pop_back();
            return;
        }
    }
    reader = owner.OpenReader();
}

VexDatabase::Lease::~Lease() {
    std::lock_guard lock(owner.m_poolMutex);
    if (owner.m_idleReaders.size() < kMaxIdleReaders) {
        owner.m_idleReaders.push_back(std::move(reader));
    }
}

VexDatabase::Unit::Unit(VexDatabase& db) : m_db(db) {
    if (t_unitDatabase == &db) {
        throw ImError(im_code::kFail, kErrorSource, "a unit of work is already open");
    }
    m_lock = std::unique_lock(db.m_writeMutex);
    try {
        m_transaction.emplace(*db.m_writer, sqlite::Transaction::Kind::kImmediate);
    } catch (const sqlite::Error& e) {
        throw ImError(im_code::kFail, kErrorSource, e.what());
    }
    t_unitDatabase = &db;
}

VexDatabase::Unit::~Unit() {
    m_transaction.reset();  // rolls back unless committed, still holding the writer
    if (t_unitDatabase == &m_db) t_unitDatabase = nullptr;
}

void VexDatabase::Unit::Commit() {
    try {
        m_db.RequireUnitOpen();
        m_transaction->Commit();
    } catch (const sqlite::Error& e) {
        throw ImError(im_code::kFail, kErrorSource, e.what());
    }
    // The unit is over: the thread's next operations stand on their own.
    t_unitDatabase = nullptr;
    m_lock.unlock();
}

}  // namespace warden::vexdir
