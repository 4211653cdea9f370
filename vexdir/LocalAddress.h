// Whether an IM server address names this machine. The embedded directory
// runs inside the server's process, so it answers only at this machine's own
// addresses; any other address names a directory that is not there.
//
// Thread-safety: no state.
#pragma once

#include <string>
#include <string_view>

namespace warden::vexdir {

// True when `address` is a dotted IPv4 address of this machine: one of the
// loopback block 127.0.0.0/8 or of an interface's addresses (read from the
// system, nothing is sent anywhere). False otherwise, with `problem` saying
// why when the interfaces could not be read.
bool IsAddressOfThisMachine(std::string_view address, std::string& problem);

}  // namespace warden::vexdir
