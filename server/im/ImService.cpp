#include "server/im/ImService.h"

#include "directory/ImError.h"

namespace warden {

void ImService::SetRoot(std::shared_ptr<ImRoot> root) {
    std::lock_guard lock(m_mutex);
    m_root = std::move(root);
}

std::shared_ptr<ImRoot> ImService::Root() const {
    std::lock_guard lock(m_mutex);
    if (!m_root) throw ImError(im_code::kNotConnected, "warden-server", "no IM directory");
    return m_root;
}

}  // namespace warden
