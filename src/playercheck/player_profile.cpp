// Player profiles: the built-in ones and INI files of `key = value` lines, each key parsed and printed by
// one entry of a table, so a file, the listing and the README name the same keys.
#include "playercheck/player_profile.h"

#include <dirent.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>

#include "report/report_number.h"

namespace {

constexpr size_t kMaxProfileBytes = 64 * 1024; // no profile needs more; a larger file is no profile
constexpr uint32_t kMaxCount = 1000000;

std::string Trim(const std::string& s) {
    const size_t a = s.find_first_not_of(" \t\r");
    if (a == std::string::npos)
        return {};
    return s.substr(a, s.find_last_not_of(" \t\r") - a + 1);
}

std::vector<std::string> Items(const std::string& value) {
    std::vector<std::string> items;
    std::stringstream in(value);
    for (std::string item; std::getline(in, item, ',');)
        if (!(item = Trim(item)).empty())
            items.push_back(Player_Lower(item));
    return items;
}

bool Number(const std::string& text, uint32_t max, uint32_t& out) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const unsigned long v = std::stoul(text);
    if (v > max)
        return false;
    out = static_cast<uint32_t>(v);
    return true;
}

bool Flag(const std::string& text, bool& out) {
    const std::string v = Player_Lower(text);
    if (v == "yes" || v == "true" || v == "1" || v == "on")
        return out = true, true;
    if (v == "no" || v == "false" || v == "0" || v == "off")
        return out = false, true;
    return false;
}

const char* const kCharsets[] = {"ascii", "latin1", "shift-jis", "ucs2", "unicode"};

template <class T> std::string Join(const std::set<T>& items) {
    std::string out;
    for (const T& i : items) {
        std::ostringstream s;
        s << i;
        out += (out.empty() ? "" : ", ") + s.str();
    }
    return out.empty() ? "none" : out;
}

// A list of words, each one of `allowed` (or any of letters and digits up to 8 with an empty `allowed`).
bool Words(const std::string& value, const std::vector<std::string>& allowed, std::set<std::string>& out,
           std::string& why) {
    out.clear();
    if (Player_Lower(Trim(value)) == "none")
        return true;
    for (const std::string& item : Items(value)) {
        const bool ok =
            allowed.empty()
                ? item.size() <= 8 &&
                      item.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789") == std::string::npos
                : std::find(allowed.begin(), allowed.end(), item) != allowed.end();
        if (!ok) {
            why = "\"" + item + "\" is not one of ";
            for (size_t i = 0; i < allowed.size(); ++i)
                why += (i ? ", " : "") + allowed[i];
            if (allowed.empty())
                why = "\"" + item + "\" is no extension (letters and digits, at most 8)";
            return false;
        }
        out.insert(item);
    }
    return true;
}

bool Numbers(const std::string& value, uint32_t low, uint32_t high, std::set<int>& out, std::string& why) {
    out.clear();
    for (const std::string& item : Items(value)) {
        uint32_t n = 0;
        if (!Number(item, high, n) || n < low) {
            why = "\"" + item + "\" is not a number from " + std::to_string(low) + " to " +
                  std::to_string(high);
            return false;
        }
        out.insert(int(n));
    }
    return true;
}

bool Range(const std::string& value, uint32_t low, uint32_t high, uint32_t& min, uint32_t& max,
           std::string& why) {
    const size_t dash = value.find('-');
    uint32_t a = 0, b = 0;
    if (dash == std::string::npos || !Number(Trim(value.substr(0, dash)), high, a) ||
        !Number(Trim(value.substr(dash + 1)), high, b) || a < low || a > b) {
        why = "\"" + value + "\" is not MIN-MAX with " + std::to_string(low) +
              " <= MIN <= MAX <= " + std::to_string(high);
        return false;
    }
    min = a;
    max = b;
    return true;
}

struct Key {
    const char* name;
    std::function<bool(PlayerProfile&, const std::string&, std::string&)> read;
    std::function<std::string(const PlayerProfile&)> write;
};

Key CountKey(const char* name, uint32_t PlayerProfile::*field) {
    return {name,
            [field](PlayerProfile& p, const std::string& v, std::string& why) {
                if (Number(v, kMaxCount, p.*field))
                    return true;
                why = "\"" + v + "\" is not a number from 0 (no limit) to " + std::to_string(kMaxCount);
                return false;
            },
            [field](const PlayerProfile& p) { return std::to_string(p.*field); }};
}

