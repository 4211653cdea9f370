// A request text taken apart: its name and its parameters.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace warden {

// Parameters of one request. Keys are compared exactly; a repeated key keeps
// the value of its last occurrence.
using ParamMap = std::map<std::string, std::string, std::less<>>;

struct ParsedRequest {
    std::string name;  // empty when the text held no request name
    ParamMap params;
};

// Splits "name?key=value`key=value" into its name and parameters. White space
// around the text is ignored. A text with no "?" or with more than one "?" has
// no parameters at all. Only the first "=" of an item separates key and value;
// an item without "=" lands under the empty key.
ParsedRequest ParseRequest(std::string_view text);

// The name ParseRequest would find, without taking the parameters apart.
std::string_view RequestNameOf(std::string_view text);

// The value of `key`, or the empty text when the request did not carry it.
const std::string& GetParam(const ParamMap& params, std::string_view key);

}  // namespace warden
