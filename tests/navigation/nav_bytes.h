// Hand-made navigation files for the viewer tests: fields put at the offsets of the layouts, so every
// expected value in a test is read off the offsets written here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class NavTestBytes {
  public:
    explicit NavTestBytes(const char* identifier, uint16_t version = 1) {
        for (size_t i = 0; i < 8 && identifier[i]; ++i)
            Put(i, uint8_t(identifier[i]), 1);
        Put(8, version, 2);
    }
    NavTestBytes& Put(size_t offset, uint64_t value, size_t width) {
        if (bytes.size() < offset + width)
            bytes.resize(offset + width);
        for (size_t i = 0; i < width; ++i)
            bytes[offset + i] = uint8_t(value >> (8 * i));
        return *this;
    }
    // A CONTENTS.LMX name: character count, characters high byte first (ASCII only here).
    NavTestBytes& CharName(size_t offset, const std::string& text) {
        Put(offset, text.size(), 2);
        for (size_t i = 0; i < text.size(); ++i)
            Put(offset + 2 + 2 * i, uint16_t(uint8_t(text[i])) << 8, 2);
        return *this;
    }
    // A MENU.LMX/TEXT.LMX text: byte count, characters low byte first, a zero character.
    NavTestBytes& ByteText(size_t offset, const std::string& text) {
        Put(offset, text.size() * 2, 2);
        for (size_t i = 0; i < text.size(); ++i)
            Put(offset + 2 + 2 * i, uint8_t(text[i]), 2);
        return Put(offset + 2 + 2 * text.size(), 0, 2);
    }
    std::vector<uint8_t> bytes;
};

// The sample files of the viewer tests, described beside each.
std::vector<uint8_t> ContentsSample();
std::vector<uint8_t> MenuSample();
std::vector<uint8_t> TextSample();
std::vector<uint8_t> PlaylistSample();
