#include "protocol/LengthFraming.h"

namespace warden {

namespace {
constexpr size_t kKeptCapacity = 16 * 1024;
}

void AppendLengthFrame(std::string& out, std::string_view message) {
    const auto length = static_cast<uint32_t>(message.size());
    const char header[kLengthHeaderBytes] = {
        static_cast<char>(length >> 24), static_cast<char>(length >> 16),
        static_cast<char>(length >> 8), static_cast<char>(length)};
    out.append(header, kLengthHeaderBytes);
    out.append(message);
}

uint32_t ReadLengthHeader(const char* header) {
    const auto* b = reinterpret_cast<const unsigned char*>(header);
    return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
}

LengthFrameReader::State LengthFrameReader::Next(std::string& message) {
    if (Buffered() < kLengthHeaderBytes) return State::kNeedMore;
    const size_t length = ReadLengthHeader(m_buffer.data() + m_start);
    if (length > m_maxBytes) return State::kTooLarge;
    if (Buffered() - kLengthHeaderBytes < length) return State::kNeedMore;
    message.assign(m_buffer, m_start + kLengthHeaderBytes, length);
    m_start += kLengthHeaderBytes + length;
    // Moving the rest down only once most of the buffer is consumed keeps a
    // burst of small messages from being copied once per message.
    if (m_start == m_buffer.size()) {
        // An idle connection should not keep the memory of its longest message.
        if (m_buffer.capacity() > kKeptCapacity) {
            std::string().swap(m_buffer);
        } else {
            m_buffer.clear();
        }
        m_start = 0;
    } else if (m_start > m_buffer.size() / 2) {
        m_buffer.erase(0, m_start);
        m_start = 0;
    }
    return State::kMessage;
}

}  // namespace warden
