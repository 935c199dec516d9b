#include "report/name_match.h"

#include <unicode/unorm2.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <vector>

#include "iso9660/iso9660.h"

namespace {

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

} // namespace

std::string Report_NfcText(std::string_view utf8) {
    if (IsAscii(utf8))
        return std::string(utf8); // ASCII is its own normal form
    UErrorCode status = U_ZERO_ERROR;
    const UNormalizer2* nfc = unorm2_getNFCInstance(&status);
    if (U_FAILURE(status) || utf8.size() > 0x3FFFFFFF)
        return std::string(utf8);
    std::vector<UChar> wide(utf8.size() + 1);
    int32_t wideLength = 0;
    u_strFromUTF8(wide.data(), int32_t(wide.size()), &wideLength, utf8.data(), int32_t(utf8.size()), &status);
    if (U_FAILURE(status))
        return std::string(utf8);
    // NFC can grow a text by at most three times (the Unicode standard's bound).
    std::vector<UChar> normal(size_t(wideLength) * 3 + 1);
    const int32_t normalLength =
        unorm2_normalize(nfc, wide.data(), wideLength, normal.data(), int32_t(normal.size()), &status);
    if (U_FAILURE(status))
        return std::string(utf8);
    std::string out(size_t(normalLength) * 3 + 1, '\0');
    int32_t outLength = 0;
    u_strToUTF8(out.data(), int32_t(out.size()), &outLength, normal.data(), normalLength, &status);
    if (U_FAILURE(status))
        return std::string(utf8);
    out.resize(size_t(outLength));
    return out;
}

FileEntry* Report_FindChild(FileEntry* directory, const std::string& part) {
    if (!directory)
        return nullptr;
    for (FileEntry* child = directory->firstChild; child; child = child->nextSibling) {
        const char* name = Iso_EntryName(child);
        if (part == name || (!IsAscii(part) && Report_NfcText(name) == part))
            return child;
    }
    FileEntry* found = nullptr;
    for (FileEntry* child = directory->firstChild; child; child = child->nextSibling) {
        if (child->flags & ISO_EXTENT_CONTINUED)
            continue; // the later extents of a file share its name
        std::string folded;
        Iso_AppendSjisAsUtf8(folded, child->name, sizeof child->name);
        if (folded != part)
            continue;
        if (found)
            return nullptr; // two entries fold to this form: neither is meant more than the other
        found = child;
    }
    return found;
}
