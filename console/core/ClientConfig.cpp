#include "console/core/ClientConfig.h"

#include <cstdio>
#include <fstream>
#include <system_error>

#include "console/core/ConsoleSocket.h"
#include "protocol/GbkCodec.h"
#include "protocol/SplitList.h"

namespace warden::console {

namespace {

constexpr size_t kMaxFirstLineBytes = 259;
// Far more than any number of servers an administrator keeps.
constexpr size_t kMaxConfigBytes = 1 << 20;
constexpr std::string_view kTransportKey = "transport=";
constexpr std::string_view kTrustedKey = "trusted=";
constexpr std::string_view kTls = "tls";
constexpr std::string_view kPlain = "plain";

std::string UpperAscii(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return upper;
}

ServerAddress ParseServerLine(std::string_view line) {
    line = line.substr(0, kMaxFirstLineBytes);
    ServerAddress server;
    size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
        server.port = Trim(line);
    } else {
        server.address = Trim(line.substr(0, colon));
        server.port = Trim(line.substr(colon + 1));
    }
    return server;
}

void ParseOwnLine(std::string_view line, ClientConfig& config) {
    line = Trim(line);
    if (line.starts_with(kTransportKey)) {
        std::string_view value = line.substr(kTransportKey.size());
        if (value == kTls) config.security = WireSecurity::kTls;
        if (value == kPlain) config.security = WireSecurity::kPlain;
    } else if (line.starts_with(kTrustedKey)) {
        std::string_view entry = line.substr(kTrustedKey.size());
        size_t space = entry.find(' ');
        if (space == std::string_view::npos) return;
        std::string_view key = entry.substr(0, space);
        size_t colon = key.rfind(':');
        std::string_view fingerprint = Trim(entry.substr(space + 1));
        if (colon == std::string_view::npos || fingerprint.empty()) return;
        config.trusted[TrustKey(key.substr(0, colon), key.substr(colon + 1))] =
            UpperAscii(fingerprint);
    }
}

}  // namespace

std::string TrustKey(std::string_view address, std::string_view port) {
    return LowerAscii(Trim(address)) + ":" + std::to_string(ParsePortText(port));
}

std::optional<ClientConfig> ReadClientConfig(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::string text(kMaxConfigBytes, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(in.gcount()));
    if (size_t zero = text.find('\0'); zero != std::string::npos) text.resize(zero);
    std::optional<std::string> utf8 = ConfigTextToUtf8(text);  // GBK from older consoles
    if (!utf8) return std::nullopt;

    ClientConfig config;
    std::string_view rest = *utf8;
    size_t end = rest.find('\n');
    config.server = ParseServerLine(rest.substr(0, end));
    while (end != std::string_view::npos) {
        rest.remove_prefix(end + 1);
        end = rest.find('\n');
        ParseOwnLine(rest.substr(0, end), config);
    }
    return config;
}

bool WriteClientConfig(const std::filesystem::path& file, const ClientConfig& config) {
    std::filesystem::path temporary = file;
    temporary += ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out << config.server.address << ':' << config.server.port << '\n';
        if (config.security) {
            out << kTransportKey << (*config.security == WireSecurity::kTls ? kTls : kPlain)
                << '\n';
        }
        for (const auto& [key, fingerprint] : config.trusted) {
            out << kTrustedKey << key << ' ' << fingerprint << '\n';
        }
        out.flush();
        if (!out) {
            out.close();
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            return false;
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, file, error);
    if (error) {
        std::filesystem::remove(temporary, error);
        return false;
    }
    return true;
}

}  // namespace warden::console
