#include "platform/ui/ui_text.h"

#include <cstdint>
#include <string>
#include <utility>

#include "appmodel/engine_text.h"

namespace ckvd::ui {

QString SjisToQString(const char* sjis) {
    if (!sjis)
        return {};
    // The engine's one Shift-JIS reading, so a message reads in the window as it does on a terminal.
    return QString::fromStdString(App_EngineTextUtf8(sjis));
}

QString ShownCaption(const std::string& caption) {
    static const std::pair<const char*, const char*> kSpelling[] = {
        {"Vender", "Vendor"},
        {"Auther", "Author"},
        {"Audio/Menu Image/Image/Video FIle Table", "Audio/Menu Image/Image/Video File Table"}};
    for (const auto& [written, shown] : kSpelling)
        if (caption == written)
            return shown;
    return QString::fromStdString(caption);
}

} // namespace ckvd::ui
