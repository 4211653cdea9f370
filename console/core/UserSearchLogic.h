// The search box of the main window: what it asks the server as the text is
// typed, and what it shows. Texts the server would refuse (shorter than two
// characters, holding "`" or "?") are not sent; a note says why instead, so
// typing never pops up a message box.
//
// Thread-safety: none; used on the user-interface thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "console/core/Transport.h"
#include "protocol/UserSearch.h"

namespace warden::console {

class UserSearchLogic {
  public:
    // REQUIRES: `transport` outlives this object.
    explicit UserSearchLogic(Transport& transport) : m_transport(transport) {}

    // Searches for `typed` (blanks around it dropped); false when nothing
    // was asked (the same text as last time, or one that cannot be sent).
    bool Search(std::string_view typed);
    void Clear();

    const std::vector<UserHit>& Hits() const { return m_hits; }
    // One line under the box: how many were found, or why none were.
    const std::string& Note() const { return m_note; }

    // How many users one search shows at most.
    static constexpr int kShown = 100;

  private:
    Transport& m_transport;
    std::string m_asked;
    std::vector<UserHit> m_hits;
    std::string m_note;
};

}  // namespace warden::console
