#include "appmodel/engine_text.h"

#include <cstdint>

#include "iso9660/iso9660.h"

std::string App_EngineTextUtf8(const char* sjis) {
    std::string utf8;
    if (sjis)
        Iso_AppendSjisAsUtf8(utf8, sjis, SIZE_MAX);
    return utf8;
}