Key FlagKey(const char* name, bool PlayerProfile::*field) {
    return {name,
            [field](PlayerProfile& p, const std::string& v, std::string& why) {
                if (Flag(v, p.*field))
                    return true;
                why = "\"" + v + "\" is not yes or no";
                return false;
            },
            [field](const PlayerProfile& p) { return std::string(p.*field ? "yes" : "no"); }};
}

Key CharsetKey(const char* name, PlayerCharset PlayerProfile::*field) {
    return {name,
            [field](PlayerProfile& p, const std::string& v, std::string& why) {
                for (size_t i = 0; i < std::size(kCharsets); ++i)
                    if (Player_Lower(v) == kCharsets[i])
                        return p.*field = PlayerCharset(i), true;
                why = "\"" + v + "\" is not one of ascii, latin1, shift-jis, ucs2, unicode";
                return false;
            },
            [field](const PlayerProfile& p) { return std::string(kCharsets[int(p.*field)]); }};
}

// A choice of two words for a flag.
Key ChoiceKey(const char* name, bool PlayerProfile::*field, const char* yes, const char* no) {
    return {name,
            [=](PlayerProfile& p, const std::string& v, std::string& why) {
                if (Player_Lower(v) == yes || Player_Lower(v) == no)
                    return p.*field = Player_Lower(v) == yes, true;
                why = "\"" + v + "\" is not " + yes + " or " + no;
                return false;
            },
            [=](const PlayerProfile& p) { return std::string(p.*field ? yes : no); }};
}

// A key of one of a few words, each naming a value of `field`.
template <class T, size_t N>
Key EnumKey(const char* name, T PlayerProfile::*field, const std::pair<const char*, T> (&choices)[N]) {
    std::string words;
    for (size_t i = 0; i < N; ++i)
        words += std::string(i == 0 ? "" : i + 1 == N ? " or " : ", ") + choices[i].first;
    return {name,
            [field, &choices, words](PlayerProfile& p, const std::string& v, std::string& why) {
                for (const auto& [choice, value] : choices)
                    if (Player_Lower(v) == choice)
                        return p.*field = value, true;
                why = "\"" + v + "\" is not " + words;
                return false;
            },
            [field, &choices](const PlayerProfile& p) {
                for (const auto& [choice, value] : choices)
                    if (p.*field == value)
                        return std::string(choice);
                return std::string();
            }};
}

constexpr std::pair<const char*, PlayerNames> kNameChoices[] = {{"joliet", PlayerNames::Joliet},
                                                                {"iso9660", PlayerNames::Iso9660},
                                                                {"rockridge", PlayerNames::RockRidge}};
constexpr std::pair<const char*, PlayerOrder> kOrderChoices[] = {{"recording", PlayerOrder::Recording},
                                                                 {"name", PlayerOrder::Name}};
constexpr std::pair<const char*, PlayerId3Write> kId3WriteChoices[] = {{"keep", PlayerId3Write::Keep},
                                                                       {"2.3", PlayerId3Write::V23}};
constexpr std::pair<const char*, PlayerAudio> kAudioChoices[] = {{"plays-data", PlayerAudio::PlaysData},
                                                                 {"plays-audio", PlayerAudio::PlaysAudio},
                                                                 {"plays-both", PlayerAudio::PlaysBoth}};

// The older yes/no of audio_beside_data: yes plays both, no the files alone.
Key AudioTracksKey() {
    return {"audio_tracks",
            [](PlayerProfile& p, const std::string& v, std::string& why) {
                bool plays = false;
                if (!Flag(v, plays))
                    return why = "\"" + v + "\" is not yes or no", false;
                p.audioBesideData = plays ? PlayerAudio::PlaysBoth : PlayerAudio::PlaysData;
                return true;
            },
            [](const PlayerProfile& p) {
                return std::string(p.audioBesideData == PlayerAudio::PlaysData ? "no" : "yes");
            }};
}

