// How one message travels inside TLS: a 4-byte unsigned big-endian length,
// then exactly that many bytes of the same GBK text as on the plain port.
// Unlike the plain port's framing, a message is whole the moment its last
// byte arrives, and several may follow one another on the stream without a
// pause, so requests can be pipelined. A message of length 0 is a real
// message: the server's answer to a request the plain port would leave
// unanswered, so that replies stay paired with requests.
//
// LengthFrameReader holds the rule without a socket: bytes go in as they are
// read, whole messages come out in order.
//
// Thread-safety: a LengthFrameReader belongs to one reader at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace warden {

inline constexpr size_t kLengthHeaderBytes = 4;
// The most a 4-byte length can say.
inline constexpr size_t kMaxLengthFrame = 0xFFFF'FFFFu;

// Appends the header and `message` to `out`.
// REQUIRES: message.size() <= kMaxLengthFrame.
void AppendLengthFrame(std::string& out, std::string_view message);

// The length that the 4 bytes at `header` announce.
uint32_t ReadLengthHeader(const char* header);

class LengthFrameReader {
  public:
    enum class State { kNeedMore, kMessage, kTooLarge };

    // Messages longer than `maxBytes` are refused as soon as their header
    // has arrived, before any of their body is held.
    explicit LengthFrameReader(size_t maxBytes) : m_maxBytes(maxBytes) {}

    // Keeps `bytes` after whatever has arrived before.
    void Add(std::string_view bytes) { m_buffer.append(bytes); }

    // Takes the next whole message into `message` (kMessage), or says that
    // none is whole yet (kNeedMore) or that the next one is over the limit
    // (kTooLarge; the stream is unusable from there on).
    State Next(std::string& message);

    // Bytes held that do not yet make a whole message.
    size_t Buffered() const { return m_buffer.size() - m_start; }
    // True when some of a message has arrived but not all of it.
    bool InsideMessage() const { return Buffered() > 0; }

  private:
    size_t m_maxBytes;
    std::string m_buffer;
    size_t m_start = 0;  // where the next message begins in m_buffer
};

}  // namespace warden
