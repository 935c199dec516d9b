// A Disc made from a listing of its entries (the catalogue's), for browsing a disc that is not in a drive.
#include <algorithm>
#include <string>
#include <unordered_map>

#include "iso9660/iso9660.h"
#include "iso9660/iso_internal.h"

using namespace iso_internal;

namespace {

// The sessions 1 to `count`, each with its tracks of `tracks` and an empty tree named `volume`.
bool MakeSessions(Disc& d, std::string_view volume, const std::vector<IsoListedTrack>& tracks,
                  uint8_t count) {
    SessionEntry** nextSession = &d.model->firstSession;
    SessionTree** nextTree = &d.model->firstTree;
    for (uint8_t n = 1; n <= count; ++n) {
        auto* s = NewRecord<SessionEntry>();
        auto* t = s ? NewRecord<SessionTree>() : nullptr;
        if (!t) {
            delete s;
            return false;
        }
        *nextSession = s;
        nextSession = &s->next;
        *nextTree = t;
        nextTree = &t->next;
        s->sessionNumber = n;
        bool audio = true; // an audio session holds only audio tracks
        TrackEntry** nextTrack = &s->firstTrack;
        for (const IsoListedTrack& listed : tracks) {
            if (listed.session != n)
                continue;
            auto* track = NewRecord<TrackEntry>();
            if (!track)
                return false;
            track->trackNumber = listed.track;
            track->address = listed.address;
            track->size = listed.size;
            track->control = listed.size == 0 ? 0x04 : 0x00; // a data track has no length of its own
            audio = audio && listed.size != 0;
            s->lastTrack = listed.track;
            *nextTrack = track;
            nextTrack = &track->next;
        }
        s->type = audio && s->firstTrack ? 0x00 : 0x04;
        d.model->sessionCount = n;
        FileEntry* root = NewEntry(d);
        if (!root)
            return false;
        t->root = root;
        root->type = 'V';
        root->directoryNumber = 1;
        t->directoryCount = 1;
        Iso_Utf8ToSjis(root->name, sizeof root->name, volume);
        if (!SetEntryText(d, root, volume))
            return false;
    }
    return true;
}

// Entry `e` named `name` (UTF-8) in both of the model's forms.
bool Name(Disc& d, FileEntry* e, std::string_view name) {
    Iso_Utf8ToSjis(e->name, sizeof e->name, name);
    const bool ascii = std::all_of(name.begin(), name.end(), [](char c) { return (c & 0x80) == 0; });
    return ascii && name.size() < sizeof e->name ? true : SetEntryText(d, e, name);
}

} // namespace

std::unique_ptr<Disc> Iso_ListedDisc(std::string_view volume, const std::vector<IsoListedTrack>& tracks,
                                     const std::vector<IsoListedEntry>& entries) {
    auto d = std::make_unique<Disc>();
    d->listed = true;
    d->device = kIsoNoDevice;
    d->model = NewRecord<DiscModel>();
    if (!d->model)
        return nullptr;
    d->model->device = kIsoNoDevice;
    uint8_t sessions = 1;
    for (const IsoListedEntry& e : entries)
        sessions = std::max(sessions, std::min<uint8_t>(e.session, 99));
    for (const IsoListedTrack& t : tracks)
        sessions = std::max(sessions, std::min<uint8_t>(t.session, 99));
    if (!MakeSessions(*d, volume, tracks, sessions))
        return nullptr;
    std::vector<SessionTree*> trees;
    for (SessionTree* t = d->model->firstTree; t; t = t->next)
        trees.push_back(t);
    // Each folder by its session and path, and the last entry put into it so far.
    std::unordered_map<std::string, FileEntry*> folders;
    std::unordered_map<FileEntry*, FileEntry*> last;
    for (const IsoListedEntry& listed : entries) {
        const size_t slash = listed.path.rfind('/');
        if (listed.session < 1 || listed.session > trees.size() || slash == std::string_view::npos ||
            slash + 1 == listed.path.size())
            continue;
        SessionTree* tree = trees[listed.session - 1u];
        const std::string key = std::to_string(listed.session) + std::string(listed.path.substr(0, slash));
        const auto found = slash == 0 ? folders.end() : folders.find(key);
        FileEntry* parent = slash == 0 ? tree->root : found == folders.end() ? nullptr : found->second;
        if (!parent)
            continue;
        FileEntry* e = NewEntry(*d);
        if (!e || !Name(*d, e, listed.path.substr(slash + 1)))
            return nullptr;
        (last[parent] ? last[parent]->nextSibling : parent->firstChild) = e;
        last[parent] = e;
        e->type = listed.type == 'D' ? 'D' : 'F';
        e->lbn = listed.lbn;
        e->size = listed.size;
        e->parentNumber = parent->directoryNumber;
        if (e->type == 'D') {
            e->directoryNumber = static_cast<uint16_t>(++tree->directoryCount);
            folders[std::to_string(listed.session) + std::string(listed.path)] = e;
            if (listed.date)
                std::copy_n(listed.date, 7, d->directoryDates[e].begin());
        } else {
            e->directoryNumber = parent->directoryNumber;
            ++tree->fileCount;
            if (listed.date)
                std::copy_n(listed.date, 7, e->date);
        }
    }
    d->model->currentTree = d->model->firstTree;
    d->model->currentSessionEntry = d->model->firstSession;
    return d;
}
