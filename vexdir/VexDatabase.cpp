#include "vexdir/VexDatabase.h"

#include <system_error>

#include "vexdir/Schema.h"

namespace warden::vexdir {

namespace {
// Readers kept open between operations; more may exist while busy.
constexpr size_t kMaxIdleReaders = 16;
}  // namespace

VexDatabase::VexDatabase(const std::filesystem::path& file) : m_file(file) {
    // Reserved now so that returning a reader to the pool never allocates.
    m_idleReaders.reserve(kMaxIdleReaders);
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    if (ec) {
        throw ImError(im_code::kFail, kErrorSource,
                      "cannot create " + file.parent_path().string() + ": " + ec.message());
    }
    try {
        m_writer = std::make_unique<sqlite::Connection>(file, true);
        // WAL lets readers work beside the one writer; NORMAL synchronous is
        // durable across a crash of the program (not of the machine) at a
        // fraction of the cost of FULL.
        m_writer->Exec("PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL;");
        EnsureSchema(*m_writer);
    } catch (const sqlite::Error& e) {
        throw ImError(im_code::kFail, kErrorSource, e.what());
    }
}

VexDatabase::~VexDatabase() = default;

std::unique_ptr<sqlite::Connection> VexDatabase::OpenConnection() {
    try {
        return std::make_unique<sqlite::Connection>(m_file, false);
    } catch (const sqlite::Error& e) {
        throw ImError(im_code::kFail, kErrorSource, e.what());
    }
}

VexDatabase::Lease::Lease(VexDatabase& db) : owner(db) {
    {
        std::lock_guard lock(owner.m_poolMutex);
        if (!owner.m_idleReaders.empty()) {
            connection = std::move(owner.m_idleReaders.back());
            owner.m_idleReaders.pop_back();
            return;
        }
    }
    connection = owner.OpenConnection();
}

VexDatabase::Lease::~Lease() {
    std::lock_guard lock(owner.m_poolMutex);
    if (owner.m_idleReaders.size() < kMaxIdleReaders) {
        owner.m_idleReaders.push_back(std::move(connection));
    }
}

}  // namespace warden::vexdir
