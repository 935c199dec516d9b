// Tag texts recorded without a character set of their own (ID3v1 fields, ID3v2 frames of encoding 0), as
// UTF-8 for display.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The bytes up to a zero byte or `length`: as they stand when they are valid UTF-8; else as Shift-JIS when
// every byte from 0x80 up is part of a Shift-JIS double-byte character and there is at least one (the discs
// this program reads carry such tags); else as ISO-8859-1, the character set ID3 names for these texts.
std::string Analyzer_TagText(const uint8_t* bytes, size_t length);
// The same into a new zero-terminated text from the analyzer heap; nullptr when the heap is exhausted.
char* Analyzer_NewText(const std::string& utf8);
