// The Unicode -> JIS X 0208 table: 256 page pointers by the high byte of a code point, each page 256 JIS
// codes (row byte high, cell byte low) by the low byte; an absent page or a 0 means no JIS X 0208 code.
#pragma once

#include <cstdint>

extern const uint16_t* const g_JisPages[256];
