// Reply texts and prefixes shared by both ends of the protocol.
#pragma once

namespace warden::reply {

// Prefixes that tell the console how to show a reply.
inline constexpr const char kErrorPrefix[] = "error:";
inline constexpr const char kInfoPrefix[] = "info:";

// "Nothing to report": an empty text can never be sent as a message.
inline constexpr const char kNothing[] = " ";

// The answer to any failure a handler does not handle itself.
inline constexpr const char kGeneralError[] = "error:处理请求失败,请检查数据后重新提交";

// The answer to a request on a connection without a login, or whose login
// has ended (idle too long, too old, or its password changed).
inline constexpr const char kLoginRequired[] = "error:请先登录";
// A request refused for who sent it: the sender may not have it carried out.
inline constexpr const char kNotPermitted[] = "error:没有权限执行此操作";

// The protocol version a console sends at login; the server accepts no other.
inline constexpr const char kProtocolVersion[] = "1.5";

}  // namespace warden::reply
