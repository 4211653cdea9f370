#include "server/store/AdminStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <vector>

#include "server/store/Odbc.h"
#include "server/store/PasswordHash.h"
#include "server/store/StoreSchema.h"
#include "server/store/TemporaryFiles.h"

namespace warden {

namespace {

constexpr const char kPasswordsOf[] = "SELECT admin_pwd FROM vex_2nd_admins WHERE admin_name=?";
constexpr const char kReplacePassword[] =
    "UPDATE vex_2nd_admins SET admin_pwd=? WHERE admin_name=? AND admin_pwd=?";
constexpr const char kDeptsOf[] = "SELECT admin_depts FROM vex_2nd_admins WHERE admin_name=?";
constexpr const char kListAdmins[] =
    "SELECT admin_name FROM vex_2nd_admins WHERE is_sadmin IS NULL OR is_sadmin='' "
    "ORDER BY admin_name";
constexpr const char kFindAdmin[] = "SELECT admin_name FROM vex_2nd_admins WHERE admin_name=?";
// A save writes the row together with the roles it is about to put in the
// roles file (pending_roles), in one statement; the journal is cleared once
// the file holds them. A save cut short is finished at the next start.
constexpr const char kInsertAdmin[] =
    "INSERT INTO vex_2nd_admins(admin_name, admin_depts, pending_roles) VALUES (?, ?, ?)";
constexpr const char kUpdateDepts[] =
    "UPDATE vex_2nd_admins SET admin_depts=?, pending_roles=? WHERE admin_name=?";
constexpr const char kUndoUpdate[] =
    "UPDATE vex_2nd_admins SET admin_depts=?, pending_roles=NULL WHERE admin_name=?";
constexpr const char kClearPending[] =
    "UPDATE vex_2nd_admins SET pending_roles=NULL WHERE admin_name=? AND pending_roles=?";
constexpr const char kPendingSaves[] =
    "SELECT admin_name, pending_roles FROM vex_2nd_admins WHERE pending_roles IS NOT NULL "
    "ORDER BY admin_name";
constexpr const char kSetPassword[] = "UPDATE vex_2nd_admins SET admin_pwd=? WHERE admin_name=?";
constexpr const char kSuperFlagOf[] = "SELECT is_sadmin FROM vex_2nd_admins WHERE admin_name=?";
constexpr const char kDeleteAdmin[] = "DELETE FROM vex_2nd_admins WHERE admin_name=?";
// With the roles kept in the store.
constexpr const char kRolesOf[] = "SELECT admin_roles FROM vex_2nd_admins WHERE admin_name=?";
constexpr const char kInsertAdminWithRoles[] =
    "INSERT INTO vex_2nd_admins(admin_name, admin_depts, admin_roles) VALUES (?, ?, ?)";
constexpr const char kUpdateAdminWithRoles[] =
    "UPDATE vex_2nd_admins SET admin_depts=?, admin_roles=? WHERE admin_name=?";
constexpr const char kSetRoles[] = "UPDATE vex_2nd_admins SET admin_roles=? WHERE admin_name=?";
constexpr const char kAdoptPending[] =
    "UPDATE vex_2nd_admins SET admin_roles=pending_roles, pending_roles=NULL "
    "WHERE pending_roles IS NOT NULL";
constexpr const char kRowsWithoutRoles[] =
    "SELECT admin_name FROM vex_2nd_admins WHERE admin_roles IS NULL ORDER BY admin_name";
constexpr const char kAdoptFromFile[] =
    "UPDATE vex_2nd_admins SET admin_roles=? WHERE admin_name=? AND admin_roles IS NULL";
// Touches every column the store uses, so a wrong file fails at start-up
// rather than at the first request.
constexpr const char kProbe[] =
    "SELECT admin_name, admin_pwd, admin_depts, is_sadmin, pending_roles, admin_roles "
    "FROM vex_2nd_admins WHERE 1=0";

// How long the connection may go unused before it is checked (see Live).
constexpr std::chrono::seconds kQuietSpell{1};

std::string Describe(const std::filesystem::path& path) {
    return "\"" + path.string() + "\"";
}

// Copies `from` to `to` unless `to` exists, through a temporary file that is
// linked into place only when complete.
bool CopyWithoutOverwrite(const std::filesystem::path& from, const std::filesystem::path& to,
                          std::string& problem) {
    std::ifstream in(from, std::ios::binary);
    if (!in) {
        problem = "cannot read " + Describe(from);
        return false;
    }
    std::string temp = TemporaryPattern(to);
    int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        problem =
            "cannot create a file in " + Describe(to.parent_path()) + ": " + std::strerror(errno);
        return false;
    }
    // The file holds password hashes: readable by the server's user alone.
    bool ok = ::fchmod(fd, 0600) == 0;
    char buffer[1 << 16];
    while (ok && in) {
        in.read(buffer, sizeof buffer);
        const char* p = buffer;
        std::streamsize left = in.gcount();
        while (ok && left > 0) {
            ssize_t n = ::write(fd, p, static_cast<size_t>(left));
            if (n < 0 && errno == EINTR) continue;
            ok = n > 0;
            if (ok) {
                p += n;
                left -= n;
            }
        }
    }
    ok = ok && in.eof() && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (!ok) {
        problem = "cannot write " + Describe(temp) + ": " + std::strerror(errno);
        ::unlink(temp.c_str());
        return false;
    }
    // link() fails when the target exists, so a data file that appeared
    // meanwhile is kept as it is.
    if (::link(temp.c_str(), to.c_str()) != 0 && errno != EEXIST) {
        problem = "cannot create " + Describe(to) + ": " + std::strerror(errno);
        ::unlink(temp.c_str());
        return false;
    }
    ::unlink(temp.c_str());
    return true;
}

}  // namespace

