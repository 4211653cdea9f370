// Connecting to the IM directory and registering this server with it as an
// application, then starting the registration.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "directory/ImSdk.h"
#include "server/shell/StartupView.h"

namespace warden {

// The fixed identity of this server as an application of the IM directory.
inline constexpr const char kAppGuid[] = "{5B0E6C3A-9D41-4F7B-8A26-3C1D7E90F4A2}";
inline constexpr const char kAppName[] = "VEXWardenServer";
inline constexpr const char kProgId[] = "Quillon.VEX.VEXWardenServer";
inline constexpr const char kReceiverName[] = "WARDEN_DATA_RECEIVER";
// The class identifier of the directory's root object: ours names the
// embedded directory.
inline constexpr const char kVexRootClassId[] = "{0C9A4E71-2F6B-4D58-B3E0-7A1F5D2C8E46}";

// Makes a new root object; nullptr or an exception when it cannot be made.
using RootFactory = std::function<std::shared_ptr<ImRoot>()>;

// Creates the root when `root` is empty (a failure leaves it empty without a
// message and counts as success: nothing more can be done), then registers and
// starts the application with `address`:`port`. Shows "启动成功" on success;
// every failure is shown through `view` and returns false.
bool ConnectAndRegister(std::shared_ptr<ImRoot>& root, const RootFactory& factory,
                        const std::string& address, int port, StartupView& view);

}  // namespace warden
