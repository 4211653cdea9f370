// The text the server shows when a call into the IM directory fails during
// start-up: code, its meaning, source and description, one per line.
#pragma once

#include <string>

#include "directory/ImError.h"

namespace warden {

std::string ReportComError(const ImError& error);

// The system's text for a well-known failure code, without a line break;
// empty when the code has none.
std::string SystemMessageFor(uint32_t code);

}  // namespace warden
