// The engine's texts (its messages, in Shift-JIS as the report writes them) as the window shows them.
#pragma once

#include <string>

// `sjis` read as the listings read it (Report_SjisToUtf8), as UTF-8; empty for null.
std::string App_EngineTextUtf8(const char* sjis);
