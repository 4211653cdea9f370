// client.cfg: the server address and port of the last login, one line of
// "address:port" without a line end, in the console's start directory.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace warden::console {

inline constexpr const char kClientConfigName[] = "client.cfg";

struct ServerAddress {
    std::string address;
    std::string port;
};

// The address before the first ":" (empty without a colon) and the port
// after it (the whole text without a colon), each trimmed. Reads at most
// 259 bytes, as UTF-8, or as GBK when they are not UTF-8 (the file of an
// older console); written in UTF-8. nullopt when the file cannot be opened
// or is neither.
std::optional<ServerAddress> ReadClientConfig(const std::filesystem::path& file);

// Replaces the file with address ":" port. The text goes to a temporary file
// that is renamed over the old one, so a failed write never leaves half a
// line. Returns false when it could not be written.
bool WriteClientConfig(const std::filesystem::path& file, const ServerAddress& server);

}  // namespace warden::console
