#include <cstdio>

#include "cdtext/cd_text.h"

namespace ckvd::cdtext {

namespace {

constexpr size_t kMaxName = 255; // bytes of a file name on Linux file systems

// A text as part of a file name: '/' and control characters as '_', spaces at its ends dropped.
std::string Safe(std::string_view s) {
    std::string out;
    for (char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        out += c == '/' || c < 0x20 || c == 0x7F ? '_' : ch;
    }
    const size_t a = out.find_first_not_of(' ');
    if (a == std::string::npos)
        return {};
    return out.substr(a, out.find_last_not_of(' ') - a + 1);
}

} // namespace

std::string TrackFileName(const DiscText* text, uint8_t number, std::string_view extension) {
    char nn[8];
    std::snprintf(nn, sizeof nn, "%02u", static_cast<unsigned>(number));
    const TrackText* t = text ? text->track(number) : nullptr;
    const std::string title = t ? Safe(t->title) : std::string();
    if (title.empty())
        return "Track" + std::string(nn) + std::string(extension);
    std::string performer = Safe(t->performer);
    if (performer.empty())
        performer = Safe(text->performer);
    std::string name = performer.empty() ? title : performer + " - " + title;
    // Cut at a character's first byte so the name stays within what a file system takes.
    const size_t room = kMaxName - 3 - extension.size();
    if (name.size() > room) {
        size_t cut = room;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
            --cut;
        name.resize(cut);
    }
    return std::string(nn) + " " + name + std::string(extension);
}

} // namespace ckvd::cdtext