std::string DefaultAdminStoreConnection() {
    // SyncPragma=FULL: every change reaches the disk before the server
    // acknowledges it, so it survives a power loss, whatever the driver's
    // own default. JournalMode=WAL: a commit then syncs once (its log)
    // instead of four times (journal, folder, journal header, file), and
    // every change and login of every console commits an audit entry.
    return "DRIVER=" + SqliteOdbcDriver() +
           ";Database=%FILE%;NoCreat=1;JournalMode=WAL;SyncPragma=FULL";
}

AdminStore::AdminStore(std::filesystem::path baseDir, RolesPlace roles)
    : m_baseDir(std::move(baseDir)), m_rolesPlace(roles), m_roles(m_baseDir / "RolesAdmin.ini") {}

AdminStore::~AdminStore() = default;

std::filesystem::path AdminStore::DataFile() const {
    return m_baseDir / "DB" / "db.dat";
}

std::filesystem::path AdminStore::TemplateFile() const {
    return m_baseDir / "DB" / "db.orig";
}

bool AdminStore::UsesDataFile(const std::string& connectionPattern) const {
    const std::string file = DataFile().string();
    return ConnectionString(connectionPattern).find(file) != std::string::npos;
}

bool AdminStore::EnsureDataFile(const std::filesystem::path& programDir, std::string& problem) {
    std::error_code ec;
    const std::filesystem::path data = DataFile();
    if (std::filesystem::exists(data, ec)) return true;
    std::filesystem::path source = TemplateFile();
    if (!std::filesystem::exists(source, ec)) {
        const std::filesystem::path beside = programDir / "DB" / "db.orig";
        if (!std::filesystem::exists(beside, ec)) {
            problem = "no admin store: neither the data file " + Describe(data) +
                      " nor a template (" + Describe(source) + " or " + Describe(beside) +
                      ") exists";
            return false;
        }
        source = beside;
    }
    std::filesystem::create_directories(data.parent_path(), ec);
    std::string detail;
    if (ec || !CopyWithoutOverwrite(source, data, detail)) {
        problem =
            "创建数据库文件失败，请检查文件夹权限。 (" +
            (ec ? "cannot create " + Describe(data.parent_path()) + ": " + ec.message() : detail) +
            ")";
        return false;
    }
    return true;
}

