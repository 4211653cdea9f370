// How a message travels inside TLS: a frame of a 4-byte unsigned big-endian
// length, then that many bytes of the same GBK text as on the plain port.
// A frame is whole as soon as its bytes have arrived: no quiet time, and a
// peer may send further frames before the replies to earlier ones come back
// (they are answered in order). A reply of length 0 answers a request that
// the plain port would leave without a reply, so replies stay paired with
// requests.
//
// Thread-safety: no state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace warden {

inline constexpr size_t kLengthFrameHeader = 4;

// Appends the frame of `body` to `out`.
void AppendLengthFrame(std::string& out, std::string_view body);

// The frame of `body`.
std::string LengthFrame(std::string_view body);

struct LengthFrameScan {
    enum class State { kIncomplete, kComplete, kTooLarge };
    State state = State::kIncomplete;
    size_t bodySize = 0;   // once the header is whole
    size_t frameSize = 0;  // header and body, when kComplete
};

// Looks at the frame that starts `bytes`: whole, still arriving, or longer
// than `maxBody` (known from the header alone, so a peer cannot make the
// reader wait for, or keep, more than that).
LengthFrameScan ScanLengthFrame(std::string_view bytes, size_t maxBody);

}  // namespace warden
