#include "protocol/LengthFrame.h"

namespace warden {

void AppendLengthFrame(std::string& out, std::string_view body) {
    const auto size = static_cast<uint32_t>(body.size());
    const char header[kLengthFrameHeader] = {static_cast<char>(size >> 24),
                                             static_cast<char>(size >> 16),
                                             static_cast<char>(size >> 8), static_cast<char>(size)};
    out.reserve(out.size() + sizeof header + body.size());
    out.append(header, sizeof header);
    out.append(body);
}

std::string LengthFrame(std::string_view body) {
    std::string frame;
    AppendLengthFrame(frame, body);
    return frame;
}

LengthFrameScan ScanLengthFrame(std::string_view bytes, size_t maxBody) {
    LengthFrameScan scan;
    if (bytes.size() < kLengthFrameHeader) return scan;
    uint32_t size = 0;
    for (size_t i = 0; i < kLengthFrameHeader; ++i) {
        size = (size << 8) | static_cast<unsigned char>(bytes[i]);
    }
    scan.bodySize = size;
    if (size > maxBody) {
        scan.state = LengthFrameScan::State::kTooLarge;
    } else if (bytes.size() - kLengthFrameHeader >= size) {
        scan.state = LengthFrameScan::State::kComplete;
        scan.frameSize = kLengthFrameHeader + size;
    }
    return scan;
}

}  // namespace warden
