// Keeps the window alive while a reply is awaited: repaints and timers go on,
// user input waits until the exchange is over, and the busy pointer shows
// once a wait lasts longer than one 10 ms slice (so quick exchanges do not
// make the pointer flicker).
//
// Thread-safety: GUI thread only.
#pragma once

#include "console/core/WaitObserver.h"

namespace warden::console {

class QtWaitObserver final : public WaitObserver {
  public:
    void WaitBegins() override { m_pointerShown = false; }
    void StillWaiting() override;
    void WaitEnds() override;

  private:
    bool m_pointerShown = false;
};

}  // namespace warden::console
