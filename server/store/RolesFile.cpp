#include "server/store/RolesFile.h"

#include <SimpleIni.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

#include "server/store/ConfigFile.h"
#include "server/store/TemporaryFiles.h"

namespace warden {

namespace {

constexpr const char kRolesKey[] = "ROLES";

// UTF-8 text, no duplicate keys, no multi-line values, "ROLES=…" without
// spaces: the plain format the file has always had.
struct RolesIni : CSimpleIniA {
    RolesIni() : CSimpleIniA(/*isUtf8=*/true, /*multiKey=*/false, /*multiLine=*/false) {
        SetSpaces(false);
    }
};

bool HasControlCharacter(const std::string& text) {
    for (unsigned char c : text) {
        if (c < 0x20 && c != '\t') return true;
        if (c == 0x7f) return true;
    }
    return false;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
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

// Writes `data` to a new file beside `target` and renames it over `target`.
bool ReplaceFile(const std::filesystem::path& target, const std::string& data) {
    std::filesystem::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    std::string temp = TemporaryPattern(target);
    int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;
    // mkstemp creates the file for its owner alone, and so it stays.
    bool ok = WriteAll(fd, data) && ::fsync(fd) == 0;
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

}  // namespace

RolesFile::RolesFile(std::filesystem::path file) : m_file(std::move(file)) {}

bool RolesFile::CanStore(const std::string& account, const std::string& roles) {
    if (HasControlCharacter(account) || HasControlCharacter(roles)) return false;
    if (account.find(']') != std::string::npos) return false;
    if (!account.empty() && (IsBlank(account.front()) || IsBlank(account.back()))) return false;
    return true;
}

std::string RolesFile::Get(const std::string& account) const {
    std::lock_guard lock(m_mutex);
    RolesIni ini;
    std::error_code ec;
    const auto status = std::filesystem::status(m_file, ec);
    if (status.type() == std::filesystem::file_type::not_found) return {};
    const std::optional<std::string> text = ReadConfigFile(m_file);
    if (!text || ini.LoadData(text->data(), text->size()) < 0) {
        throw std::runtime_error("cannot read " + m_file.string());
    }
    return ini.GetValue(account.c_str(), kRolesKey, "");
}

std::vector<std::filesystem::path> RolesFile::RemoveLeftovers() {
    std::lock_guard lock(m_mutex);
    return RemoveTemporarySiblings(m_file);
}

bool RolesFile::Set(const std::string& account, const std::string& roles) {
    if (!CanStore(account, roles)) return false;
    std::lock_guard lock(m_mutex);
    RolesIni ini;
    std::error_code ec;
    if (std::filesystem::exists(m_file, ec)) {
        // Never replace a file we could not read: its other sections would go.
        const std::optional<std::string> text = ReadConfigFile(m_file);
        if (!text || ini.LoadData(text->data(), text->size()) < 0) return false;
    } else if (ec) {
        return false;
    }
    if (ini.SetValue(account.c_str(), kRolesKey, roles.c_str()) < 0) return false;
    std::string data;
    if (ini.Save(data) < 0) return false;
    return ReplaceFile(m_file, data);
}

}  // namespace warden
