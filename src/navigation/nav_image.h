// The image of one navigation file (CONTENTS.LMX, MENU.LMX, TEXT.LMX, playlists, LSN.LMX) as the viewers
// decode it: little-endian fields of 1, 2, 4 or 8 bytes at any offset, the two text conventions, and the
// display formats. Every read is checked against the image's length, so no count or offset stored in a file
// can make a viewer read outside it: a field that does not lie wholly inside gives no value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// Shown in the row where a walk stopped because its next field lay outside the file.
constexpr const char* NAV_OUT_OF_FILE = "(out of file)";

// A text field (UTF-8) and the offset of what follows it.
struct NavText {
    std::string text;
    size_t next = 0;
};

class NavImage {
  public:
    explicit NavImage(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    // The image only views its bytes: a temporary vector would be gone before the first read.
    explicit NavImage(std::vector<uint8_t>&&) = delete;

    size_t size() const { return bytes_.size(); }
    // True when [offset, offset + width) lies inside the image (no overflow for any offset).
    bool Has(size_t offset, size_t width) const {
        return offset <= bytes_.size() && width <= bytes_.size() - offset;
    }

    std::optional<uint8_t> U8(size_t offset) const;
    std::optional<uint16_t> U16(size_t offset) const;
    std::optional<uint32_t> U32(size_t offset) const;
    std::optional<uint64_t> U64(size_t offset) const;

    // The 8-character identifier at `offset`, ending early at a zero byte, in UTF-8 (its bytes as
    // Iso_BytesToUtf8 reads them).
    std::optional<std::string> Identifier(size_t offset) const;
    // The texts in UTF-8. A CONTENTS.LMX name: a 2-byte count of characters, then the characters high byte
    // first.
    std::optional<NavText> CharCountText(size_t offset) const;
    // A MENU.LMX or TEXT.LMX text: a 2-byte count of bytes, the characters low byte first, then a 2-byte
    // zero character the count leaves out; what follows starts after it.
    std::optional<NavText> ByteCountText(size_t offset) const;

  private:
    uint64_t Le(size_t offset, size_t width) const;
    std::span<const uint8_t> bytes_;
};

// Display forms: "%d(0x%02X)", "%d(0x%04X)", "%d(0x%08X)" (the decimal part of a 4-byte value signed), and an
// 8-byte value in decimal with its 16 hexadecimal digits. A missing value shows NAV_OUT_OF_FILE.
std::string Nav_Byte(std::optional<uint8_t> v);
std::string Nav_Word(std::optional<uint16_t> v);
std::string Nav_ByteAsWord(std::optional<uint8_t> v); // 1-byte fields some tables show with "%d(0x%04X)"
std::string Nav_Dword(std::optional<uint32_t> v);
std::string Nav_Qword(std::optional<uint64_t> v);

// Formats the fields of one row or header, remembering whether any of them lay outside the image: a walk
// stops after the row where that happened.
class NavReader {
  public:
    explicit NavReader(const NavImage& image) : image_(image) {}

    std::string Byte(size_t offset) { return Nav_Byte(Note(image_.U8(offset))); }
    std::string Word(size_t offset) { return Nav_Word(Note(image_.U16(offset))); }
    std::string ByteAsWord(size_t offset) { return Nav_ByteAsWord(Note(image_.U8(offset))); }
    std::string Dword(size_t offset) { return Nav_Dword(Note(image_.U32(offset))); }
    std::string Qword(size_t offset) { return Nav_Qword(Note(image_.U64(offset))); }
    // 1- and 2-byte fields in the "%d(0x%08X)" form.
    std::string ByteAsDword(size_t offset) { return Nav_Dword(Widen(image_.U8(offset))); }
    std::string WordAsDword(size_t offset) { return Nav_Dword(Widen(image_.U16(offset))); }
    std::string Identifier(size_t offset) {
        return Note(image_.Identifier(offset)).value_or(NAV_OUT_OF_FILE);
    }
    // The text in UTF-8; `next` (when given) gets the offset after it.
    std::string CharCountText(size_t offset, size_t* next = nullptr) {
        return Text(image_.CharCountText(offset), next);
    }
    std::string ByteCountText(size_t offset, size_t* next = nullptr) {
        return Text(image_.ByteCountText(offset), next);
    }

    const NavImage& Image() const { return image_; }
    bool Cut() const { return cut_; }
    void Reset() { cut_ = false; }

  private:
    template <typename T> std::optional<T> Note(std::optional<T> v) {
        cut_ = cut_ || !v;
        return v;
    }
    template <typename T> std::optional<uint32_t> Widen(std::optional<T> v) {
        return Note(v) ? std::optional<uint32_t>(*v) : std::nullopt;
    }
    std::string Text(std::optional<NavText> t, size_t* next) {
        if (!Note(t))
            return NAV_OUT_OF_FILE;
        if (next)
            *next = t->next;
        return t->text;
    }

    const NavImage& image_;
    bool cut_ = false;
};
