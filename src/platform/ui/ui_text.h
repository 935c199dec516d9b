// Shift-JIS text of the engine to QString, through the inverse of the character conversion's JIS table.
#pragma once

#include <QString>
#include <string>

namespace ckvd::ui {

// Read as Iso_AppendSjisAsUtf8 reads it: ASCII and half-width katakana directly, a double-byte character
// through Sjis_ToJis and Jis_ToUnicode, a byte that begins no character U+FFFD (the byte after it kept).
QString SjisToQString(const char* sjis);
inline QString SjisToQString(const std::string& sjis) {
    return SjisToQString(sjis.c_str());
}

// A caption of the content models as the window shows it: the few misspelt ones ("Vender", "Auther", "FIle
// Table") spelt right. The models keep their texts, which `ckvd info` and `ckvd nav` print for scripts.
QString ShownCaption(const std::string& caption);

} // namespace ckvd::ui
