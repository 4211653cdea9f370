#include "vexdir/VexDirectory.h"

#include "directory/ImInstallDir.h"
#include "vexdir/VexRoot.h"

namespace warden {

std::shared_ptr<ImRoot> OpenVexDirectory(const std::filesystem::path& installDir) {
    return std::make_shared<vexdir::VexRoot>(ImDatabasePath(installDir));
}

}  // namespace warden
