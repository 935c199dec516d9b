#include "navigation/nav_image.h"

#include <cinttypes>
#include <cstdio>

#include "iso9660/iso9660.h"

namespace {

template <typename... Args> std::string Format(const char* format, Args... args) {
    char text[64];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

} // namespace

uint64_t NavImage::Le(size_t offset, size_t width) const {
    uint64_t v = 0;
    for (size_t i = 0; i < width; ++i)
        v |= uint64_t(bytes_[offset + i]) << (8 * i);
    return v;
}

std::optional<uint8_t> NavImage::U8(size_t offset) const {
    return Has(offset, 1) ? std::optional<uint8_t>(bytes_[offset]) : std::nullopt;
}

std::optional<uint16_t> NavImage::U16(size_t offset) const {
    return Has(offset, 2) ? std::optional<uint16_t>(uint16_t(Le(offset, 2))) : std::nullopt;
}

std::optional<uint32_t> NavImage::U32(size_t offset) const {
    return Has(offset, 4) ? std::optional<uint32_t>(uint32_t(Le(offset, 4))) : std::nullopt;
}

std::optional<uint64_t> NavImage::U64(size_t offset) const {
    return Has(offset, 8) ? std::optional<uint64_t>(Le(offset, 8)) : std::nullopt;
}

std::optional<std::string> NavImage::Identifier(size_t offset) const {
    if (!Has(offset, 8))
        return std::nullopt;
    return Iso_BytesToUtf8(bytes_.data() + offset, 8);
}

std::optional<NavText> NavImage::CharCountText(size_t offset) const {
    const std::optional<uint16_t> count = U16(offset);
    if (!count || !Has(offset + 2, size_t(*count) * 2))
        return std::nullopt;
    return NavText{Iso_Utf16ToUtf8(bytes_.data() + offset + 2, *count, true),
                   offset + 2 + size_t(*count) * 2};
}

std::optional<NavText> NavImage::ByteCountText(size_t offset) const {
    const std::optional<uint16_t> bytes = U16(offset);
    // The characters and the zero character after them must all lie inside.
    if (!bytes || !Has(offset + 2, size_t(*bytes) + 2))
        return std::nullopt;
    return NavText{Iso_Utf16ToUtf8(bytes_.data() + offset + 2, *bytes / 2u, false),
                   offset + 2 + size_t(*bytes) + 2};
}

std::string Nav_Byte(std::optional<uint8_t> v) {
    return v ? Format("%d(0x%02X)", int(*v), unsigned(*v)) : NAV_OUT_OF_FILE;
}

std::string Nav_Word(std::optional<uint16_t> v) {
    return v ? Format("%d(0x%04X)", int(*v), unsigned(*v)) : NAV_OUT_OF_FILE;
}

std::string Nav_ByteAsWord(std::optional<uint8_t> v) {
    return v ? Format("%d(0x%04X)", int(*v), unsigned(*v)) : NAV_OUT_OF_FILE;
}

std::string Nav_Dword(std::optional<uint32_t> v) {
    return v ? Format("%d(0x%08X)", int32_t(*v), unsigned(*v)) : NAV_OUT_OF_FILE;
}

std::string Nav_Qword(std::optional<uint64_t> v) {
    return v ? Format("%" PRIu64 "(0x%016" PRIX64 ")", *v, *v) : NAV_OUT_OF_FILE;
}