std::string AdminStore::ConnectionString(const std::string& connectionPattern) const {
    return FillConnectionString(connectionPattern, m_baseDir.string(), DataFile().string());
}

void AdminStore::OpenDatabase(const std::string& connectionPattern) {
    const std::string connectionString = ConnectionString(connectionPattern);
    auto connection = std::make_unique<OdbcConnection>(connectionString);
    // A database system without a built-in schema is used as it stands.
    std::optional<StoreDialect> dialect = DialectOf(*connection);
    if (dialect &&
        !ApplySchema(*connection, StoreSchema(*dialect), SchemaMode::kUpgrade).storeFound) {
        // The driver's reason tells a wrong file from an empty database.
        try {
            connection->Execute(kProbe);
        } catch (const OdbcError& e) {
            throw OdbcError(std::string(e.what()) +
                                " (no admin store there; `warden-server --init-store` creates one)",
                            e.SqlState());
        }
    }
    connection->Execute(kProbe);
    std::lock_guard lock(m_mutex);
    m_connection = std::move(connection);
    m_connectionString = connectionString;
}

OdbcConnection* AdminStore::Live() {
    if (!m_connection) return nullptr;
    // A driver learns that the database dropped the session only from a
    // failed call: after a quiet spell, one cheap query finds it out so that
    // the real one need not fail.
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastUse >= kQuietSpell) {
        try {
            m_connection->Execute("SELECT 1");
        } catch (const OdbcError&) {
            // Dead() below tells whether it was the link.
        }
    }
    m_lastUse = now;
    if (m_connection->Dead()) {
        try {
            m_connection = std::make_unique<OdbcConnection>(m_connectionString);
        } catch (const OdbcError&) {
            // Still unreachable: this operation fails, the next one tries again.
        }
    }
    return m_connection.get();
}

std::vector<std::string> AdminStore::InitDatabase(const std::string& connectionPattern) {
    OdbcConnection connection(ConnectionString(connectionPattern));
    std::optional<StoreDialect> dialect = DialectOf(connection);
    if (!dialect) {
        throw std::runtime_error("no admin store schema for the database system \"" +
                                 connection.DbmsName() + "\" (only SQLite and PostgreSQL)");
    }
    return ApplySchema(connection, StoreSchema(*dialect), SchemaMode::kCreate).applied;
}

bool AdminStore::VerifyAccount(const std::string& name, const std::string& password, bool rehash) {
    std::vector<std::string> stored;
    try {
        std::lock_guard lock(m_mutex);
        if (!Live()) return false;
        OdbcStatement query(*m_connection, kPasswordsOf);
        query.Execute({name});
        while (query.Fetch()) {
            if (auto value = query.Text(1)) stored.push_back(std::move(*value));
        }
    } catch (const std::exception&) {
        return false;
    }
    // Hashes are checked without holding the connection: each takes a while.
    for (const std::string& value : stored) {
        PasswordCheck check = CheckPassword(value, password);
        if (!check.matches) continue;
        if (rehash && check.needsRehash) {
            if (auto hash = HashPassword(password)) {
                try {
                    std::lock_guard lock(m_mutex);
                    // Only if nobody changed the password meanwhile.
                    m_connection->Execute(kReplacePassword, {*hash, name, value});
                } catch (const std::exception&) {
                    // The login stands; the next one tries the rewrite again.
                }
            }
        }
        return true;
    }
    return false;
}

bool AdminStore::CheckLogin(const std::string& name, const std::string& password) {
    return VerifyAccount(name, password, /*rehash=*/true);
}

bool AdminStore::HasInitialPassword() {
    return VerifyAccount(kSuperAdminName, kInitialAdminPassword, /*rehash=*/false);
}

std::string AdminStore::GetAdminDepts(const std::string& name) {
    try {
        std::lock_guard lock(m_mutex);
        if (!Live()) return {};
        OdbcStatement query(*m_connection, kDeptsOf);
        query.Execute({name});
        if (!query.Fetch()) return {};
        return query.Text(1).value_or(std::string());
    } catch (const std::exception&) {
        return {};
    }
}

