// Moving a department to another place among its siblings: the department
// numbers and sort positions are looked up in the IM directory's database
// through ODBC, and the new position is written through the directory's
// function-table library, loaded for each change.
//
// Thread-safety: all members may be called from any number of workers; the
// lookups share one ODBC connection under a mutex.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "server/im/DeptPlacement.h"

namespace warden {

class OdbcConnection;

// A department as the ordering lookup finds it.
struct DeptRecord {
    int64_t sortId = 0;
    int64_t parentId = 0;
    std::string name;
    int64_t deptId = 0;
};

class DeptOrdering final : public DeptPlacement {
  public:
    // Unavailable until opened.
    DeptOrdering();
    // Open(installDir, imAddress, library).
    DeptOrdering(const std::filesystem::path& installDir, std::string imAddress,
                 std::filesystem::path library);
    ~DeptOrdering() override;
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
    bool Available() const override;
    std::string UnavailableReason() const;

    // The department that `pieces` name from the top level down, starting
    // with pieces[index] under the parent number `parent`. nullopt when a
    // name is missing, `pieces` is empty, ordering is unavailable, or the
    // database fails (the failure is kept in LastError() and given to the
    // lookup error reporter).
    std::optional<DeptRecord> FindDeptByPath(const std::vector<std::string>& pieces,
                                             int64_t parent = 0, size_t index = 0);

    // Called, on the worker that met it and without any lock held, with the
    // text of each database error of a lookup. Set before the first request.
    void SetLookupErrorReporter(std::function<void(const std::string&)> reporter);

    // Moves the department `deptPieces` names right before its sibling
    // `nextPieces` names, or right after it when `isLast` (the console sends
    // the last sibling then). False when either is not found or they are
    // not siblings (nothing to place by), or the change fails. Reorders among
    // the same siblings run one after the other, from the lookup of the
    // place to its write, so "before next" holds when it is written.
    bool MoveBefore(const std::vector<std::string>& deptPieces,
                    const std::vector<std::string>& nextPieces, bool isLast) override;

    // Gives department `deptId` (under `parentId`, named `name`) the sort
    // position `sortId` when `isLast`, else `sortId` - 1: it then comes
    // right before the sibling that holds `sortId`, or after it when last.
    // False when the library cannot be loaded or the directory refuses; the
    // reason is kept in LastError().
    bool SetDeptSortId(int64_t deptId, int64_t parentId, int64_t sortId, const std::string& name,
                       bool isLast);

    std::string LastError() const;

    // Test hook: runs at the start of every SetDeptSortId, on its thread.
    void SetBeforeWriteForTest(std::function<void()> hook) { m_beforeWrite = std::move(hook); }

  private:
    void SetLastError(std::string error);

    std::filesystem::path m_installDir;
    std::string m_imAddress;
    std::filesystem::path m_library;
    std::string m_reason;
    mutable std::mutex m_mutex;  // guards every member
    std::unique_ptr<OdbcConnection> m_connection;
    std::string m_lastError;
    std::function<void(const std::string&)> m_reportLookupError;
    std::function<void()> m_beforeWrite;
    // One lock per parent would grow without bound; parents share these.
    std::array<std::mutex, 64> m_siblingLocks;
};

}  // namespace warden
