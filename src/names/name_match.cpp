#include "names/name_match.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "iso9660/iso9660.h"
#include "names/nfc_table.h"

namespace {

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Hangul syllables are composed and decomposed by arithmetic (The Unicode Standard, 3.12).
constexpr uint32_t kSBase = 0xAC00, kLBase = 0x1100, kVBase = 0x1161, kTBase = 0x11A7;
constexpr uint32_t kLCount = 19, kVCount = 21, kTCount = 28, kNCount = kVCount * kTCount,
                   kSCount = kLCount * kNCount;

uint8_t CombiningClass(uint32_t c) {
    const NfcClass* end = kNfcClasses + kNfcClassCount;
    const NfcClass* at =
        std::lower_bound(kNfcClasses, end, c, [](const NfcClass& e, uint32_t code) { return e.code < code; });
    return at != end && at->code == c ? at->combiningClass : 0;
}

void Decompose(uint32_t c, std::vector<uint32_t>& out) {
    if (c >= kSBase && c < kSBase + kSCount) {
        const uint32_t s = c - kSBase;
        out.push_back(kLBase + s / kNCount);
        out.push_back(kVBase + (s % kNCount) / kTCount);
        if (s % kTCount)
            out.push_back(kTBase + s % kTCount);
        return;
    }
    const NfcDecomposition* end = kNfcDecompositions + kNfcDecompositionCount;
    const NfcDecomposition* at = std::lower_bound(
        kNfcDecompositions, end, c, [](const NfcDecomposition& e, uint32_t code) { return e.code < code; });
    if (at == end || at->code != c) {
        out.push_back(c);
        return;
    }
    for (uint32_t part : at->full)
        if (part)
            out.push_back(part);
}

// The primary composite of a pair, or 0.
uint32_t Compose(uint32_t first, uint32_t second) {
    if (first >= kLBase && first < kLBase + kLCount && second >= kVBase && second < kVBase + kVCount)
        return kSBase + ((first - kLBase) * kVCount + (second - kVBase)) * kTCount;
    if (first >= kSBase && first < kSBase + kSCount && (first - kSBase) % kTCount == 0 && second > kTBase &&
        second < kTBase + kTCount)
        return first + (second - kTBase);
    const NfcPair* end = kNfcPairs + kNfcPairCount;
    const NfcPair* at =
        std::lower_bound(kNfcPairs, end, std::pair(first, second), [](const NfcPair& e, auto key) {
            return e.first < key.first || (e.first == key.first && e.second < key.second);
        });
    return at != end && at->first == first && at->second == second ? at->composite : 0;
}

// An ISO 9660 file identifier without its version (";1"), which people and other tools leave out.
std::string_view WithoutVersion(std::string_view name) {
    const size_t semicolon = name.rfind(';');
    if (semicolon == std::string_view::npos || semicolon + 1 == name.size() ||
        !std::all_of(name.begin() + long(semicolon) + 1, name.end(),
                     [](char c) { return c >= '0' && c <= '9'; }))
        return name;
    return name.substr(0, semicolon);
}

} // namespace

std::string Report_NfcText(std::string_view utf8) {
    if (IsAscii(utf8))
        return std::string(utf8); // ASCII is its own normal form
    const auto* p = reinterpret_cast<const uint8_t*>(utf8.data());
    std::vector<uint32_t> chars;
    for (size_t i = 0; i < utf8.size();) {
        size_t n = 0;
        const uint32_t c = Iso_DecodeUtf8(p + i, utf8.size() - i, &n);
        if (n == 0)
            return std::string(utf8); // no UTF-8: nothing to normalise
        Decompose(c, chars);
        i += n;
    }
    // Canonical order: each run of combining marks sorted by class, marks of one class keeping their order.
    for (size_t i = 0; i < chars.size();) {
        if (CombiningClass(chars[i]) == 0) {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < chars.size() && CombiningClass(chars[end]) != 0)
            ++end;
        std::stable_sort(chars.begin() + long(i), chars.begin() + long(end),
                         [](uint32_t a, uint32_t b) { return CombiningClass(a) < CombiningClass(b); });
        i = end;
    }
    // Canonical composition: a character joins the last starter unless a character between them blocks it
    // (one of the same or a higher class, or a starter).
    std::vector<uint32_t> composed;
    composed.reserve(chars.size());
    size_t starter = SIZE_MAX;
    int lastClass = -1;
    for (const uint32_t c : chars) {
        const int cls = CombiningClass(c);
        if (starter != SIZE_MAX && (lastClass < cls || (lastClass == 0 && composed.size() == starter + 1))) {
            if (const uint32_t joined = Compose(composed[starter], c)) {
                composed[starter] = joined;
                continue;
            }
        }
        if (cls == 0) {
            starter = composed.size();
            lastClass = 0;
        } else {
            lastClass = cls;
        }
        composed.push_back(c);
    }
    std::string out;
    out.reserve(utf8.size());
    for (const uint32_t c : composed)
        Iso_AppendUtf8(out, c);
    return out;
}

namespace {

// Whether `name` answers to `part` in one of the looser forms: the Shift-JIS form the report writes (read
// back as UTF-8), or the name without its ISO 9660 version.
bool AnswersLoosely(const FileEntry& entry, const std::string& part) {
    std::string folded;
    Iso_AppendSjisAsUtf8(folded, entry.name, sizeof entry.name);
    const std::string_view name = Iso_EntryName(&entry);
    return folded == part || WithoutVersion(folded) == part ||
           (WithoutVersion(name) != name && Report_NfcText(WithoutVersion(name)) == part);
}

bool Answers(std::string_view name, const std::string& part) {
    return part == name || (!IsAscii(part) && Report_NfcText(name) == part) ||
           (WithoutVersion(name) != name && Report_NfcText(WithoutVersion(name)) == part);
}

} // namespace

FileEntry* Report_FindChild(FileEntry* directory, const std::string& part, SessionTree* tree) {
    if (!directory)
        return nullptr;
    for (FileEntry* child = directory->firstChild; child; child = child->nextSibling) {
        const char* name = Iso_EntryName(child);
        if (part == name || (!IsAscii(part) && Report_NfcText(name) == part))
            return child;
    }
    // The session's other names: the record's own identifier beside a Rock Ridge name, and the Joliet name of
    // the same file where the session is shown in Rock Ridge names.
    SessionTree* joliet =
        tree && tree->names == ISO_NAMES_ROCKRIDGE && (tree->recordedNames & ISO_NAMES_JOLIET)
            ? Iso_NamesTree(tree, ISO_NAMES_JOLIET)
            : nullptr;
    FileEntry* found = nullptr;
    for (FileEntry* child = directory->firstChild; child; child = child->nextSibling) {
        if (child->flags & ISO_EXTENT_CONTINUED)
            continue; // the later extents of a file share its name
        const char* identifier = Iso_RecordedIdentifier(child);
        const FileEntry* same = joliet ? Iso_SameEntry(tree, joliet, child) : nullptr;
        const bool answers = AnswersLoosely(*child, part) || (identifier && Answers(identifier, part)) ||
                             (same && (Answers(Iso_EntryName(same), part) || AnswersLoosely(*same, part)));
        if (!answers)
            continue;
        if (found)
            return nullptr; // two entries answer to this form: neither is meant more than the other
        found = child;
    }
    return found;
}
