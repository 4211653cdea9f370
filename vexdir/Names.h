// The directory's text rules (directory/TextRules.h), with the embedded
// directory named as the source of a refusal.
#pragma once

#include <string_view>

#include "directory/TextRules.h"
#include "vexdir/VexDatabase.h"

namespace warden::vexdir {

inline void CheckName(std::string_view what, std::string_view name) {
    warden::CheckName(kErrorSource, what, name);
}
inline void CheckDeptName(std::string_view name) {
    warden::CheckDeptName(kErrorSource, name);
}
inline void CheckText(std::string_view what, std::string_view text) {
    warden::CheckText(kErrorSource, what, text);
}

}  // namespace warden::vexdir
