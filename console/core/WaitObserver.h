// Told about the console's waits for the server, so that the user interface
// can show the busy pointer and keep repainting while a reply is awaited.
//
// Thread-safety: none. Called on the user-interface thread.
#pragma once

namespace warden::console {

class WaitObserver {
  public:
    virtual ~WaitObserver() = default;

    // An exchange (or a connection attempt) starts.
    virtual void WaitBegins() = 0;
    // Called about every 10 milliseconds while nothing has arrived yet.
    // REQUIRES: must not send requests itself (user input is held back).
    virtual void StillWaiting() = 0;
    // The exchange is over, with or without a reply.
    virtual void WaitEnds() = 0;
};

}  // namespace warden::console
