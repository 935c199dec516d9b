#include "images/sheet_cdtext.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <fstream>

#include "platform/bytes/byte_order.h"

namespace ckvd::images {

namespace {

constexpr size_t kMaxText = 160; // bytes a CD-TEXT item holds on a disc

void note(DiscImage& disc, int line, const std::string& what) {
    if (disc.text.notes.size() < 16)
        disc.text.notes.push_back("line " + std::to_string(line) + ": " + what + ", passed over");
}

bool valid_utf8(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const size_t n = c < 0x80           ? 1
                         : (c >> 5) == 0x06 ? 2
                         : (c >> 4) == 0x0E ? 3
                         : (c >> 3) == 0x1E ? 4
                                            : 0;
        if (n == 0 || i + n > s.size())
            return false;
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        i += n;
    }
    return true;
}

// A sheet's text as UTF-8: as it stands when it is UTF-8, else read as Latin-1 (what sheets of CD-TEXT hold).
std::string sheet_text(std::string_view s) {
    return valid_utf8(s) ? std::string(s) : cdtext::DecodeText(s, 0x00);
}

bool is_code(const std::string& v, size_t size, bool letters) {
    return v.size() == size && std::all_of(v.begin(), v.end(), [&](char c) {
               return std::isdigit(static_cast<unsigned char>(c)) || (letters && c >= 'A' && c <= 'Z');
           });
}

// Stores `value` as the item `key` (TITLE, PERFORMER, SONGWRITER, or the codes) of the disc or a track.
void store(DiscImage& disc, uint8_t track, const std::string& key, const std::string& value, int line) {
    if (value.size() > kMaxText)
        return note(disc, line, key + " longer than " + std::to_string(kMaxText) + " bytes");
    const bool isrc = key == "ISRC" && track, upc = (key == "UPC_EAN" || key == "CATALOG") && !track;
    if ((isrc && !is_code(value, 12, true)) || (upc && !is_code(value, 13, false)))
        return note(disc, line, key + " '" + sheet_text(value) + "' is not a valid code");
    if (upc) {
        disc.text.catalog = value;
        return;
    }
    cdtext::TrackText scratch;
    cdtext::TrackText& t = track ? disc.text.tracks[track] : scratch;
    if (key == "TITLE")
        (track ? t.title : disc.text.title) = sheet_text(value);
    else if (key == "PERFORMER")
        (track ? t.performer : disc.text.performer) = sheet_text(value);
    else if (key == "SONGWRITER")
        (track ? t.songwriter : disc.text.songwriter) = sheet_text(value);
    else if (isrc)
        t.isrc = value;
    if (track && t.empty())
        disc.text.tracks.erase(track);
}

} // namespace

bool cue_text_command(DiscImage& disc, uint8_t track, const std::string& kw, const std::string& rest,
                      int line) {
    if (kw != "TITLE" && kw != "PERFORMER" && kw != "SONGWRITER" && kw != "ISRC" && kw != "CATALOG")
        return false;
    std::string value = rest;
    value.erase(0, std::min(value.size(), value.find_first_not_of(" \t")));
    value.erase(value.find_last_not_of(" \t") + 1);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    else if (!value.empty() && value.front() == '"')
        return note(disc, line, kw + " without its closing quote"), true;
    if (kw == "ISRC" || kw == "CATALOG") { // the codes the recorder writes into the Q sub-channel
        if (kw == "ISRC" && track == 0)
            return note(disc, line, "ISRC before the first TRACK"), true;
        toc_code(disc, kw == "ISRC" ? track : 0, SheetWord{value, line, true});
        return true;
    }
    store(disc, track, kw, value, line);
    return true;
}

void cue_text_file(DiscImage& disc, const std::filesystem::path& dir, const std::string& rest, int line) {
    std::string name = rest;
    name.erase(0, std::min(name.size(), name.find_first_not_of(" \t")));
    name.erase(name.find_last_not_of(" \t") + 1);
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"')
        name = name.substr(1, name.size() - 2);
    const std::filesystem::path p =
        std::filesystem::path(name).is_absolute() ? std::filesystem::path(name) : dir / name;
    const auto found = files_any_case(p.string());
    struct stat st {};
    if (found.size() != 1 || ::stat(found.front().c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return note(disc, line, "CDTEXTFILE '" + p.string() + "' cannot be read");
    // A pack file holds at most a disc's packs, with a 4-byte length header or a terminating zero at most.
    const uint64_t limit = cdtext::kMaxPacks * cdtext::kPackSize + 5;
    if (static_cast<uint64_t>(st.st_size) > limit)
        return note(disc, line, "CDTEXTFILE '" + p.string() + "' is larger than a disc's CD-TEXT");
    std::ifstream in(found.front(), std::ios::binary);
    std::vector<uint8_t> bytes(static_cast<size_t>(st.st_size));
    if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())))
        return note(disc, line, "CDTEXTFILE '" + p.string() + "' cannot be read");
    // The header READ TOC format 5 answers with (its length counts the bytes after it), as some tools keep
    // it.
    if (bytes.size() >= 4 && bytes.size() % cdtext::kPackSize == 4 &&
        size_t{::bytes::Be16(bytes.data())} + 2 == bytes.size())
        bytes.erase(bytes.begin(), bytes.begin() + 4);
    if (bytes.size() % cdtext::kPackSize == 1 && bytes.back() == 0)
        bytes.pop_back();
    take_text_packs(disc, std::move(bytes), "CDTEXTFILE '" + p.filename().string() + "'");
}

