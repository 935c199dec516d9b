// Shift-JIS text of the engine to QString, through the inverse of the character conversion's JIS table.
#pragma once

#include <QString>
#include <string>

namespace ckvd::ui {

// ASCII and half-width katakana map directly; a double-byte character through Sjis_ToJis and Jis_ToUnicode;
// anything unmapped (or a lead byte without its trail byte) becomes U+FFFD.
QString SjisToQString(const char* sjis);
inline QString SjisToQString(const std::string& sjis) {
    return SjisToQString(sjis.c_str());
}

} // namespace ckvd::ui
