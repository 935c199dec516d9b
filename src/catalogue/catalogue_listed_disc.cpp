// A catalogued disc made into a Disc again, to be browsed and listed without the disc.
#include <algorithm>
#include <array>
#include <cstdio>
#include <deque>
#include <limits>

#include "catalogue/catalogue.h"
#include "iso9660/disc.h"

namespace {

// "S1 T1 0+337; S2 T2 11737+247" as tracks; a part that reads otherwise is passed over.
std::vector<IsoListedTrack> Tracks(const std::string& toc) {
    std::vector<IsoListedTrack> tracks;
    for (size_t start = 0; start < toc.size();) {
        size_t end = toc.find(';', start);
        if (end == std::string::npos)
            end = toc.size();
        unsigned session = 0, track = 0, address = 0, size = 0;
        if (std::sscanf(toc.substr(start, end - start).c_str(), " S%u T%u %u+%u", &session, &track, &address,
                        &size) == 4 &&
            session >= 1 && session <= 99 && track <= 99)
            tracks.push_back({uint8_t(session), uint8_t(track), address, size});
        start = end + 1;
    }
    return tracks;
}

// "YYYY-MM-DD HH:MM:SS" as FileEntry::date (its GMT offset, which the catalogue does not keep, as 0); false
// for an empty or unreadable date.
bool Date(const std::string& text, std::array<uint8_t, 7>& date) {
    unsigned y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (std::sscanf(text.c_str(), "%u-%u-%u %u:%u:%u", &y, &mo, &d, &h, &mi, &s) != 6 || y < 1900 ||
        y > 1900 + 255 || mo > 255 || d > 255 || h > 255 || mi > 255 || s > 255)
        return false;
    date = {uint8_t(y - 1900), uint8_t(mo), uint8_t(d), uint8_t(h), uint8_t(mi), uint8_t(s), 0};
    return true;
}

} // namespace

std::unique_ptr<Disc> Cat_ListedDisc(const CatalogueDisc& disc, const std::vector<CatalogueEntry>& entries) {
    std::vector<IsoListedEntry> listed;
    std::deque<std::array<uint8_t, 7>> dates; // stays in place as it grows
    listed.reserve(entries.size());
    for (const CatalogueEntry& e : entries) {
        if (e.session < 1 || e.session > 99)
            continue;
        IsoListedEntry l;
        l.session = uint8_t(e.session);
        l.path = e.path;
        l.type = e.type;
        l.lbn = e.lbn;
        l.size = uint32_t(std::min<uint64_t>(e.size, std::numeric_limits<uint32_t>::max()));
        if (std::array<uint8_t, 7> date{}; Date(e.date, date))
            l.date = dates.emplace_back(date).data();
        listed.push_back(l);
    }
    return Iso_ListedDisc(disc.volume, Tracks(disc.toc), listed);
}