const std::vector<Key>& Keys() {
    static const std::vector<Key> keys = {
        {"name", [](PlayerProfile& p, const std::string& v, std::string&) { return p.name = v, true; },
         [](const PlayerProfile& p) { return p.name; }},
        EnumKey("names", &PlayerProfile::names, kNameChoices),
        {"iso_level",
         [](PlayerProfile& p, const std::string& v, std::string& why) {
             if (v == "1" || v == "2")
                 return p.isoLevel = v[0] - '0', true;
             why = "\"" + v + "\" is not 1 or 2";
             return false;
         },
         [](const PlayerProfile& p) { return std::to_string(p.isoLevel); }},
        CountKey("max_depth", &PlayerProfile::maxDepth),
        CountKey("max_folders", &PlayerProfile::maxFolders),
        CountKey("max_files", &PlayerProfile::maxFiles),
        CountKey("max_name_length", &PlayerProfile::maxNameLength),
        CharsetKey("name_charset", &PlayerProfile::nameCharset),
        CharsetKey("tag_charset", &PlayerProfile::tagCharset),
        {"extensions",
         [](PlayerProfile& p, const std::string& v, std::string& why) {
             return Words(v, {}, p.extensions, why);
         },
         [](const PlayerProfile& p) { return Join(p.extensions); }},
        {"mpeg_versions",
         [](PlayerProfile& p, const std::string& v, std::string& why) {
             return Words(v, {"1", "2", "2.5"}, p.mpegVersions, why);
         },
         [](const PlayerProfile& p) { return Join(p.mpegVersions); }},
        {"mpeg_layers",
         [](PlayerProfile& p, const std::string& v, std::string& why) {
             return Numbers(v, 1, 3, p.mpegLayers, why);
         },
         [](const PlayerProfile& p) { return Join(p.mpegLayers); }},
        {"bitrate",
         [](PlayerProfile& p, const std::string& v, std::string& why) {
             return Range(v, 8, 448, p.minBitrate, p.maxBitrate, why);
         },
         [](const PlayerProfile& p) {
             return std::to_string(p.minBitrate) + "-" + std::to_string(p.maxBitrate);
         }},
        {"sampling",
         [](PlayerProfile& p, const std::string& v, std::string& why) {
             return Range(v, 8000, 48000, p.minSampling, p.maxSampling, why);
         },
         [](const PlayerProfile& p) {
             return std::to_string(p.minSampling) + "-" + std::to_string(p.maxSampling);
         }},
        {"id3_versions",
         [](PlayerProfile& p, const std::string& v, std::string& why) {
             return Words(v, {"1", "2.2", "2.3", "2.4"}, p.id3Versions, why);
         },
         [](const PlayerProfile& p) { return Join(p.id3Versions); }},
        {"wma_versions",
         [](PlayerProfile& p, const std::string& v, std::string& why) {
             return Numbers(v, 7, 9, p.wmaVersions, why);
         },
         [](const PlayerProfile& p) { return Join(p.wmaVersions); }},
        FlagKey("wma_drm", &PlayerProfile::wmaDrm),
        FlagKey("wma_pro", &PlayerProfile::wmaPro),
        FlagKey("wma_lossless", &PlayerProfile::wmaLossless),
        FlagKey("wma_voice", &PlayerProfile::wmaVoice),
        FlagKey("multisession", &PlayerProfile::multisession),
        EnumKey("audio_beside_data", &PlayerProfile::audioBesideData, kAudioChoices),
        AudioTracksKey(),
        ChoiceKey("empty_folders", &PlayerProfile::countEmptyFolders, "count", "skip"),
        ChoiceKey("track_numbers", &PlayerProfile::tracksPerFolder, "folder", "disc"),
        EnumKey("order", &PlayerProfile::order, kOrderChoices),
        FlagKey("number_prefix", &PlayerProfile::numberPrefix),
        CountKey("split_folders", &PlayerProfile::splitFolders),
        EnumKey("id3_write", &PlayerProfile::id3Write, kId3WriteChoices),
        FlagKey("navigation", &PlayerProfile::navigation),
    };
    return keys;
}

std::string PlayersDirectory() {
    const std::string profile = Report_ProfilePath(); // .../ckvd-explorer/profile.ini
    return profile.substr(0, profile.rfind('/')) + "/players";
}

} // namespace

std::string Player_Lower(std::string s) {
    for (char& c : s)
        c = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
    return s;
}

std::vector<std::string> Player_BuiltinNames() {
    return {"car-cd", "iso9660-level1", "iso9660-level2"};
}

