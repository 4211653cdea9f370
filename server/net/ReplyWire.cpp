#include "server/net/ReplyWire.h"

#include <algorithm>

#include "protocol/GbkCodec.h"

namespace warden {

const std::string& GeneralErrorWire() {
    // "error:处理请求失败,请检查数据后重新提交" in GBK.
    static const std::string wire(
        "error:\xb4\xa6\xc0\xed\xc7\xeb\xc7\xf3\xca\xa7\xb0\xdc,\xc7\xeb\xbc\xec\xb2\xe9\xca\xfd"
        "\xbe\xdd\xba\xf3\xd6\xd8\xd0\xc2\xcc\xe1\xbd\xbb");
    return wire;
}

std::string EncodeReply(const std::string& utf8) noexcept {
    try {
        if (auto gbk = Utf8ToGbk(utf8)) return *std::move(gbk);
        std::string out;
        size_t i = 0;
        while (i < utf8.size()) {
            unsigned char lead = static_cast<unsigned char>(utf8[i]);
            size_t len = lead < 0x80    ? 1
                         : lead >= 0xF0 ? 4
                         : lead >= 0xE0 ? 3
                         : lead >= 0xC0 ? 2
                                        : 1;
            len = std::min(len, utf8.size() - i);
            auto piece = Utf8ToGbk(std::string_view(utf8).substr(i, len));
            out += piece ? *piece : "?";
            i += len;
        }
        return out;
    } catch (...) {
        try {
            return GeneralErrorWire();
        } catch (...) {
            return {};  // not even memory for the refusal: no reply
        }
    }
}

}  // namespace warden
