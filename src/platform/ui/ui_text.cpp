#include "platform/ui/ui_text.h"

#include "iso9660/iso9660.h"

namespace ckvd::ui {

QString SjisToQString(const char* sjis) {
    QString out;
    if (!sjis)
        return out;
    const auto* p = reinterpret_cast<const unsigned char*>(sjis);
    for (size_t i = 0; p[i] != 0;) {
        unsigned b = p[i];
        if (b < 0x80) {
            out += QChar(static_cast<char16_t>(b));
            ++i;
        } else if (b >= 0xA1 && b <= 0xDF) {
            out += QChar(static_cast<char16_t>(0xFF61 + (b - 0xA1)));
            ++i;
        } else if (p[i + 1] != 0) {
            uint16_t jis = Sjis_ToJis(static_cast<uint16_t>(b << 8 | p[i + 1]));
            uint16_t cp = jis ? Jis_ToUnicode(jis) : 0;
            out += QChar(static_cast<char16_t>(cp ? cp : 0xFFFD));
            i += 2;
        } else {
            out += QChar(static_cast<char16_t>(0xFFFD));
            ++i;
        }
    }
    return out;
}

} // namespace ckvd::ui
