// Loading the IM directory's function-table library (libSDKAPIC.so) by path
// and holding it for the length of one use; unloading when destroyed.
//
// Thread-safety: each instance belongs to one thread; several instances (of
// the same file) may live at once, the loader counts them.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "directory/SdkApi.h"

namespace warden {

class SdkApiLibrary {
  public:
    // Loads `file`, finds VEXGetSDKA and takes the table from it. On failure
    // returns null and says why in `error`.
    static std::unique_ptr<SdkApiLibrary> Load(const std::filesystem::path& file,
                                               std::string& error);
    ~SdkApiLibrary();
    SdkApiLibrary(const SdkApiLibrary&) = delete;
    SdkApiLibrary& operator=(const SdkApiLibrary&) = delete;

    const VexSdkApi& Api() const { return *m_api; }

  private:
    SdkApiLibrary(void* handle, const VexSdkApi* api) : m_handle(handle), m_api(api) {}

    void* m_handle;
    const VexSdkApi* m_api;
};

// The library file beside the running program (/proc/self/exe).
std::filesystem::path SdkApiLibraryBesideProgram();

}  // namespace warden
