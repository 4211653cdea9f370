// The longest value the server accepts for each parameter that a change
// request stores: names, user fields, descriptions, passwords and the lists
// of departments and roles. One table covers every request, and it is
// checked before the handler runs, so a refused request writes nothing.
//
// Values that only name something already there (the department being
// renamed, moved or deleted, the user being changed) are not limited: what
// was stored before the limits existed can still be corrected or removed.
//
// Thread-safety: no state.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "protocol/ParamMap.h"

namespace warden {

// The refusal ("error:…") of the first value of `params` that exceeds its
// limit for the request named `request` (spelled as the request table spells
// it); nullopt when every value fits.
std::optional<std::string> CheckFieldLimits(std::string_view request, const ParamMap& params);

}  // namespace warden
