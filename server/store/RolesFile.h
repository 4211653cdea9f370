// RolesAdmin.ini: the roles each second-level administrator may hand out, one
// section per account holding the key "ROLES". Written in UTF-8; a file in
// GBK, brought from an older installation, is read as well. Sections and
// keys are compared without regard to case.
//
// A write replaces the whole file by renaming a finished temporary file over
// it, so a reader or a crash sees the old file or the new one, never half.
// The file is readable by its owner only.
//
// Thread-safe: writers are serialised, so concurrent writes of different
// accounts all survive. (Several processes writing one file are not guarded.)
#pragma once

#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace warden {

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

    // Removes the temporary files that writes cut short by a crash left
    // beside the file. Returns their names.
    // REQUIRES: no other process writes the file meanwhile.
    std::vector<std::filesystem::path> RemoveLeftovers();

    const std::filesystem::path& Path() const { return m_file; }

  private:
    const std::filesystem::path m_file;
    mutable std::mutex m_mutex;
};

}  // namespace warden
