// The server's local control channel: a Unix socket in the base directory
// through which the server's own account (or root) on the same machine asks
// the running server to do what no console may, such as clearing login
// locks. Only the file system reaches it, never the network; the socket is
// made readable by its owner only, and every peer's credentials are checked
// besides (SO_PEERCRED), since a folder's permissions are easy to get wrong.
//
// Protocol: the client sends one command of lines ending in "\n" and then
// shuts its side down; the server answers text and closes.
//
// Thread-safety: Open and Close from one thread; the handler runs on the
// channel's own thread, one command at a time.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>

namespace warden {

// Who sent a command.
struct ControlPeer {
    uid_t uid = 0;
    pid_t pid = 0;
};

// The socket's place in a base directory.
std::filesystem::path ControlSocketPath(const std::filesystem::path& baseDir);

class ControlChannel {
  public:
    // Gets the command text (its lines, without the last line break) and
    // returns the answer.
    using Handler = std::function<std::string(const std::string& command, const ControlPeer&)>;

    ControlChannel() = default;
    ~ControlChannel();  // Close()
    ControlChannel(const ControlChannel&) = delete;
    ControlChannel& operator=(const ControlChannel&) = delete;

    // Listens at `path` and serves commands with `handler` until Close. A
    // socket file left by a server that is gone is replaced; one that a
    // running server answers on is not. False, with `problem` set, when the
    // channel cannot be opened.
    bool Open(const std::filesystem::path& path, Handler handler, std::string& problem);

    // Stops serving and removes the socket file. Idempotent.
    void Close();

  private:
    void Serve();
    void ServeOne(int fd);

    std::filesystem::path m_path;
    Handler m_handler;
    int m_listener = -1;
    int m_wake[2] = {-1, -1};  // written to by Close, to end the wait
    std::thread m_thread;
};

// Sends `command` to the channel at `path` and returns the answer; nullopt
// with `problem` set when no server answers there.
std::optional<std::string> SendControlCommand(const std::filesystem::path& path,
                                              const std::string& command, std::string& problem);

}  // namespace warden