std::string AdminStore::ListAdmins() {
    try {
        std::lock_guard lock(m_mutex);
        if (!Live()) return {};
        OdbcStatement query(*m_connection, kListAdmins);
        query.Execute();
        std::string list;
        while (query.Fetch()) {
            if (auto name = query.Text(1)) list += *name + "|";
        }
        return list;
    } catch (const std::exception&) {
        return {};  // a partial list would look complete to the console
    }
}

bool AdminStore::SaveAdminInStore(const std::string& name, const std::string& depts,
                                  const std::string& roles) {
    try {
        OdbcStatement query(*m_connection, kFindAdmin);
        query.Execute({name});
        const bool existed = query.Fetch();
        m_connection->Execute(existed ? kUpdateAdminWithRoles : kInsertAdminWithRoles,
                              existed ? std::vector<OdbcValue>{depts, roles, name}
                                      : std::vector<OdbcValue>{name, depts, roles});
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool AdminStore::SaveAdmin(const std::string& name, const std::string& depts,
                           const std::string& roles) {
    ChangeMark mark(m_generation);
    if (m_rolesPlace == RolesPlace::kStore) {
        std::lock_guard lock(m_mutex);
        return Live() && SaveAdminInStore(name, depts, roles);
    }
    // Refused before the row is touched, so a pair the roles file cannot
    // carry changes nothing at all.
    if (!RolesFile::CanStore(name, roles)) return false;
    // Held across the row and the roles file so that two saves of one name
    // cannot leave the row of one and the roles of the other.
    std::lock_guard lock(m_mutex);
    if (!Live()) return false;
    bool existed = false;
    std::optional<std::string> oldDepts;
    try {
        {
            OdbcStatement query(*m_connection, kDeptsOf);
            query.Execute({name});
            existed = query.Fetch();
            if (existed) oldDepts = query.Text(1);
        }
        if (existed) {
            m_connection->Execute(kUpdateDepts, {depts, roles, name});
        } else {
            m_connection->Execute(kInsertAdmin, {name, depts, roles});
        }
    } catch (const std::exception&) {
        return false;
    }
    if (!m_roles.Set(name, roles)) {
        // Neither changes: the row goes back to what it was.
        try {
            if (existed) {
                m_connection->Execute(kUndoUpdate,
                                      {oldDepts ? OdbcValue(*oldDepts) : OdbcValue(nullptr), name});
            } else {
                m_connection->Execute(kDeleteAdmin, {name});
            }
        } catch (const std::exception&) {
            // The journal stays, so the next start completes the save: the
            // two still end up changed together.
        }
        return false;
    }
    try {
        m_connection->Execute(kClearPending, {name, roles});
    } catch (const std::exception&) {
        // Left in the journal, the same roles are written again at the next
        // start, which changes nothing.
    }
    return true;
}

std::string AdminStore::AdoptRolesIntoStore() {
    try {
        m_connection->Execute(kAdoptPending);
        std::vector<std::string> names;
        {
            OdbcStatement query(*m_connection, kRowsWithoutRoles);
            query.Execute();
            while (query.Fetch()) {
                if (auto name = query.Text(1)) names.push_back(std::move(*name));
            }
        }
        std::shared_ptr<const RolesSnapshot> file = m_roles.Snapshot();
        if (!file) return "cannot read " + m_roles.Path().string() + " to take its roles over";
        for (const std::string& name : names) {
            m_connection->Execute(kAdoptFromFile, {file->Find(name), name});
        }
    } catch (const std::exception& e) {
        return std::string("cannot take the administrators' roles into the admin store: ") +
               e.what();
    }
    return {};
}

std::string AdminStore::FinishPendingSaves() {
    std::lock_guard lock(m_mutex);
    if (!Live()) return "the admin store is not open";
    if (m_rolesPlace == RolesPlace::kStore) {
        ChangeMark mark(m_generation);
        return AdoptRolesIntoStore();
    }
    std::vector<std::pair<std::string, std::string>> pending;
    std::string problem;
    try {
        OdbcStatement query(*m_connection, kPendingSaves);
        query.Execute();
        while (query.Fetch()) {
            std::optional<std::string> name = query.Text(1);
            std::optional<std::string> roles = query.Text(2);
            if (name && roles) pending.emplace_back(std::move(*name), std::move(*roles));
        }
        for (const auto& [name, roles] : pending) {
            if (m_roles.Set(name, roles)) {
                m_connection->Execute(kClearPending, {name, roles});
            } else {
                problem += (problem.empty() ? "" : ", ") + name;
            }
        }
    } catch (const std::exception& e) {
        return std::string("cannot finish interrupted administrator saves: ") + e.what();
    }
    if (problem.empty()) return {};
    return "cannot write " + m_roles.Path().string() +
           "; the roles of these administrators were saved in the admin store and will be "
           "written at the next start: " +
           problem;
}

bool AdminStore::SetPassword(const std::string& name, const std::string& password) {
    try {
        std::optional<std::string> hash = HashPassword(password);
        if (!hash) return false;
        std::lock_guard lock(m_mutex);
        if (!Live()) return false;
        m_connection->Execute(kSetPassword, {*hash, name});
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool AdminStore::DeleteAdmin(const std::string& name) {
    ChangeMark mark(m_generation);
    try {
        std::lock_guard lock(m_mutex);
        if (!Live()) return false;
        {
            // Removing the super administrator would lock everybody out.
            OdbcStatement query(*m_connection, kSuperFlagOf);
            query.Execute({name});
            while (query.Fetch()) {
                auto flag = query.Text(1);
                if (flag && !flag->empty()) return false;
            }
        }
        m_connection->Execute(kDeleteAdmin, {name});
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

std::string AdminStore::GetAdminRoles(const std::string& name) {
    if (m_rolesPlace == RolesPlace::kFile) return m_roles.Get(name);
    std::lock_guard lock(m_mutex);
    if (!Live()) throw std::runtime_error("the admin store is not open");
    OdbcStatement query(*m_connection, kRolesOf);
    query.Execute({name});
    if (!query.Fetch()) return {};
    return query.Text(1).value_or(std::string());
}

std::vector<std::filesystem::path> AdminStore::PrivateFiles() const {
    const std::filesystem::path data = DataFile();
    std::vector<std::filesystem::path> files{data, m_roles.Path()};
    // SQLite's side files of the data file, whichever journal mode the
    // connection string chose.
    for (const char* suffix : {"-journal", "-wal", "-shm"}) files.push_back(data.string() + suffix);
    return files;
}

std::vector<std::filesystem::path> AdminStore::RemoveLeftoverFiles() {
    std::vector<std::filesystem::path> removed = m_roles.RemoveLeftovers();
    for (auto& path : RemoveTemporarySiblings(DataFile())) removed.push_back(std::move(path));
    return removed;
}

bool AdminStore::SetAdminRoles(const std::string& name, const std::string& roles) {
    ChangeMark mark(m_generation);
    if (m_rolesPlace == RolesPlace::kFile) return m_roles.Set(name, roles);
    try {
        std::lock_guard lock(m_mutex);
        return Live() && m_connection->Execute(kSetRoles, {roles, name}) > 0;
    } catch (const std::exception&) {
        return false;
    }
}

bool AdminStore::HasAccount(const std::string& name) {
    try {
        std::lock_guard lock(m_mutex);
        if (!Live()) return false;
        OdbcStatement query(*m_connection, kFindAdmin);
        query.Execute({name});
        return query.Fetch();
    } catch (const std::exception&) {
        return false;
    }
}

std::optional<std::string> AdminStore::FindAdmin(const std::string& name) {
    std::lock_guard lock(m_mutex);
    if (!Live()) throw std::runtime_error("the admin store is not open");
    OdbcStatement query(*m_connection, kDeptsOf);
    query.Execute({name});
    if (!query.Fetch()) return std::nullopt;
    return query.Text(1).value_or(std::string());
}

}  // namespace warden
