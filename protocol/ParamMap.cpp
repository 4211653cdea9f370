#include "protocol/ParamMap.h"

#include "protocol/SplitList.h"

namespace warden {

ParsedRequest ParseRequest(std::string_view text) {
    ParsedRequest request;
    text = Trim(text);
    if (text.empty()) return request;

    request.name = RequestNameOf(text);
    std::vector<std::string> pieces = SplitList(text, "?");
    if (pieces.size() != 2) return request;

    for (const std::string& item : SplitList(pieces[1], "`")) {
        size_t eq = item.find('=');
        if (eq == std::string::npos) {
            request.params.insert_or_assign(std::string{}, item);
        } else {
            request.params.insert_or_assign(item.substr(0, eq), item.substr(eq + 1));
        }
    }
    return request;
}

std::string_view RequestNameOf(std::string_view text) {
    // The first piece between "?"s, as SplitList cuts them.
    text = Trim(text);
    const size_t start = text.find_first_not_of('?');
    if (start == std::string_view::npos) return {};
    const size_t end = text.find('?', start);
    return text.substr(start, end == std::string_view::npos ? end : end - start);
}

const std::string& GetParam(const ParamMap& params, std::string_view key) {
    static const std::string kEmpty;
    auto it = params.find(key);
    return it == params.end() ? kEmpty : it->second;
}

}  // namespace warden
