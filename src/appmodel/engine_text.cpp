#include "appmodel/engine_text.h"

#include "listing/disc_text.h"

std::string App_EngineTextUtf8(const char* sjis) {
    return sjis ? Report_SjisToUtf8(sjis) : std::string();
}
