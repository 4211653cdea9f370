// The work of one request on a worker thread: have it processed, and give
// the encoded reply back to its connection. Nothing that
// happens here can end the process: every failure, including one of the
// codec, is answered with the general error reply.
#pragma once

#include <memory>
#include <string>

namespace warden {

class CClientSocket;
class ServerEngine;

class CLogicProcessThread {
  public:
    // `text`: the request, decoded from GBK, whole and not blank.
    static void Run(ServerEngine& engine, std::shared_ptr<CClientSocket> connection,
                    std::string text) noexcept;
};

}  // namespace warden
