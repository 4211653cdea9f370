// Placing departments through the directory itself (ImDeptManager::
// PlaceDept), for a directory that keeps their order, as LDAP does.
//
// Thread-safe: reorders run one after the other, so that "before the next
// department" holds when the place is written.
#pragma once

#include <mutex>

#include "server/im/DeptPlacement.h"
#include "server/im/ImService.h"

namespace warden {

class DirectoryPlacement final : public DeptPlacement {
  public:
    explicit DirectoryPlacement(const ImService& im) : m_im(im) {}

    // While the current root places departments.
    bool Available() const override;
    bool MoveBefore(const std::vector<std::string>& deptPieces,
                    const std::vector<std::string>& nextPieces, bool isLast) override;

  private:
    const ImService& m_im;
    std::mutex m_mutex;
};

}  // namespace warden
