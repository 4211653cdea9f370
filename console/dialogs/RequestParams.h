// Composes the parameter text of a request: items of a key, "=" and the
// value, joined by "`", in the order given. Values go out exactly as the
// user typed them; the protocol escapes nothing.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

namespace warden::console {

using ParamItem = std::pair<std::string_view, std::string_view>;

template <typename Items>
std::string ComposeParams(const Items& items) {
    std::string text;
    for (const ParamItem& item : items) {
        if (!text.empty()) text += '`';
        text.append(item.first).append("=").append(item.second);
    }
    return text;
}

inline std::string ComposeParams(std::initializer_list<ParamItem> items) {
    return ComposeParams<std::initializer_list<ParamItem>>(items);
}

}  // namespace warden::console
