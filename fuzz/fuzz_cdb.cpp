// Arbitrary CDBs, directions and buffer lengths against image drives over a small two-session data disc
// and an audio disc. The buffer is exactly the length given, so any write past it is an ASan finding.
#include <stdlib.h>
#include <unistd.h>

#include "low_track_files.h"
#include "platform/drives/image_drive.h"

using namespace ckvd;
using lowdisc::Track;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* in, size_t size) {
    static drives::ImageDrive *data = nullptr, *audio = nullptr;
    if (!data) {
        char tmpl[] = "/tmp/fuzz_cdb.XXXXXX";
        if (!mkdtemp(tmpl))
            abort();
        const std::string dir = tmpl;
        images::Session s1{1, 0, {Track(dir + "/t1", 1, 0, 40)}, 40};
        const images::lba_t start2 = images::next_session_start({s1});
        images::Session s2{2, 0, {Track(dir + "/t2", 2, start2, 20)}, start2 + 20};
        data = new drives::ImageDrive("data", lowdisc::Disc({s1, s2}, false));
        audio =
            new drives::ImageDrive("audio", lowdisc::Disc({Track(dir + "/t3", 1, 0, 30, 2352, 0, 0)}, 30));
    }
    if (size < 5)
        return 0;
    const size_t cdb_len = in[0] % 17;
    const uint8_t mode = in[1];
    const size_t data_len = (in[2] | in[3] << 8 | (in[4] & 0x01) << 16);
    in += 5;
    size -= 5;
    if (size < cdb_len)
        return 0;

    drives::ImageDrive* drive = (mode & 0x10) ? audio : data;
    drive->set_ready(!(mode & 0x04));
    drive->set_start_fails(mode & 0x20);
    drive->set_toc_convention(static_cast<drives::TocConvention>((mode >> 6) % 3));
    if (mode & 0x08)
        drive->change_medium(lowdisc::Disc(drive->disc()->sessions, drive->disc()->closed));
    const auto dir = static_cast<drives::Direction>((mode & 0x03) % 3);

    std::vector<uint8_t> cdb(in, in + cdb_len);
    std::vector<uint8_t> buffer(data_len);
    const drives::CommandResult r = drive->execute(cdb, dir, buffer);
    if (r.transferred > buffer.size())
        abort();
    if (r.target_status == drives::kStatusCheckCondition && r.sense[0] != 0x70)
        abort();
    return 0;
}
