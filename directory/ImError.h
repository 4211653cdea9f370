// The failure of a call into the IM directory: what the server reports for a
// COM error of the original SDK (code, source, description).
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace warden {

class ImError : public std::runtime_error {
  public:
    ImError(uint32_t code, std::string source, std::string description)
        : std::runtime_error(description.empty() ? "IM directory call failed" : description),
          m_code(code),
          m_source(std::move(source)),
          m_description(std::move(description)) {}

    uint32_t Code() const { return m_code; }  // an HRESULT-style code
    const std::string& Source() const { return m_source; }
    const std::string& Description() const { return m_description; }

  private:
    uint32_t m_code;
    std::string m_source;
    std::string m_description;
};

// Codes the embedded directory uses (HRESULT-style, facility ITF).
namespace im_code {
inline constexpr uint32_t kFail = 0x80004005;      // unspecified failure
inline constexpr uint32_t kNotFound = 0x80040201;  // department, user or role missing
inline constexpr uint32_t kAlreadyExists = 0x80040202;
inline constexpr uint32_t kNotEmpty = 0x80040203;  // department still has members
inline constexpr uint32_t kInvalidArgument = 0x80070057;
inline constexpr uint32_t kNotConnected = 0x80040204;  // no directory behind the root
inline constexpr uint32_t kUnreachable = 0x800706BA;   // no directory at that address
}  // namespace im_code

// Whether the directory refused what was asked (a name missing or taken, a
// department not empty, an argument it does not accept), rather than failed
// in itself. Handlers that have a text for a refusal use it only for these.
inline bool IsRefusal(const ImError& error) {
    switch (error.Code()) {
        case im_code::kNotFound:
        case im_code::kAlreadyExists:
        case im_code::kNotEmpty:
        case im_code::kInvalidArgument:
            return true;
        default:
            return false;
    }
}

}  // namespace warden
