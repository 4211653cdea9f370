// The back-ends that request handlers work on. The shell owns them for the
// whole run and fills this in before the first request; handlers only borrow.
#pragma once

namespace warden {

class AdminStore;
class ImService;
class DeptOrdering;

struct Services {
    AdminStore* adminStore = nullptr;
    ImService* im = nullptr;
    DeptOrdering* ordering = nullptr;
};

}  // namespace warden
