#include "server/net/ReplyWire.h"

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
        return Utf8ToGbkSubstituting(utf8);
    } catch (...) {
        try {
            return GeneralErrorWire();
        } catch (...) {
            return {};  // not even memory for the refusal: no reply
        }
    }
}

}  // namespace warden
