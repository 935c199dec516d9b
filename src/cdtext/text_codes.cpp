// The character codes of CD-TEXT packs into UTF-8. MS-JIS is Shift-JIS as Microsoft extends it, which glibc's
// iconv converts as CP932.
#include <iconv.h>

#include <algorithm>
#include <cerrno>

#include "cdtext/cd_text.h"

namespace ckvd::cdtext {

namespace {

constexpr uint8_t kLatin1 = 0x00, kAscii = 0x01, kMsJis = 0x80;
constexpr const char* kReplacement = "\xEF\xBF\xBD"; // U+FFFD

void AppendCodePoint(std::string& out, unsigned cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else {
        out += static_cast<char>(0xC0 | cp >> 6);
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// An iconv descriptor, closed with its owner; one a thread, opened when first used (iconv keeps state and may
// not be shared).
class Iconv {
  public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Iconv() {
        if (cd_ != reinterpret_cast<iconv_t>(-1))
            iconv_close(cd_);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

  protected:
    iconv_t cd_;
};

class Cp932 : public Iconv {
  public:
    Cp932() : Iconv("UTF-8", "CP932") {}

    std::string decode(std::string_view bytes) {
        std::string out;
        if (cd_ == reinterpret_cast<iconv_t>(-1)) { // no converter: the ASCII part only
            for (char c : bytes)
                out += static_cast<unsigned char>(c) < 0x80 ? std::string(1, c) : kReplacement;
            return out;
        }
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char* in = const_cast<char*>(bytes.data());
        size_t left = bytes.size();
        char buffer[256];
        while (left > 0) {
            char* to = buffer;
            size_t room = sizeof buffer;
            const size_t r = iconv(cd_, &in, &left, &to, &room);
            out.append(buffer, static_cast<size_t>(to - buffer));
            if (r == static_cast<size_t>(-1) && errno != E2BIG) { // a byte that begins no character
                out += kReplacement;
                ++in;
                --left;
                iconv(cd_, nullptr, nullptr, nullptr, nullptr);
            }
        }
        return out;
    }
};

// UTF-8 into MS-JIS one character at a time, so that a character without a code becomes '?' alone.
class ToCp932 : public Iconv {
  public:
    ToCp932() : Iconv("CP932", "UTF-8") {}

    // At most `limit` bytes, never half a character.
    std::string encode(std::string_view utf8, size_t limit) {
        std::string out;
        for (size_t i = 0; i < utf8.size();) {
            const auto c = static_cast<unsigned char>(utf8[i]);
            size_t len = c < 0x80           ? 1
                         : (c >> 5) == 0x06 ? 2
                         : (c >> 4) == 0x0E ? 3
                         : (c >> 3) == 0x1E ? 4
                                            : 1;
            len = std::min(len, utf8.size() - i);
            char buffer[8];
            char* in = const_cast<char*>(utf8.data() + i);
            char* to = buffer;
            size_t left = len, room = sizeof buffer;
            std::string_view bytes = "?";
            if (c >= 0x20 && cd_ != reinterpret_cast<iconv_t>(-1)) {
                iconv(cd_, nullptr, nullptr, nullptr, nullptr);
                if (iconv(cd_, &in, &left, &to, &room) != static_cast<size_t>(-1) && left == 0 && to > buffer)
                    bytes = std::string_view(buffer, static_cast<size_t>(to - buffer));
            }
            if (out.size() + bytes.size() > limit)
                break;
            out += bytes;
            i += len;
        }
        return out;
    }
};

} // namespace

std::string EncodeMsJis(std::string_view utf8, size_t limit) {
    thread_local ToCp932 converter;
    return converter.encode(utf8, limit);
}

std::string DecodeText(std::string_view bytes, uint8_t code) {
    if (code == kMsJis) {
        thread_local Cp932 converter;
        return converter.decode(bytes);
    }
    std::string out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        const bool printable =
            c >= 0x20 && c != 0x7F && (code == kAscii ? c < 0x80 : (c < 0x80 || c >= 0xA0));
        if (!printable || (code != kLatin1 && code != kAscii))
            out += printable && c < 0x80 ? std::string(1, ch) : kReplacement;
        else
            AppendCodePoint(out, c);
    }
    return out;
}

} // namespace ckvd::cdtext
