#include "server/im/DeptOrdering.h"

#include <array>

#include "directory/ImInstallDir.h"
#include "server/im/SdkApiLibrary.h"
#include "server/store/Odbc.h"

namespace warden {

namespace {

VexSdkVariant Text(const std::string& text) {
    return {VEXSDK_VT_TEXT, 0, text.c_str()};
}

// The directory database through the SQLite3 ODBC driver. Timeout: how long
// to wait for a writer (milliseconds); NoCreat: a wrong folder must not leave
// an empty database behind.
std::string ConnectionString(const std::filesystem::path& file) {
    return "DRIVER=" + SqliteOdbcDriver() + ";Database=" + file.string() +
           ";Timeout=10000;NoCreat=1";
}

constexpr const char kFindDept[] =
    "SELECT DeptID, PDeptID, DeptName, SortID FROM vex_dept WHERE DeptName = ? AND PDeptID = ?";

}  // namespace

DeptOrdering::DeptOrdering() : m_reason("not opened") {}

DeptOrdering::DeptOrdering(const std::filesystem::path& installDir, std::string imAddress,
                           std::filesystem::path library) {
    Open(installDir, std::move(imAddress), std::move(library));
}

DeptOrdering::~DeptOrdering() = default;

bool DeptOrdering::Open(const std::filesystem::path& installDir, std::string imAddress,
                        std::filesystem::path library) {
    std::unique_ptr<OdbcConnection> connection;
    std::string reason;
    const auto file = ImDatabasePath(installDir);
    std::error_code ec;
    if (installDir.empty()) {
        reason = "the IM directory's install folder is unknown";
    } else if (!std::filesystem::is_regular_file(file, ec)) {
        reason = file.string() + " does not exist";
    } else {
        try {
            connection = std::make_unique<OdbcConnection>(ConnectionString(file));
            // Reading the table once proves the file is the directory's database.
            OdbcStatement probe(*connection, kFindDept);
            probe.Execute({std::string(), int64_t{-1}});
            probe.Fetch();
        } catch (const OdbcError& e) {
            connection.reset();
            reason = e.what();
        }
    }
    std::lock_guard lock(m_mutex);
    m_installDir = installDir;
    m_imAddress = std::move(imAddress);
    m_library = std::move(library);
    m_connection = std::move(connection);
    m_reason = std::move(reason);
    return m_connection != nullptr;
}

bool DeptOrdering::Available() const {
    std::lock_guard lock(m_mutex);
    return m_connection != nullptr;
}

std::string DeptOrdering::UnavailableReason() const {
    std::lock_guard lock(m_mutex);
    return m_reason;
}

std::optional<DeptRecord> DeptOrdering::FindDeptByPath(const std::vector<std::string>& pieces,
                                                       int64_t parent, size_t index) {
    std::string error;
    std::function<void(const std::string&)> report;
    {
        std::lock_guard lock(m_mutex);
        if (!m_connection || index >= pieces.size()) return std::nullopt;
        try {
            OdbcStatement find(*m_connection, kFindDept);
            for (size_t i = index; i < pieces.size(); ++i) {
                find.Execute({pieces[i], parent});
                if (!find.Fetch()) return std::nullopt;
                // Columns in order: not every driver reads them in any order.
                DeptRecord record;
                record.deptId = find.Integer(1).value_or(0);
                record.parentId = find.Integer(2).value_or(0);
                record.name = find.Text(3).value_or("");
                record.sortId = find.Integer(4).value_or(0);
                if (i + 1 == pieces.size()) return record;
                parent = record.deptId;
            }
        } catch (const OdbcError& e) {
            m_lastError = error = e.what();
            report = m_reportLookupError;
        }
    }
    if (report) report(error);
    return std::nullopt;
}

void DeptOrdering::SetLookupErrorReporter(std::function<void(const std::string&)> reporter) {
    std::lock_guard lock(m_mutex);
    m_reportLookupError = std::move(reporter);
}

bool DeptOrdering::MoveBefore(const std::vector<std::string>& deptPieces,
                              const std::vector<std::string>& nextPieces, bool isLast) {
    const std::optional<DeptRecord> dept = FindDeptByPath(deptPieces);
    if (!dept) return false;
    // Another reorder of these siblings between reading the next
    // department's place and writing could move it meanwhile.
    std::lock_guard siblings(
        m_siblingLocks[static_cast<uint64_t>(dept->parentId) % m_siblingLocks.size()]);
    const std::optional<DeptRecord> next = FindDeptByPath(nextPieces);
    // A position among other siblings than the department's own means nothing.
    if (!next || next->parentId != dept->parentId) return false;
    return SetDeptSortId(dept->deptId, dept->parentId, next->sortId, dept->name, isLast);
}

bool DeptOrdering::SetDeptSortId(int64_t deptId, int64_t parentId, int64_t sortId,
                                 const std::string& name, bool isLast) {
    if (m_beforeWrite) m_beforeWrite();
    std::filesystem::path libraryFile, installDir;
    std::string imAddress;
    {
        std::lock_guard lock(m_mutex);
        libraryFile = m_library;
        installDir = m_installDir;
        imAddress = m_imAddress;
    }
    std::string error;
    auto library = SdkApiLibrary::Load(libraryFile, error);
    if (!library) {
        SetLastError(error);
        return false;
    }
    const VexSdkApi& api = library->Api();
    std::array<unsigned char, 32> scratch{};
    api.Initialize(scratch.data(), static_cast<int32_t>(scratch.size()), 0);

    VexSdkObject* object = api.CreateObject(VEXSDK_OBJECT_DEPTMANAGER);
    if (!object) {
        SetLastError("the library has no " VEXSDK_OBJECT_DEPTMANAGER);
        return false;
    }
    api.SetServerAddress(object, imAddress.c_str());
    api.SetServerPort(object, VEXSDK_DEPT_SERVICE_PORT);
    VexSdkPropertySet* props = api.CreatePropertySet();
    if (!props) {
        api.ReleaseObject(object);
        SetLastError("the library cannot make a property set");
        return false;
    }
    const std::string values[][2] = {
        {"DEPTID", std::to_string(deptId)},
        {"NAME", name},
        {"INFO", ""},
        {"PDEPTID", std::to_string(parentId)},
        {"SortID", std::to_string(isLast ? sortId : sortId - 1)},
        // Tells the library which directory to change, so it needs no
        // environment of its own.
        {"INSTALLDIR", installDir.string()},
    };
    for (const auto& [key, value] : values) {
        const VexSdkVariant k = Text(key);
        const VexSdkVariant v = Text(value);
        api.SetProperty(props, &k, &v);
    }
    int32_t changed = 0;
    int32_t newSort = 0;
    VexSdkVariant detail{};
    const int32_t status =
        api.Execute(object, props, VEXSDK_CMD_UPDATE_DEPT, &changed, &newSort, &detail);
    if (status < 0) {
        SetLastError("status " + std::to_string(status) +
                     (detail.type == VEXSDK_VT_TEXT && detail.text ? std::string(": ") + detail.text
                                                                   : std::string()));
    }
    if (api.ReleasePropertySet) api.ReleasePropertySet(props);
    api.ReleaseObject(object);
    return status >= 0;
}

std::string DeptOrdering::LastError() const {
    std::lock_guard lock(m_mutex);
    return m_lastError;
}

void DeptOrdering::SetLastError(std::string error) {
    std::lock_guard lock(m_mutex);
    m_lastError = std::move(error);
}

}  // namespace warden
