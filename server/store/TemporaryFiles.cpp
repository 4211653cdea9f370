#include "server/store/TemporaryFiles.h"

#include <algorithm>

namespace warden {

namespace {

// mkstemp replaces the six X with letters and digits.
constexpr size_t kRandomPart = 6;

bool IsTemporaryName(const std::string& name, const std::string& prefix) {
    if (name.size() != prefix.size() + kRandomPart || !name.starts_with(prefix)) return false;
    return std::all_of(
        name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(), [](char c) {
            return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        });
}

}  // namespace

std::string TemporaryPattern(const std::filesystem::path& target) {
    return target.string() + "." + std::string(kRandomPart, 'X');
}

std::vector<std::filesystem::path> RemoveTemporarySiblings(const std::filesystem::path& target) {
    std::filesystem::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    const std::string prefix = target.filename().string() + ".";
    std::vector<std::filesystem::path> removed;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        std::error_code entryError;
        if (!entry.is_regular_file(entryError)) continue;
        if (!IsTemporaryName(entry.path().filename().string(), prefix)) continue;
        if (std::filesystem::remove(entry.path(), entryError)) removed.push_back(entry.path());
    }
    return removed;
}

}  // namespace warden
