#include "platform/ui/ui_text.h"

#include <cstdint>
#include <string>

#include "iso9660/iso9660.h"

namespace ckvd::ui {

QString SjisToQString(const char* sjis) {
    if (!sjis)
        return {};
    // The engine's one Shift-JIS reading, so a message reads in the window as it does on a terminal.
    std::string utf8;
    Iso_AppendSjisAsUtf8(utf8, sjis, SIZE_MAX);
    return QString::fromStdString(utf8);
}

} // namespace ckvd::ui
