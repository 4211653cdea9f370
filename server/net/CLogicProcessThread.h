// The work of one request on a worker thread: read it with the framing rules,
// decode it from GBK, have it processed, encode and write the reply, then hand
// the connection back to the event thread (or release it).
#pragma once

#include <memory>

namespace warden {

class CClientSocket;
class ServerEngine;

class CLogicProcessThread {
  public:
    static void Run(ServerEngine& engine, std::shared_ptr<CClientSocket> connection);
};

}  // namespace warden
