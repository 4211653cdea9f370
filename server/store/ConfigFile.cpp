#include "server/store/ConfigFile.h"

#include <fstream>
#include <iterator>

#include "protocol/GbkCodec.h"

namespace warden {

std::optional<std::string> ReadConfigFile(const std::filesystem::path& file) {
    std::error_code ec;
    // Only a regular file: a folder or a device has no text to read.
    if (!std::filesystem::is_regular_file(file, ec)) return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    return ConfigTextToUtf8(bytes);
}

}  // namespace warden