void toc_text_block(DiscImage& disc, uint8_t track, const std::vector<SheetWord>& words, int& language) {
    // LANGUAGE_MAP { n : code ... } names each language block's language; LANGUAGE n { KEY value ... }. The
    // disc's block picks the language, English where the map names it, else the first block's; the tracks'
    // blocks are read in it.
    if (language < 0) {
        for (size_t i = 0; i + 4 < words.size(); ++i)
            if (!words[i].quoted && words[i].text == "LANGUAGE_MAP")
                for (size_t k = i + 2; k + 2 < words.size() && words[k].text != "}"; k += 3)
                    if (words[k + 1].text == ":" && (words[k + 2].text == "EN" || words[k + 2].text == "9"))
                        language = std::atoi(words[k].text.c_str());
    }
    bool found = false;
    for (int pass = 0; pass < 2 && !found; ++pass) // the language's block, else the first block
        for (size_t i = 0; i + 2 < words.size() && !found; ++i) {
            if (words[i].quoted || words[i].text != "LANGUAGE" || words[i + 2].text != "{" ||
                (pass == 0 && std::atoi(words[i + 1].text.c_str()) != language))
                continue;
            found = true;
            if (language < 0)
                language = std::atoi(words[i + 1].text.c_str());
            int depth = 0;
            for (size_t k = i + 2; k < words.size(); ++k) {
                const SheetWord& w = words[k];
                if (!w.quoted && w.text == "{")
                    ++depth;
                else if (!w.quoted && w.text == "}" && --depth == 0)
                    break;
                else if (depth == 1 && !w.quoted && k + 1 < words.size() && words[k + 1].quoted)
                    store(disc, track, w.text, words[k + 1].text, w.line);
            }
        }
}

void toc_code(DiscImage& disc, uint8_t track, const SheetWord& code) {
    if (track ? !is_code(code.text, 12, true) : !is_code(code.text, 13, false))
        return note(disc, code.line,
                    std::string(track ? "ISRC" : "CATALOG") + " '" + code.text + "' is not a valid code");
    if (track)
        disc.isrc[track] = code.text;
    else
        disc.mcn = code.text;
}

void ccd_text_section(DiscImage& disc, const SectionValues& values, int line) {
    auto entries = values.find("Entries");
    const long count = entries == values.end() ? -1 : std::strtol(entries->second.first.c_str(), nullptr, 10);
    if (count < 0 || static_cast<size_t>(count) > cdtext::kMaxPacks)
        return note(disc, line,
                    "[CDText] without a count of its entries up to " + std::to_string(cdtext::kMaxPacks));
    std::vector<uint8_t> packs;
    for (long k = 0; k < count; ++k) {
        auto it = values.find("Entry " + std::to_string(k));
        std::vector<uint8_t> pack;
        if (it != values.end()) {
            const char* s = it->second.first.c_str();
            for (char* end = nullptr; pack.size() <= cdtext::kPackSize; s = end) {
                while (*s == ' ' || *s == '\t')
                    ++s;
                if (!std::isxdigit(static_cast<unsigned char>(*s)))
                    break;
                const unsigned long b = std::strtoul(s, &end, 16);
                if (b > 0xFF || end == s)
                    break;
                pack.push_back(static_cast<uint8_t>(b));
            }
        }
        if (pack.size() != cdtext::kPackSize) {
            // A pack that is not 18 bytes is kept as one that fails its CRC, so the packs after it stay
            // packs.
            note(disc, it == values.end() ? line : it->second.second,
                 "[CDText] Entry " + std::to_string(k) + " is not 18 hex bytes");
            pack.assign(cdtext::kPackSize, 0);
        }
        packs.insert(packs.end(), pack.begin(), pack.end());
    }
    take_text_packs(disc, std::move(packs), "[CDText]");
}

void take_text_packs(DiscImage& disc, std::vector<uint8_t> packs, const std::string& where) {
    // READ TOC gives at most 64 KiB, and a disc holds no more packs than that.
    if (packs.size() > cdtext::kMaxPacks * cdtext::kPackSize)
        packs.resize(cdtext::kMaxPacks * cdtext::kPackSize + 1); // the extra byte gets its note
    cdtext::DiscText read = cdtext::ReadPacks(packs);
    for (std::string& n : read.notes)
        n = where + ": " + n;
    std::vector<std::string> notes = std::move(disc.text.notes);
    notes.insert(notes.end(), read.notes.begin(), read.notes.end());
    read.notes.clear();
    if (!read.empty()) {
        disc.text = std::move(read);
        disc.text_packs = std::move(packs);
    }
    disc.text.notes = std::move(notes);
}

} // namespace ckvd::images
