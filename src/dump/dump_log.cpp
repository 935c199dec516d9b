// The dump's log in text, a "key: value" line each and the hashes in the fields disc databases compare.
#include "dump/dump_log.h"

#include <cstdio>

#include "dump/dump_map.h"

namespace {

std::string Hashes(const DumpHashes& h) {
    return "size=" + std::to_string(h.size) + " crc32=" + h.crc32 + " md5=" + h.md5 + " sha1=" + h.sha1;
}

std::string Trimmed(const char* text) {
    std::string s = text;
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s;
}

} // namespace

DumpCounts Dump_Count(const DumpReader& reader) {
    DumpCounts c;
    for (uint8_t s : reader.States()) {
        ++c.blocks;
        c.unreadable += s == DUMP_UNREADABLE;
        c.notTried += s == DUMP_NOT_TRIED;
    }
    c.read = reader.ReadNow();
    c.retried = reader.RetriedNow();
    return c;
}

std::string Dump_ErrorText(const DumpCommandError& e) {
    char text[96];
    if (e.shortTransfer)
        std::snprintf(text, sizeof text, "the drive moved fewer bytes than %u blocks hold", e.count);
    else
        std::snprintf(text, sizeof text, "sense %X/%02X/%02X", e.sense.key, e.sense.asc, e.sense.ascq);
    return text;
}

std::string Dump_LogText(const std::string& program, const DeviceEntry* drive, const std::string& out,
                         const std::string& mapPath, const DumpPlan& plan, const DumpReader& reader,
                         const DumpCheck& check) {
    std::string text = "program: " + program + "\n";
    if (drive) {
        std::string path = drive->driveRootPath; // kept with a '/' after it
        if (path.size() > 1 && path.back() == '/')
            path.pop_back();
        text += "drive: vendor \"" + Trimmed(drive->vendor) + "\" product \"" + Trimmed(drive->product) +
                "\" revision \"" + Aspi_Revision(*drive) + "\" path " + path + "\n";
    }
    text += "image: " + out + "\nmap: " + mapPath + (reader.Resumed() ? " (resumed)" : "") + "\n";
    text += "disc: " + plan.identity + "\n";
    for (const DumpCommandError& e : reader.Errors())
        text += "error: " + std::string(e.command) + " at " + std::to_string(e.lba) + " (" +
                std::to_string(e.count) + " blocks): " + Dump_ErrorText(e) + "\n";
    if (reader.ErrorsLeftOut())
        text += "error: " + std::to_string(reader.ErrorsLeftOut()) + " more not listed\n";
    const DumpCounts c = Dump_Count(reader);
    text += "blocks: " + std::to_string(c.blocks) + "\nread: " + std::to_string(c.read) +
            "\nretried: " + std::to_string(c.retried) + "\nunreadable: " + std::to_string(c.unreadable) +
            "\nnot tried: " + std::to_string(c.notTried) + "\nverified: " + std::to_string(check.verified) +
            "\nsynthesised: " + std::to_string(check.synthesised) +
            "\ncorrupt: " + std::to_string(check.corrupt) + "\n";
    if (check.synthesised)
        text += "note: " + std::to_string(check.synthesised) +
                " sectors have EDC and ECC zero: the drive gives no EDC/ECC\n";
    for (uint32_t lba : check.corruptBlocks)
        text += "corrupt block: " + std::to_string(lba) + "\n";
    for (const std::string& run : Dump_UnreadableRuns(plan, reader.States()))
        text += "unreadable blocks: " + run + "\n";
    for (size_t i = 0; i < plan.tracks.size() && i < check.tracks.size(); ++i) {
        const DumpTrack& t = plan.tracks[i];
        char head[64];
        std::snprintf(head, sizeof head, "track %02d: session %d, %s, blocks %u-%u", t.number, t.session,
                      t.audio ? "audio" : "data", t.start, t.start + t.blocks - (t.blocks ? 1 : 0));
        text += std::string(head) + ", " + Hashes(check.tracks[i]) + "\n";
        if (const uint8_t made = reader.MadeFromUserData(i))
            text += "track " + std::string(head + 6, 2) +
                    ": sectors made from user data: the drive gives no " +
                    (made == DUMP_SECTORS_REFUSED ? "raw sectors\n" : "EDC/ECC\n");
    }
    for (size_t i = 0; i < plan.files.size() && i < check.files.size(); ++i)
        text += "file: " + plan.files[i] + ", " + Hashes(check.files[i]) + "\n";
    return text;
}
