#include "console/core/ClientConfig.h"

#include <cstdio>
#include <fstream>
#include <system_error>

#include "protocol/GbkCodec.h"
#include "protocol/SplitList.h"

namespace warden::console {

namespace {
constexpr size_t kMaxConfigBytes = 259;
}

std::optional<ServerAddress> ReadClientConfig(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::string text(kMaxConfigBytes, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(in.gcount()));
    if (size_t zero = text.find('\0'); zero != std::string::npos) text.resize(zero);
    std::optional<std::string> utf8 = ConfigTextToUtf8(text);  // GBK from older consoles
    if (!utf8) return std::nullopt;
    text = std::move(*utf8);

    ServerAddress server;
    size_t colon = text.find(':');
    if (colon == std::string::npos) {
        server.port = Trim(text);
    } else {
        server.address = Trim(std::string_view(text).substr(0, colon));
        server.port = Trim(std::string_view(text).substr(colon + 1));
    }
    return server;
}

bool WriteClientConfig(const std::filesystem::path& file, const ServerAddress& server) {
    std::filesystem::path temporary = file;
    temporary += ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out << server.address << ':' << server.port;
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
