#include "server/store/TemporaryFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

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

bool WriteAll(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

std::string TemporaryPattern(const std::filesystem::path& target) {
    return target.string() + "." + std::string(kRandomPart, 'X');
}

bool ReplaceFile(const std::filesystem::path& target, const std::string& data, mode_t mode) {
    std::filesystem::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    std::string temp = TemporaryPattern(target);
    int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;
    // mkstemp creates the file for its owner alone; it is never readable by
    // more than `mode` allows, not even for a moment.
    bool ok = (mode == 0600 || ::fchmod(fd, mode) == 0) && WriteAll(fd, data) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok) ok = ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    // Make the rename itself durable; a failure here loses nothing already
    // visible, so it is not reported.
    int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
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
