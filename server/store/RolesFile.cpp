#include "server/store/RolesFile.h"

#include <SimpleIni.h>
#include <sys/stat.h>

#include <cerrno>
#include <stdexcept>

#include "protocol/SplitList.h"
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

}  // namespace

RolesFile::RolesFile(std::filesystem::path file) : m_file(std::move(file)) {}

bool RolesFile::CanStore(const std::string& account, const std::string& roles) {
    if (HasControlCharacter(account) || HasControlCharacter(roles)) return false;
    if (account.find(']') != std::string::npos) return false;
    if (!account.empty() && (IsBlank(account.front()) || IsBlank(account.back()))) return false;
    return true;
}

std::string RolesFile::Get(const std::string& account) const {
    auto snapshot = Snapshot();
    // Taken for "no roles", an unreadable file would make a console that
    // edits the account save his roles away.
    if (!snapshot) throw std::runtime_error("cannot read " + m_file.string());
    return snapshot->Find(account);
}

const std::string& RolesSnapshot::Find(std::string_view account) const {
    static const std::string kNone;
    // Sections compare in any ASCII case, as profile files do.
    auto it = m_byAccount.find(LowerAscii(account));
    return it == m_byAccount.end() ? kNone : it->second;
}

bool RolesFile::Signature::operator==(const Signature& other) const {
    auto same = [](const timespec& a, const timespec& b) {
        return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
    };
    return exists == other.exists && device == other.device && inode == other.inode &&
           size == other.size && same(modified, other.modified) && same(changed, other.changed);
}

RolesFile::Signature RolesFile::SignatureOf(const std::filesystem::path& file) {
    Signature signature;
    struct stat st {};
    signature.exists = true;
    // Anything but a missing file is read, so that a file that cannot be
    // reached is reported rather than taken for an empty one.
    if (::stat(file.c_str(), &st) != 0) {
        signature.exists = errno != ENOENT && errno != ENOTDIR;
        return signature;
    }
    signature.device = st.st_dev;
    signature.inode = st.st_ino;
    signature.size = st.st_size;
    signature.modified = st.st_mtim;
    signature.changed = st.st_ctim;
    return signature;
}

std::shared_ptr<const RolesSnapshot> RolesFile::Snapshot() const {
    const Signature now = SignatureOf(m_file);
    {
        std::shared_lock lock(m_snapshotMutex);
        if (m_snapshot && now == m_signature) return m_snapshot;
    }
    std::unique_lock lock(m_snapshotMutex);
    if (m_snapshot && now == m_signature) return m_snapshot;

    auto snapshot = std::make_shared<RolesSnapshot>();
    if (now.exists) {
        RolesIni ini;
        const std::optional<std::string> text = ReadConfigFile(m_file);
        if (!text || ini.LoadData(text->data(), text->size()) < 0) return nullptr;
        CSimpleIniA::TNamesDepend sections;
        ini.GetAllSections(sections);
        for (const auto& section : sections) {
            snapshot->m_byAccount[LowerAscii(section.pItem)] =
                ini.GetValue(section.pItem, kRolesKey, "");
        }
    }
    // Taken before the read: a change during the read shows as a new
    // signature next time, so the worst case is one parse too many.
    m_signature = now;
    m_snapshot = std::move(snapshot);
    return m_snapshot;
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
