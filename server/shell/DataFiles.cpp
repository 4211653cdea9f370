#include "server/shell/DataFiles.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "directory/ImInstallDir.h"
#include "server/shell/StderrView.h"
#include "server/store/AdminStore.h"

namespace warden {

namespace {

std::string Octal(mode_t mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
    return text;
}

}  // namespace

std::vector<std::filesystem::path> ImPrivateFiles(const std::filesystem::path& imInstallDir) {
    const std::string database = ImDatabasePath(imInstallDir).string();
    return {database, database + "-wal", database + "-shm", database + "-journal"};
}

void RestrictToOwner(const std::vector<std::filesystem::path>& files) {
    for (const auto& file : files) {
        struct stat st {};
        // lstat: a link is left alone rather than followed to whatever it names.
        if (::lstat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        if ((st.st_mode & 077) == 0) continue;
        const mode_t tightened = st.st_mode & 07700;
        if (::chmod(file.c_str(), tightened) != 0) {
            SayOnStderr("warning: " + file.string() + " holds password hashes or personal data " +
                        "and is readable by others (mode " + Octal(st.st_mode) +
                        "), but its mode cannot be changed: " + std::strerror(errno));
            continue;
        }
        SayOnStderr(file.string() + " holds password hashes or personal data: its mode was " +
                    Octal(st.st_mode) + ", now " + Octal(tightened) + " (its owner only)");
    }
}

void PrepareDataFiles(AdminStore& store, const std::filesystem::path& imInstallDir) {
    for (const auto& file : store.RemoveLeftoverFiles()) {
        SayOnStderr("removed " + file.string() + ", left over from a write cut short");
    }
    std::vector<std::filesystem::path> files = store.PrivateFiles();
    for (auto& file : ImPrivateFiles(imInstallDir)) files.push_back(std::move(file));
    RestrictToOwner(files);
}

}  // namespace warden
