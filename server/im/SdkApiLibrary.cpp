#include "server/im/SdkApiLibrary.h"

#include <dlfcn.h>

#include <system_error>

namespace warden {

std::unique_ptr<SdkApiLibrary> SdkApiLibrary::Load(const std::filesystem::path& file,
                                                   std::string& error) {
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        error = why ? why : "cannot load " + file.string();
        return nullptr;
    }
    auto getTable = reinterpret_cast<VexGetSdkAFunction>(dlsym(handle, VEXSDK_EXPORT_NAME));
    const VexSdkApi* api = getTable ? getTable() : nullptr;
    // Every entry the server calls must be there; a table without them is
    // as unusable as a missing one.
    if (!api || !api->Initialize || !api->CreateObject || !api->CreatePropertySet ||
        !api->ReleaseObject || !api->SetProperty || !api->SetServerAddress || !api->SetServerPort ||
        !api->Execute) {
        error = file.string() +
                (getTable ? ": incomplete function table" : ": no export " VEXSDK_EXPORT_NAME);
        dlclose(handle);
        return nullptr;
    }
    return std::unique_ptr<SdkApiLibrary>(new SdkApiLibrary(handle, api));
}

SdkApiLibrary::~SdkApiLibrary() {
    dlclose(m_handle);
}

std::filesystem::path SdkApiLibraryBesideProgram() {
    std::error_code ec;
    auto program = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return VEXSDK_LIBRARY_FILE;
    return program.parent_path() / VEXSDK_LIBRARY_FILE;
}

}  // namespace warden