bool Player_BuiltinProfile(const std::string& name, PlayerProfile& p) {
    p = PlayerProfile{};
    p.name = name;
    if (name == "car-cd")
        return true;
    if (name != "iso9660-level1" && name != "iso9660-level2")
        return false;
    // A player that reads the primary names only, by the standard's rules: 8 levels, d-characters, 8.3 names
    // at level 1 and 31 characters at level 2; no other limit.
    p.names = PlayerNames::Iso9660;
    p.isoLevel = name == "iso9660-level1" ? 1 : 2;
    p.maxFolders = p.maxFiles = p.splitFolders = 0;
    p.maxNameLength = name == "iso9660-level1" ? 12 : 31;
    p.nameCharset = p.tagCharset = PlayerCharset::Ascii;
    p.extensions = {"mp3"};
    return true;
}

bool Player_LoadProfile(const std::string& path, PlayerProfile& profile, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    std::string text(kMaxProfileBytes + 1, '\0');
    in.read(text.data(), std::streamsize(text.size()));
    text.resize(size_t(in.gcount()));
    if (text.size() > kMaxProfileBytes) {
        error = path + ": larger than a profile may be (64 KiB)";
        return false;
    }
    Player_BuiltinProfile("car-cd", profile);
    profile.name = path.substr(path.rfind('/') + 1);
    if (profile.name.size() > 4 && profile.name.substr(profile.name.size() - 4) == ".ini")
        profile.name.resize(profile.name.size() - 4);
    std::set<std::string> seen;
    std::stringstream lines(text);
    int number = 0;
    bool keys = false;
    for (std::string line; std::getline(lines, line);) {
        ++number;
        const std::string where = path + ":" + std::to_string(number) + ": ";
        line = Trim(line);
        if (line.empty() || line[0] == '#' || line[0] == ';')
            continue;
        if (line[0] == '[') {
            if (Player_Lower(line) != "[player]")
                return error = where + line + ": the only section is [player]", false;
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos)
            return error = where + "not a line of the form key = value", false;
        const std::string key = Player_Lower(Trim(line.substr(0, eq))), value = Trim(line.substr(eq + 1));
        if (!seen.insert(key).second)
            return error = where + key + ": given twice", false;
        if (key == "base") {
            const std::string name = profile.name;
            if (keys)
                return error = where + key + ": must come before the other keys", false;
            if (!Player_BuiltinProfile(value, profile))
                return error = where + key + ": \"" + value + "\" is not a built-in profile", false;
            profile.name = name;
            continue;
        }
        const auto k =
            std::find_if(Keys().begin(), Keys().end(), [&](const Key& d) { return key == d.name; });
        if (k == Keys().end())
            return error = where + key + ": no such key", false;
        std::string why;
        if (!k->read(profile, value, why))
            return error = where + key + ": " + why, false;
        keys = true;
    }
    return true;
}

bool Player_FindProfile(const std::string& nameOrPath, PlayerProfile& profile, std::string& error) {
    if (Player_BuiltinProfile(nameOrPath, profile))
        return true;
    if (nameOrPath.find('/') == std::string::npos && nameOrPath.find(".ini") == std::string::npos) {
        const std::string file = PlayersDirectory() + "/" + nameOrPath + ".ini";
        if (std::ifstream(file))
            return Player_LoadProfile(file, profile, error);
        error = "no profile " + nameOrPath + " (built in: car-cd, iso9660-level1, iso9660-level2; nor " +
                file + ")";
        return false;
    }
    return Player_LoadProfile(nameOrPath, profile, error);
}

std::vector<std::string> Player_UserProfileNames() {
    std::vector<std::string> names;
    if (DIR* d = opendir(PlayersDirectory().c_str())) {
        while (const dirent* e = readdir(d)) {
            const std::string n = e->d_name;
            if (n.size() > 4 && n.compare(n.size() - 4, 4, ".ini") == 0)
                names.push_back(n.substr(0, n.size() - 4));
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::pair<std::string, std::string>> Player_ProfileKeys(const PlayerProfile& profile) {
    std::vector<std::pair<std::string, std::string>> out;
    for (const Key& k : Keys())
        out.emplace_back(k.name, k.write(profile));
    return out;
}

std::vector<std::string> Player_ProfileNames() {
    std::vector<std::string> names = Player_BuiltinNames();
    for (const std::string& user : Player_UserProfileNames())
        names.push_back(user);
    return names;
}
