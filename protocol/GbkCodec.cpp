#include "protocol/GbkCodec.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace warden {

namespace {

// iconv descriptors carry conversion state, so they cannot be shared between
// threads; one pair per thread, opened on first use, closed at thread exit.
class Converter {
  public:
    Converter(const char* to, const char* from) : m_cd(::iconv_open(to, from)) {
        if (m_cd == reinterpret_cast<iconv_t>(-1)) {
            throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
        }
    }
    ~Converter() { ::iconv_close(m_cd); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    std::optional<std::string> Convert(std::string_view in) {
        ::iconv(m_cd, nullptr, nullptr, nullptr, nullptr);  // reset shift state
        std::string out(in.size() * 2 + 16, '\0');
        char* src = const_cast<char*>(in.data());
        size_t srcLeft = in.size();
        size_t done = 0;
        for (;;) {
            char* dst = out.data() + done;
            size_t dstLeft = out.size() - done;
            size_t r = ::iconv(m_cd, &src, &srcLeft, &dst, &dstLeft);
            done = out.size() - dstLeft;
            if (r != static_cast<size_t>(-1)) {
                // Flush any final state, then we are done.
                dst = out.data() + done;
                dstLeft = out.size() - done;
                if (::iconv(m_cd, nullptr, nullptr, &dst, &dstLeft) == static_cast<size_t>(-1)) {
                    return std::nullopt;
                }
                out.resize(out.size() - dstLeft);
                return out;
            }
            if (errno != E2BIG) return std::nullopt;  // EILSEQ or EINVAL: bad input
            out.resize(out.size() * 2);
        }
    }

  private:
    iconv_t m_cd;
};

}  // namespace

std::optional<std::string> GbkToUtf8(std::string_view gbk) {
    thread_local Converter converter("UTF-8", "GBK");
    return converter.Convert(gbk);
}

std::optional<std::string> Utf8ToGbk(std::string_view utf8) {
    thread_local Converter converter("GBK", "UTF-8");
    return converter.Convert(utf8);
}

}  // namespace warden
