// The dump's cue sheet, laid out as the cue reader places sessions: a later session's first track after the
// previous session's lead-out, 4500 lead-in and 150 pregap blocks.
#include "dump/dump_cue.h"

#include <cstdio>
#include <filesystem>

#include "platform/cd/cd_time.h"

namespace {

using namespace ckvd::cd;

// A count of blocks as MM:SS:FF.
std::string Time(uint64_t blocks) {
    char text[16];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", static_cast<unsigned>(blocks / kFramesPerMinute),
                  static_cast<unsigned>(blocks / kFramesPerSecond % 60),
                  static_cast<unsigned>(blocks % kFramesPerSecond));
    return text;
}

std::string Two(int n) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d", n);
    return text;
}

} // namespace

std::string Dump_CueSheet(const DumpPlan& plan, const DumpCheck& check) {
    const bool several = plan.tracks.size() > 1 && plan.tracks.front().session != plan.tracks.back().session;
    std::string text;
    for (size_t i = 0; i < plan.tracks.size(); ++i) {
        const DumpTrack& t = plan.tracks[i];
        const bool first = i == 0 || plan.tracks[i - 1].file != t.file;
        if (first && several)
            text += "REM SESSION " + Two(t.session) + "\r\n";
        if (first)
            text +=
                "FILE \"" + std::filesystem::path(plan.files[t.file]).filename().string() + "\" BINARY\r\n";
        const int mode = i < check.trackMode.size() ? check.trackMode[i] : (t.audio ? 0 : 1);
        text += "  TRACK " + Two(t.number) +
                (mode == 0   ? " AUDIO"
                 : mode == 2 ? " MODE2/2352"
                             : " MODE1/2352") +
                "\r\n";
        if (t.pregap)
            text += "    PREGAP " + Time(t.pregap) + "\r\n";
        if (t.hidden)
            text += "    INDEX 00 " + Time(t.byte / plan.sectorBytes) + "\r\n";
        text += "    INDEX 01 " + Time(t.byte / plan.sectorBytes + t.hidden) + "\r\n";
        const bool last = i + 1 == plan.tracks.size() || plan.tracks[i + 1].file != t.file;
        if (!last || !several)
            continue;
        // The lead-out that puts the next session's first track where the disc has it.
        int64_t leadout = i == 0 || t.session == 1 ? kFirstLeadoutSectors : kLaterLeadoutSectors;
        if (i + 1 < plan.tracks.size())
            leadout = int64_t{plan.tracks[i + 1].start} - (int64_t{t.start} + t.blocks) - kLeadinSectors -
                      kPregapSectors;
        text += "REM LEAD-OUT " + Time(static_cast<uint64_t>(std::max<int64_t>(leadout, 0))) + "\r\n";
    }
    return text;
}
