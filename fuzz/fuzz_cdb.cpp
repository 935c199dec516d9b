// Arbitrary CDBs, directions and buffer lengths against image drives over a small two-session data disc
// and an audio disc. The buffer is exactly the length given, so any write past it is an ASan finding.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/drives/image_drive.h"

using namespace ckvd;

namespace {

std::string g_dir;
drives::ImageDrive* g_data = nullptr;
drives::ImageDrive* g_audio = nullptr;

images::Track write_track(uint8_t number, images::TrackMode mode, images::lba_t start, uint32_t length) {
    images::Track t;
    t.number = number;
    t.mode = mode;
    t.control = mode == images::TrackMode::Audio ? 0x00 : 0x04;
    t.start = start;
    t.length = length;
    t.sector_size = mode == images::TrackMode::Audio ? 2352 : 2048;
    t.file = g_dir + "/track" + std::to_string(number) + ".bin";
    std::vector<uint8_t> bytes(size_t{length} * t.sector_size);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i * 31 + number);
    FILE* f = std::fopen(t.file.c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size())
        abort();
    std::fclose(f);
    return t;
}

std::unique_ptr<images::DiscImage> make_disc(std::vector<images::Session> sessions, bool closed) {
    auto d = std::make_unique<images::DiscImage>();
    d->sessions = std::move(sessions);
    d->closed = closed;
    d->full_toc = images::make_full_toc(d->sessions, closed);
    return d;
}

void setup() {
    char tmpl[] = "/tmp/fuzz_cdb.XXXXXX";
    if (!mkdtemp(tmpl))
        abort();
    g_dir = tmpl;
    images::Session s1{1, 0, {write_track(1, images::TrackMode::Mode1, 0, 40)}, 40};
    const images::lba_t start2 = images::next_session_start({s1});
    images::Session s2{2, 0, {write_track(2, images::TrackMode::Mode1, start2, 20)}, start2 + 20};
    g_data = new drives::ImageDrive("data", make_disc({s1, s2}, false));
    images::Session a{1, 0, {write_track(3, images::TrackMode::Audio, 0, 30)}, 30};
    a.tracks[0].number = 1;
    g_audio = new drives::ImageDrive("audio", make_disc({a}, true));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* in, size_t size) {
    if (!g_data)
        setup();
    if (size < 5)
        return 0;
    const size_t cdb_len = in[0] % 17;
    const uint8_t mode = in[1];
    const size_t data_len = (in[2] | in[3] << 8 | (in[4] & 0x01) << 16);
    in += 5;
    size -= 5;
    if (size < cdb_len)
        return 0;

    drives::ImageDrive* drive = (mode & 0x10) ? g_audio : g_data;
    drive->set_ready(!(mode & 0x04));
    drive->set_start_fails(mode & 0x20);
    if (mode & 0x08)
        drive->change_medium(make_disc(drive->disc()->sessions, drive->disc()->closed));
    const auto dir = static_cast<drives::Direction>((mode & 0x03) % 3);

    std::vector<uint8_t> cdb(in, in + cdb_len);
    std::vector<uint8_t> data(data_len);
    const drives::CommandResult r = drive->execute(cdb, dir, data);
    if (r.transferred > data.size())
        abort();
    if (r.target_status == drives::kStatusCheckCondition && r.sense[0] != 0x70)
        abort();
    return 0;
}
