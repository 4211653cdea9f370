// Turns a reply text into the bytes sent on the wire, without ever failing:
// whatever goes wrong on the way (a codec without resources, memory) turns
// into the general error reply, whose bytes are fixed here so that sending it
// needs no codec at all.
//
// Thread-safety: stateless; callable from any thread.
#pragma once

#include <string>

namespace warden {

// The general error reply in GBK.
const std::string& GeneralErrorWire();

// `utf8` in GBK. A character GBK cannot carry (never entered through a
// console) is sent as the codec's substitute rather than losing the reply;
// an empty text stays empty (no reply).
std::string EncodeReply(const std::string& utf8) noexcept;

}  // namespace warden
