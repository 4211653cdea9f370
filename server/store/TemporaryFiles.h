// The temporary files that a file's writers make beside it (mkstemp with the
// pattern "<name>.XXXXXX") and rename over it, or link into place, once
// complete. A crash between the two leaves one behind.
//
// Thread-safety: no state; callers keep writers of the same file away.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace warden {

// The mkstemp pattern for a temporary file beside `target`.
std::string TemporaryPattern(const std::filesystem::path& target);

// Writes `data` to a new file beside `target`, with the permission bits
// `mode` from its creation on, makes it durable and renames it over
// `target`. False, and `target` untouched, when any step fails.
bool ReplaceFile(const std::filesystem::path& target, const std::string& data,
                 mode_t mode = 0600);

// Removes the regular files beside `target` whose names TemporaryPattern
// could have produced; returns the paths removed.
std::vector<std::filesystem::path> RemoveTemporarySiblings(const std::filesystem::path& target);

}  // namespace warden
