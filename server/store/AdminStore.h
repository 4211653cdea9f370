// The server's own accounts: the super administrator's password and, for each
// second-level administrator, the departments he manages (table
// vex_2nd_admins, reached over ODBC) and the roles he may hand out
// (RolesAdmin.ini, or the row's column admin_roles when the roles are kept in
// the store, so that servers sharing the store share them). Files live below
// the server's base directory: DB/db.orig (template), DB/db.dat (live data),
// RolesAdmin.ini.
//
// Database errors never escape an account operation: they become false or an
// empty text, which the request handlers turn into their replies. A roles
// file that cannot be read is the exception (see GetAdminRoles).
//
// Thread-safe: every operation may run on any number of workers at once; the
// one connection is guarded (and remade when the database drops it), and a
// password hash is computed outside it.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "server/store/RolesFile.h"

namespace warden {

class OdbcConnection;

// The super administrator's account; the login compares it in any case.
inline constexpr const char kSuperAdminName[] = "admin";
// The password the shipped template gives the super administrator.
inline constexpr const char kInitialAdminPassword[] = "admin";

// The connection string used when server.cfg names none: the SQLite3 ODBC
// driver on the live data file, which must already exist, syncing every
// change to the disk before it returns.
std::string DefaultAdminStoreConnection();

// Where the roles second-level administrators may grant are kept.
enum class RolesPlace {
    kFile,   // RolesAdmin.ini in the base directory
    kStore,  // the column admin_roles of the administrator's row
};

class AdminStore {
  public:
    explicit AdminStore(std::filesystem::path baseDir, RolesPlace roles = RolesPlace::kFile);
    ~AdminStore();
    AdminStore(const AdminStore&) = delete;
    AdminStore& operator=(const AdminStore&) = delete;

    std::filesystem::path DataFile() const;      // DB/db.dat
    std::filesystem::path TemplateFile() const;  // DB/db.orig in the base directory

    // Whether the connection `connectionPattern` makes (see
    // FillConnectionString) reaches the data file DB/db.dat; only then does
    // the server make that file from the template.
    bool UsesDataFile(const std::string& connectionPattern) const;

    // `connectionPattern` with the base directory and the data file filled in.
    std::string ConnectionString(const std::string& connectionPattern) const;

    // Makes sure DB/db.dat exists: when it is missing, copies the template,
    // taken from the base directory or else from `programDir`/DB/db.orig. An
    // existing data file is never overwritten, and a copy that fails leaves
    // no partial file. On failure `problem` says why.
    bool EnsureDataFile(const std::filesystem::path& programDir, std::string& problem);

    // Connects with `connectionPattern` (see FillConnectionString: the base
    // directory and the data file fill its placeholders), adds what a store
    // made by an earlier version lacks (see StoreSchema.h: a store from
    // before the save journal gets its column pending_roles), and checks
    // that the table with the columns the store uses is there. Throws OdbcError with the
    // driver's text on failure (with a hint at --init-store when the
    // database holds no admin store). Before it succeeds every operation
    // below fails as on a database error.
    void OpenDatabase(const std::string& connectionPattern);

    // Connects as OpenDatabase does and creates whatever the store lacks, the
    // accounts table with the super administrator's row included. Returns
    // what it did, one line a step; empty when the store was complete. Does
    // not open the store. Throws OdbcError, or std::runtime_error for a
    // database system without a built-in schema.
    std::vector<std::string> InitDatabase(const std::string& connectionPattern);

    // True when `name` has a row whose password is `password`. A row that
    // still holds plain text is accepted once and rewritten as a hash.
    bool CheckLogin(const std::string& name, const std::string& password);

    // The departments text saved for `name`; empty when there is no row.
    std::string GetAdminDepts(const std::string& name);

    // The second-level administrators (rows without is_sadmin), sorted by
    // name, each followed by "|"; empty when there is none.
    std::string ListAdmins();

