// client.cfg, in the console's start directory. Its first line is the one an
// older console wrote and reads: the server address and port of the last
// login, "address:port". Lines after it are the console's own:
//
//   transport=tls|plain          how the last login connected
//   trusted=ADDRESS:PORT FINGERPRINT
//                                a server certificate the administrator
//                                accepted at the first connection, one line
//                                per address and port
//
// An older console reads the first line as before (its port is what follows
// the colon, up to the first character that is not a digit).
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "console/core/Transport.h"

namespace warden::console {

inline constexpr const char kClientConfigName[] = "client.cfg";

struct ServerAddress {
    std::string address;
    std::string port;
};

struct ClientConfig {
    ServerAddress server;
    // nullopt for a file without the line: one an older console wrote.
    std::optional<WireSecurity> security;
    std::map<std::string, std::string> trusted;  // TrustKey -> fingerprint
};

// The key of a trusted certificate: the address in lower case (host names
// are not case-sensitive), ":" and the port as a plain decimal number.
std::string TrustKey(std::string_view address, std::string_view port);

// The first line: the address before the first ":" (empty without a colon)
// and the port after it (the whole line without a colon), each trimmed; at
// most 259 bytes of it are read. The file is read as UTF-8, or as GBK when
// it is not UTF-8 (the file of an older console). nullopt when the file
// cannot be opened or is neither. Lines it does not know are ignored.
std::optional<ClientConfig> ReadClientConfig(const std::filesystem::path& file);

// Replaces the file, in UTF-8. The text goes to a temporary file that is
// renamed over the old one, so a failed write never leaves half a file.
// Returns false when it could not be written.
bool WriteClientConfig(const std::filesystem::path& file, const ClientConfig& config);

}  // namespace warden::console
