// CD audio tracks beside data (a mixed-mode disc's "Audio Tracks", a CD-Extra's audio session): what the
// profile's player makes of them, and their place in the playback order where it plays them.
#include <string>
#include <vector>

#include "iso9660/disc.h"
#include "iso9660/iso9660.h"
#include "playercheck/player_check.h"

namespace {

struct AudioTrack {
    const FileEntry* entry;
    std::string path;
    int number;
};

// The audio track entries of every session, as ckvd ls names them, in disc order.
std::vector<AudioTrack> AudioTracks(const Disc& disc) {
    std::vector<AudioTrack> tracks;
    auto take = [&tracks, &disc](const FileEntry* e, const std::string& path) {
        int number = 0;
        if (Iso_AudioTrackSession(disc, e, &number))
            tracks.push_back({e, path + Iso_EntryName(disc, e), number});
    };
    for (const SessionTree* t = disc.model ? disc.model->firstTree : nullptr; t; t = t->next)
        for (const FileEntry* e = t->root ? t->root->firstChild : nullptr; e; e = e->nextSibling) {
            take(e, "/");
            if (Iso_IsAudioFolder(disc, e))
                for (const FileEntry* c = e->firstChild; c; c = c->nextSibling)
                    take(c, "/" + std::string(Iso_EntryName(disc, e)) + "/");
        }
    return tracks;
}

} // namespace

bool Player_AudioBesideData(const Disc& disc, const PlayerProfile& profile, PlayerCheck& result) {
    const std::vector<AudioTrack> tracks = AudioTracks(disc);
    if (tracks.empty())
        return true;
    const PlayerAudio plays = profile.audioBesideData;
    const char* what = plays == PlayerAudio::PlaysAudio  ? "this one plays the audio tracks, not the files"
                       : plays == PlayerAudio::PlaysBoth ? "this one plays both"
                                                         : "this one plays the files, not the audio tracks";
    result.findings.push_back(
        {PlayerSeverity::Note, "audio_beside_data", "", 0, 0,
         std::to_string(tracks.size()) + (tracks.size() == 1 ? " CD audio track" : " CD audio tracks") +
             " beside the data: car players either skip the data or the audio tracks; " + what});
    for (const AudioTrack& t : tracks) {
        if (plays == PlayerAudio::PlaysData)
            result.findings.push_back({PlayerSeverity::Note, "audio_beside_data", t.path, 0, 0,
                                       "CD audio track " + std::to_string(t.number) +
                                           ": the player plays the files, not this track"});
        else // the CD's tracks come first, numbered as the disc numbers them
            result.order.push_back({0, t.number, t.path, t.entry, true});
    }
    if (plays != PlayerAudio::PlaysAudio)
        return true;
    result.findings.push_back({PlayerSeverity::WillNotPlay, "audio_beside_data", "", 0, 0,
                               "the player plays the CD audio tracks and never reads the files"});
    return false;
}
