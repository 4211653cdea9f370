// RolesAdmin.ini: the roles each second-level administrator may hand out, one
// section per account holding the key "ROLES". Written in UTF-8; a file in
// GBK, brought from an older installation, is read as well. Sections and
// keys are compared without regard to case.
//
// A write replaces the whole file by renaming a finished temporary file over
// it, so a reader or a crash sees the old file or the new one, never half.
// The file is readable by its owner only. Reads parse the file once and reuse
// the result until the file changes, so a file of many thousand accounts
// costs a stat per read, not a parse.
//
// Thread-safe: writers are serialised, so concurrent writes of different
// accounts all survive. (Several processes writing one file are not guarded.)
#pragma once

#include <sys/types.h>

#include <ctime>
#include <filesystem>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace warden {

// The whole file as read at one moment: every account's roles text.
class RolesSnapshot {
  public:
    // The roles text of `account` (sections compare in any ASCII case);
    // empty when the file has none.
    const std::string& Find(std::string_view account) const;

  private:
    friend class RolesFile;
    std::unordered_map<std::string, std::string> m_byAccount;  // key in ASCII lower case
};

class RolesFile {
  public:
    explicit RolesFile(std::filesystem::path file);

    // The roles text of `account`; empty when the file, the section or the
    // key is absent. Throws std::runtime_error when the file is there but
    // cannot be read: taken for "no roles", it would make a console that
    // edits the account save his roles away.
    std::string Get(const std::string& account) const;

    // Stores `roles` for `account`, creating the file and the section as
    // needed; false (and nothing written) when CanStore refuses or the file
    // cannot be written.
    bool Set(const std::string& account, const std::string& roles);

    // Whether the pair reads back as written: the format cannot carry line
    // breaks or other control characters anywhere, nor a "]" in a section
    // name or white space around it.
    static bool CanStore(const std::string& account, const std::string& roles);

    // The file as it is now: reparsed only when its identity, size or times
    // changed since the last read, by this process or another. An absent
    // file gives an empty snapshot; nullptr when the file exists but cannot
    // be read.
    std::shared_ptr<const RolesSnapshot> Snapshot() const;

    // Removes the temporary files that writes cut short by a crash left
    // beside the file. Returns their names.
    // REQUIRES: no other process writes the file meanwhile.
    std::vector<std::filesystem::path> RemoveLeftovers();

    const std::filesystem::path& Path() const { return m_file; }

  private:
    // What tells one version of the file from another without reading it.
    struct Signature {
        bool exists = false;
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        timespec modified{};
        timespec changed{};
        bool operator==(const Signature& other) const;
    };
    static Signature SignatureOf(const std::filesystem::path& file);

    const std::filesystem::path m_file;
    mutable std::mutex m_mutex;
    mutable std::shared_mutex m_snapshotMutex;  // guards the two below; readers share it
    mutable Signature m_signature;
    mutable std::shared_ptr<const RolesSnapshot> m_snapshot;
};

}  // namespace warden