    // Gives `name` the departments text `depts`, adding the row (without a
    // password) when absent, and stores `roles`: both or neither. False, with
    // nothing changed, on a database error, or when the roles file cannot
    // carry the pair or cannot be written. With the roles in the file, they
    // go into the row's journal (pending_roles) with the departments, so a
    // save cut short by a crash is completed by FinishPendingSaves; with
    // them in the store, one statement writes both.
    bool SaveAdmin(const std::string& name, const std::string& depts, const std::string& roles);

    // Writes the roles of every save a crash interrupted into the roles file
    // and clears their journal. Run at start, after OpenDatabase. With the
    // roles in the store it moves such roles into the row instead, and gives
    // every row that holds no roles yet those RolesAdmin.ini has for it, so
    // that a store taking over from the file loses none. Empty when all is
    // done, else what could not be.
    std::string FinishPendingSaves();

    // Stores a hash of `password` for `name`; true also when no row matched.
    bool SetPassword(const std::string& name, const std::string& password);

    // Removes `name`'s row; true also when there is none. A super
    // administrator's row is never removed (false). Roles in the file stay;
    // roles in the store go with the row.
    bool DeleteAdmin(const std::string& name);

    // The roles text of `name` as it is now; empty when the roles file, the
    // section or the key is absent (in the store: the row or its roles).
    // Throws std::runtime_error when the roles file is there but cannot be
    // read, or the store cannot be asked.
    std::string GetAdminRoles(const std::string& name);
    // In the store, only a row's roles can be set (false without a row).
    bool SetAdminRoles(const std::string& name, const std::string& roles);

    // The files that hold password hashes or the administrators' data (some
    // may not exist): they are meant for the server's account alone.
    std::vector<std::filesystem::path> PrivateFiles() const;

    // Removes temporary files that a crash left beside the data file and the
    // roles file; returns their paths.
    // REQUIRES: no other process writes the store's files meanwhile.
    std::vector<std::filesystem::path> RemoveLeftoverFiles();

    // Whether `name` has a row; false on a database error.
    bool HasAccount(const std::string& name);

    // The departments text of `name`'s row (empty when null); nullopt when
    // there is no row. Unlike the operations above, a database error throws:
    // a permission decided on a failed read must not pass as "no row".
    std::optional<std::string> FindAdmin(const std::string& name);

    // Counts the changes made to rows and roles through this store; it moves
    // only after a change is complete, so a reader that took the count
    // before reading knows its copy is current while the count stays.
    uint64_t Generation() const { return m_generation.load(std::memory_order_acquire); }

    RolesPlace Roles() const { return m_rolesPlace; }

    // Whether the super administrator's password is still the initial one.
    bool HasInitialPassword();

  private:

    // The open connection, made anew first when the database has dropped it
    // (its server restarted, say), which would otherwise fail every request
    // until this server restarts; checked first when it has not been used
    // for a while. Null before OpenDatabase succeeded.
    // REQUIRES: m_mutex is held.
    OdbcConnection* Live();

    // Shared by CheckLogin and HasInitialPassword; rewrites only if `rehash`.
    bool VerifyAccount(const std::string& name, const std::string& password, bool rehash);

    // Moves the generation when the operation that holds it ends, whatever
    // way it ends: after the change, never before.
    struct ChangeMark {
        explicit ChangeMark(std::atomic<uint64_t>& generation) : m_generation(generation) {}
        ~ChangeMark() { m_generation.fetch_add(1, std::memory_order_release); }
        std::atomic<uint64_t>& m_generation;
    };

    // The two places SaveAdmin and FinishPendingSaves work on.
    // REQUIRES: m_mutex is held.
    bool SaveAdminInStore(const std::string& name, const std::string& depts,
                          const std::string& roles);
    std::string AdoptRolesIntoStore();

    const std::filesystem::path m_baseDir;
    const RolesPlace m_rolesPlace;
    std::atomic<uint64_t> m_generation{0};
    RolesFile m_roles;
    std::mutex m_mutex;  // guards m_connection and every statement on it
    std::unique_ptr<OdbcConnection> m_connection;
    std::string m_connectionString;  // what m_connection was made with
    std::chrono::steady_clock::time_point m_lastUse;
};

}  // namespace warden
