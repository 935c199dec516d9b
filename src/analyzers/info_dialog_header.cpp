#include "analyzers/info_dialog_header.h"

#include <cstdio>

#include "iso9660/iso9660.h"

std::string Info_NumberText(uint32_t value, uint16_t style) {
    char text[32];
    if (style == 1)
        std::snprintf(text, sizeof text, "0x%08X", value);
    else if (style == 2)
        Iso_FramesToMsf(value, text, sizeof text);
    else
        std::snprintf(text, sizeof text, "%u", value);
    return text;
}

std::string Info_DateText(const uint8_t date[7]) {
    char text[64];
    std::snprintf(text, sizeof text, "%4d/%2d/%2d %2d:%2d:%02d", 1900 + date[0], date[1], date[2], date[3],
                  date[4], date[5]);
    return text;
}

std::vector<InfoField> InfoDialogHeader(const FileEntry& entry, uint16_t style) {
    return {{"Identifier", Iso_EntryName(&entry), {}, {}},
            {"Date and Time", Info_DateText(entry.date), {}, {}},
            {"LBN", Info_NumberText(entry.lbn, style), {}, {}},
            {"Size", Info_NumberText(entry.size, style), {}, {}}};
}
