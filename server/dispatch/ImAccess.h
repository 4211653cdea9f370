// How a handler reaches the IM directory for the length of one request.
#pragma once

#include <memory>

#include "server/dispatch/Handler.h"
#include "directory/ImError.h"
#include "server/im/ImService.h"

namespace warden {

// The current root. Throws ImError when the server has no directory (none
// configured, or Start has not connected one), so the request gets the
// general error reply, or the handler's own text where it catches failures.
inline std::shared_ptr<ImRoot> ImRootOf(const RequestContext& context) {
    if (context.services.im == nullptr) {
        throw ImError(im_code::kNotConnected, "warden-server", "no IM directory");
    }
    return context.services.im->Root();
}

}  // namespace warden
