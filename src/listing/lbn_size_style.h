// The display style of LBN and size values shared by the file list and the information dialogs.
#pragma once

#include <cstdint>
#include <string>

constexpr uint16_t LBNSIZE_BASE10 = 0;
constexpr uint16_t LBNSIZE_BASE16 = 1;
constexpr uint16_t LBNSIZE_MSF = 2;

// 0 base 10, 1 base 16, 2 minutes:seconds:frames; lasts until the program ends, never saved.
extern uint16_t g_LbnSizeStyle;

// An LBN or a size in `style`: "%8u", "0x%08X" or minutes:seconds:frames of the value taken as frames.
std::string Report_LbnSizeText(uint32_t value, uint16_t style);
