// Holds the IM root object that the last successful Start created, for the
// request handlers. Start replaces it; handlers take a reference for the
// length of one request. Thread-safe.
#pragma once

#include <memory>
#include <mutex>

#include "directory/ImSdk.h"

namespace warden {

class ImService {
  public:
    void SetRoot(std::shared_ptr<ImRoot> root);

    // The current root. Throws ImError when Start has created none, so a
    // request that needs the directory gets the general error reply.
    std::shared_ptr<ImRoot> Root() const;

  private:
    mutable std::mutex m_mutex;
    std::shared_ptr<ImRoot> m_root;
};

}  // namespace warden
