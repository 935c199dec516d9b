#include "listing/lbn_size_style.h"

#include <cstdio>

#include "iso9660/iso_model.h"

uint16_t g_LbnSizeStyle = LBNSIZE_BASE10;

std::string Report_LbnSizeText(uint32_t value, uint16_t style) {
    char text[32];
    switch (style) {
    case LBNSIZE_BASE16:
        std::snprintf(text, sizeof text, "0x%08X", value);
        break;
    case LBNSIZE_MSF:
        Iso_FramesToMsf(value, text, sizeof text);
        break;
    default:
        // LBN and size are unsigned 32-bit on the disc.
        std::snprintf(text, sizeof text, "%8u", value);
        break;
    }
    return text;
}
