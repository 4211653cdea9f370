// Moving a department to another place among its siblings: the department
// numbers and sort positions are looked up in the IM directory's database
// through ODBC, and the new position is written through the directory's
// function-table library, loaded for each change.
//
// Thread-safety: all members may be called from any number of workers; the
// lookups share one ODBC connection under a mutex.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace warden {

class OdbcConnection;

// A department as the ordering lookup finds it.
struct DeptRecord {
    int64_t sortId = 0;
    int64_t parentId = 0;
    std::string name;
    int64_t deptId = 0;
};

class DeptOrdering {
  public:
    // Unavailable until opened.
    DeptOrdering();
    // Open(installDir, imAddress, library).
    DeptOrdering(const std::filesystem::path& installDir, std::string imAddress,
                 std::filesystem::path library);
    ~DeptOrdering();
    DeptOrdering(const DeptOrdering&) = delete;
    DeptOrdering& operator=(const DeptOrdering&) = delete;

    // Closes the connection of an earlier opening, then opens the database
    // below `installDir` (an empty path: no directory known). Never throws:
    // when there is no install directory or the database cannot be opened,
    // ordering is unavailable and UnavailableReason() tells why. `imAddress`
    // is the IM server address given to the library; `library` its file.
    // Safe while requests use the object: they see the old or the new state.
    bool Open(const std::filesystem::path& installDir, std::string imAddress,
              std::filesystem::path library);

    // DeptOrderingAvailable: the database was opened.
    bool Available() const;
    std::string UnavailableReason() const;

    // The department that `pieces` name from the top level down, starting
    // with pieces[index] under the parent number `parent`. nullopt when a
    // name is missing, `pieces` is empty, ordering is unavailable, or the
    // database fails (the failure is kept in LastError()).
    std::optional<DeptRecord> FindDeptByPath(const std::vector<std::string>& pieces,
                                             int64_t parent = 0, size_t index = 0);

    // Gives department `deptId` (under `parentId`, named `name`) the sort
    // position `sortId` when `isLast`, else `sortId` - 1: it then comes
    // right before the sibling that holds `sortId`, or after it when last.
    // False when the library cannot be loaded or the directory refuses; the
    // reason is kept in LastError().
    bool SetDeptSortId(int64_t deptId, int64_t parentId, int64_t sortId, const std::string& name,
                       bool isLast);

    std::string LastError() const;

  private:
    void SetLastError(std::string error);

    std::filesystem::path m_installDir;
    std::string m_imAddress;
    std::filesystem::path m_library;
    std::string m_reason;
    mutable std::mutex m_mutex;  // guards every member
    std::unique_ptr<OdbcConnection> m_connection;
    std::string m_lastError;
};

}  // namespace warden
