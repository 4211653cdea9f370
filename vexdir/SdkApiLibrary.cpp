// libSDKAPIC.so: the directory's function-table library. Only VEXGetSDKA is
// exported; no exception leaves an entry.
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <new>
#include <optional>
#include <string>

#include "directory/ImInstallDir.h"
#include "directory/SdkApi.h"
#include "vexdir/DeptOrder.h"
#include "vexdir/Sqlite.h"

struct VexSdkObject {
    std::string kind;
    std::string serverAddress;
    int32_t serverPort = 0;
    std::string lastError;  // what out3 of Execute points into
};

struct VexSdkPropertySet {
    // Upper-cased key -> value as text; numbers are kept in decimal.
    std::map<std::string, std::string> values;
};

namespace {

std::string UpperAscii(const char* text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

std::optional<std::string> VariantText(const VexSdkVariant* variant) {
    if (!variant) return std::nullopt;
    if (variant->type == VEXSDK_VT_INT) return std::to_string(variant->number);
    if (variant->type == VEXSDK_VT_TEXT && variant->text) return std::string(variant->text);
    return std::nullopt;
}

std::optional<int64_t> ParseDecimal(const std::string& text) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    long long value = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0') return std::nullopt;
    return value;
}

const std::string* Find(const VexSdkPropertySet& set, const char* key) {
    auto it = set.values.find(key);
    return it == set.values.end() ? nullptr : &it->second;
}

int32_t Fail(VexSdkObject* object, VexSdkVariant* out3, int32_t status, std::string why) {
    object->lastError = std::move(why);
    if (out3) *out3 = VexSdkVariant{VEXSDK_VT_TEXT, 0, object->lastError.c_str()};
    return status;
}

int32_t UpdateDept(VexSdkObject* object, const VexSdkPropertySet& props, int32_t* out1,
                   int32_t* out2, VexSdkVariant* out3) {
    const std::string* deptId = Find(props, "DEPTID");
    const std::string* sortId = Find(props, "SORTID");
    warden::vexdir::PlaceRequest request;
    auto id = deptId ? ParseDecimal(*deptId) : std::nullopt;
    auto sort = sortId ? ParseDecimal(*sortId) : std::nullopt;
    if (!id || !sort) {
        return Fail(object, out3, VEXSDK_E_ARGUMENT, "DEPTID and SortID must be decimal numbers");
    }
    request.deptId = *id;
    request.sortId = *sort;
    if (const std::string* parent = Find(props, "PDEPTID")) {
        request.expectedParent = ParseDecimal(*parent);
        if (!request.expectedParent) {
            return Fail(object, out3, VEXSDK_E_ARGUMENT, "PDEPTID must be a decimal number");
        }
    }
    if (const std::string* name = Find(props, "NAME")) request.expectedName = *name;

    std::filesystem::path installDir;
    if (const std::string* dir = Find(props, "INSTALLDIR"); dir && !dir->empty()) {
        installDir = *dir;
    } else if (const char* fromEnvironment = std::getenv("VEX_INSTALLDIR");
               fromEnvironment && *fromEnvironment) {
        installDir = fromEnvironment;
    } else {
        return Fail(object, out3, VEXSDK_E_NO_DIRECTORY,
                    "the directory's install folder is unknown (INSTALLDIR, VEX_INSTALLDIR)");
    }

    std::optional<warden::sqlite::Connection> db;
    try {
        // Never create: a missing file means a wrong folder, not an empty directory.
        db.emplace(warden::ImDatabasePath(installDir), false);
        // A new order is acknowledged to the console: it must survive a power
        // loss like every other change of the directory.
        db->Exec("PRAGMA synchronous = FULL;");
    } catch (const warden::sqlite::Error& e) {
        return Fail(object, out3, VEXSDK_E_NO_DIRECTORY, e.what());
    }
    try {
        auto result = warden::vexdir::PlaceDeptAmongSiblings(*db, request);
        if (out1) *out1 = result.renumbered;
        if (out2) *out2 = static_cast<int32_t>(result.newSortId);
        if (out3) *out3 = VexSdkVariant{VEXSDK_VT_EMPTY, 0, nullptr};
        return VEXSDK_OK;
    } catch (const warden::vexdir::PlaceError& e) {
        return Fail(object, out3,
                    e.GetKind() == warden::vexdir::PlaceError::Kind::kNotFound ? VEXSDK_E_NOT_FOUND
                                                                               : VEXSDK_E_CONFLICT,
                    e.what());
    } catch (const warden::sqlite::Error& e) {
        return Fail(object, out3, VEXSDK_E_DATABASE, e.what());
    }
}

// --- the entries ---

int32_t GetVersion() {
    return VEXSDK_TABLE_VERSION;
}

int32_t Initialize(void* buffer, int32_t size, int32_t flags) {
    (void)flags;
    // The caller hands over a zeroed scratch block; this library keeps no
    // per-caller state in it, so it only checks that it is usable.
    return buffer || size == 0 ? VEXSDK_OK : VEXSDK_E_ARGUMENT;
}

VexSdkObject* CreateObject(const char* kind) {
    if (!kind || UpperAscii(kind) != VEXSDK_OBJECT_DEPTMANAGER) return nullptr;
    auto* object = new (std::nothrow) VexSdkObject;
    if (object) object->kind = VEXSDK_OBJECT_DEPTMANAGER;
    return object;
}

VexSdkPropertySet* CreatePropertySet() {
    return new (std::nothrow) VexSdkPropertySet;
}

void ReleasePropertySet(VexSdkPropertySet* set) {
    delete set;
}

void ReleaseObject(VexSdkObject* object) {
    delete object;
}

int32_t SetProperty(VexSdkPropertySet* set, const VexSdkVariant* key, const VexSdkVariant* value) {
    if (!set || !key || key->type != VEXSDK_VT_TEXT || !key->text) return VEXSDK_E_ARGUMENT;
    try {
        auto text = VariantText(value);
        if (!text) return VEXSDK_E_ARGUMENT;
        set->values[UpperAscii(key->text)] = std::move(*text);
        return VEXSDK_OK;
    } catch (...) {
        return VEXSDK_E_ARGUMENT;
    }
}

int32_t SetServerAddress(VexSdkObject* object, const char* address) {
    if (!object || !address) return VEXSDK_E_ARGUMENT;
    try {
        // The directory is local: the address is kept, not connected to.
        object->serverAddress = address;
        return VEXSDK_OK;
    } catch (...) {
        return VEXSDK_E_ARGUMENT;
    }
}

int32_t SetServerPort(VexSdkObject* object, int32_t port) {
    if (!object || port < 0 || port > 65535) return VEXSDK_E_ARGUMENT;
    object->serverPort = port;
    return VEXSDK_OK;
}

int32_t Execute(VexSdkObject* object, VexSdkPropertySet* properties, int32_t command, int32_t* out1,
                int32_t* out2, VexSdkVariant* out3) {
    if (!object || !properties) return VEXSDK_E_ARGUMENT;
    try {
        if (command != VEXSDK_CMD_UPDATE_DEPT) {
            return Fail(object, out3, VEXSDK_E_COMMAND,
                        "unknown command " + std::to_string(command));
        }
        return UpdateDept(object, *properties, out1, out2, out3);
    } catch (...) {
        if (out3) *out3 = VexSdkVariant{VEXSDK_VT_EMPTY, 0, nullptr};
        return VEXSDK_E_DATABASE;
    }
}

const VexSdkApi kTable = {
    .GetVersion = GetVersion,
    .Initialize = Initialize,
    .CreateObject = CreateObject,
    .reserved3 = nullptr,
    .reserved4 = nullptr,
    .CreatePropertySet = CreatePropertySet,
    .ReleasePropertySet = ReleasePropertySet,
    .reserved7 = nullptr,
    .ReleaseObject = ReleaseObject,
    .SetProperty = SetProperty,
    .reserved10 = nullptr,
    .reserved11 = nullptr,
    .reserved12 = nullptr,
    .SetServerAddress = SetServerAddress,
    .reserved14 = nullptr,
    .reserved15 = nullptr,
    .SetServerPort = SetServerPort,
    .reserved17 = nullptr,
    .reserved18 = nullptr,
    .Execute = Execute,
};

}  // namespace

extern "C" __attribute__((visibility("default"))) const VexSdkApi* VEXGetSDKA(void) {
    return &kTable;
}
