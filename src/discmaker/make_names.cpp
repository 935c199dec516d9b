#include "discmaker/make_names.h"

#include <iconv.h>
#include <locale.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "iso9660/iso9660.h"
#include "playercheck/player_media.h"

namespace {

// Characters no tree takes in a name (Joliet forbids them, a slash ends a name everywhere).
bool Forbidden(uint32_t cp) {
    return cp < 0x20 || cp == 0x7F || (cp < 0x80 && std::strchr("*/:;?\\\"<>|", int(cp)) != nullptr);
}

// `text` converted by iconv into `to` with its transliteration and back into UTF-8 (what it cannot convert
// comes back as "?"), in the C.UTF-8 locale so that the result does not depend on the user's.
std::string Transliterated(const std::string& text, const char* to) {
    const locale_t c = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(0));
    const locale_t before = c ? uselocale(c) : locale_t(0);
    std::string out;
    auto convert = [](const std::string& in, const char* from, const char* into, std::string& result) {
        const iconv_t cd = iconv_open(into, from);
        if (cd == iconv_t(-1))
            return false;
        std::vector<char> buffer(in.size() * 4 + 16);
        char* src = const_cast<char*>(in.data());
        size_t left = in.size(), room = buffer.size();
        char* dst = buffer.data();
        const bool ok = iconv(cd, &src, &left, &dst, &room) != size_t(-1);
        iconv_close(cd);
        result.assign(buffer.data(), size_t(dst - buffer.data()));
        return ok;
    };
    std::string middle;
    const bool ok = convert(text, "UTF-8", (std::string(to) + "//TRANSLIT").c_str(), middle) &&
                    convert(middle, to, "UTF-8", out);
    if (c) {
        uselocale(before);
        freelocale(c);
    }
    return ok ? out : std::string(text.size(), '?');
}

// The characters of `name` the player shows, each other one replaced.
std::string InCharset(const std::string& name, PlayerCharset set) {
    bool fits = true;
    Player_EachCodePoint(name,
                         [&](uint32_t cp) { return fits = Player_InCharset(cp, set) && !Forbidden(cp); });
    std::string text = name;
    if (!fits &&
        (set == PlayerCharset::Ascii || set == PlayerCharset::Latin1 || set == PlayerCharset::ShiftJis))
        text = Transliterated(name, set == PlayerCharset::Ascii    ? "ASCII"
                                    : set == PlayerCharset::Latin1 ? "ISO-8859-1"
                                                                   : "SHIFT_JIS");
    std::string out;
    Player_EachCodePoint(text, [&](uint32_t cp) {
        if (Player_InCharset(cp, set) && !Forbidden(cp))
            Iso_AppendUtf8(out, cp);
        else
            out += '_';
        return true;
    });
    return out;
}

// The first `n` characters of a UTF-8 text.
std::string Head(const std::string& utf8, size_t n) {
    std::string out;
    Player_EachCodePoint(utf8, [&](uint32_t cp) {
        if (n == 0)
            return false;
        --n;
        Iso_AppendUtf8(out, cp);
        return true;
    });
    return out;
}

std::string Trimmed(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '.'))
        s.pop_back();
    return s;
}

// A primary name of d-characters: 8.3 at level 1, 30 characters at level 2.
std::string PrimaryName(const std::string& name, bool directory, int level, const std::string& tag) {
    const std::string ascii = Transliterated(name, "ASCII");
    const size_t dot = directory ? std::string::npos : ascii.rfind('.');
    auto dcharacters = [](std::string s) {
        for (char& c : s)
            c = c >= 'a' && c <= 'z'                               ? char(c - 'a' + 'A')
                : (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ? c
                                                                   : '_';
        return s;
    };
    std::string stem = dcharacters(ascii.substr(0, dot));
    std::string ext = dot == std::string::npos ? "" : dcharacters(ascii.substr(dot + 1));
    if (level == 1) {
        ext = ext.substr(0, 3);
        stem = stem.substr(0, 8 - std::min<size_t>(tag.size(), 7)) + tag;
    } else {
        ext = ext.substr(0, 8);
        stem = stem.substr(0, 30 - (ext.empty() ? 0 : ext.size() + 1) - tag.size()) + tag;
    }
    if (stem.empty())
        stem = "_";
    return ext.empty() ? stem : stem + "." + ext;
}

} // namespace

std::string Make_DirectoryKey(const std::string& name, const PlayerProfile& profile) {
    if (profile.names != PlayerNames::Joliet)
        return name;
    std::string key;
    Player_EachCodePoint(name, [&key](uint32_t cp) {
        auto unit = [&key](uint32_t u) { key += char(u >> 8), key += char(u & 0xFF); };
        if (cp > 0xFFFF) {
            unit(0xD800 + ((cp - 0x10000) >> 10));
            unit(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            unit(cp);
        }
        return true;
    });
    return key;
}

size_t Make_Length(const std::string& utf8) {
    size_t n = 0;
    Player_EachCodePoint(utf8, [&n](uint32_t) { return ++n, true; });
    return n;
}

size_t Make_NameLimit(bool directory, const PlayerProfile& profile) {
    if (profile.names == PlayerNames::Iso9660)
        return profile.isoLevel == 1 ? (directory ? 8 : 12) : 30;
    // Joliet holds 64 characters; a Rock Ridge name 255 bytes, of up to four each.
    const size_t tree = profile.names == PlayerNames::Joliet ? 64 : 63;
    return profile.maxNameLength ? std::min<size_t>(tree, profile.maxNameLength) : tree;
}

std::string Make_FitName(const std::string& name, bool directory, const PlayerProfile& profile, int variant) {
    if (profile.names == PlayerNames::Iso9660)
        return PrimaryName(name, directory, profile.isoLevel, variant ? "_" + std::to_string(variant) : "");
    const std::string tag = variant ? " (" + std::to_string(variant) + ")" : "";
    std::string shown = InCharset(name, profile.nameCharset);
    const size_t dot = directory ? std::string::npos : shown.rfind('.');
    const bool hasExt = dot != std::string::npos && dot > 0 && shown.size() - dot <= 5;
    std::string stem = hasExt ? shown.substr(0, dot) : shown;
    const std::string ext = hasExt ? shown.substr(dot) : "";
    const size_t limit = Make_NameLimit(directory, profile);
    const size_t room = limit > ext.size() + tag.size() ? limit - ext.size() - tag.size() : 1;
    if (Make_Length(stem) > room)
        stem = Trimmed(Head(stem, room));
    if (stem.empty())
        stem = "_";
    return stem + tag + ext;
}
