// In-memory discs for the image drive tests, backed by small sector files written here.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "platform/images/disc_image.h"

namespace ckvd::testing {

// Byte `i` of the user data of block `lba`: the block number first, then a pattern that moves with it.
inline uint8_t sector_byte(images::lba_t lba, size_t i) {
    if (i < 4)
        return static_cast<uint8_t>(static_cast<uint32_t>(lba) >> (8 * (3 - i)));
    return static_cast<uint8_t>(lba * 7 + i);
}

// A track's description; the caller writes its file.
inline images::Track track(uint8_t number, uint8_t control, images::TrackMode mode, images::lba_t start,
                           uint32_t length, std::string file, uint32_t sector_size,
                           uint32_t user_offset = 0) {
    images::Track t;
    t.number = number;
    t.control = control;
    t.mode = mode;
    t.start = start;
    t.length = length;
    t.file = std::move(file);
    t.sector_size = sector_size;
    t.user_offset = user_offset;
    return t;
}

class DiscBuilder {
  public:
    explicit DiscBuilder(const std::string& name)
        : dir_(std::filesystem::path(::testing::TempDir()) / ("ckvd-drives-" + name)) {
        std::filesystem::create_directories(dir_);
    }

    // A cooked data track (2048 bytes a sector) starting at `start`, written to its own file.
    images::Track data_track(uint8_t number, images::lba_t start, uint32_t length) {
        images::Track t = track(number, 0x04, images::TrackMode::Mode1, start, length,
                                (dir_ / ("track" + std::to_string(number) + ".iso")).string(), 2048);
        std::ofstream out(t.file, std::ios::binary | std::ios::trunc);
        std::vector<char> block(2048);
        for (uint32_t n = 0; n < length; ++n) {
            for (size_t i = 0; i < block.size(); ++i)
                block[i] = static_cast<char>(sector_byte(start + static_cast<images::lba_t>(n), i));
            out.write(block.data(), static_cast<std::streamsize>(block.size()));
        }
        return t;
    }

    // An audio track of raw 2352-byte sectors.
    images::Track audio_track(uint8_t number, images::lba_t start, uint32_t length, uint8_t control = 0) {
        images::Track t = track(number, control, images::TrackMode::Audio, start, length,
                                (dir_ / ("audio" + std::to_string(number) + ".bin")).string(), 2352);
        std::ofstream out(t.file, std::ios::binary | std::ios::trunc);
        std::vector<char> block(2352, 0x11);
        for (uint32_t n = 0; n < length; ++n)
            out.write(block.data(), static_cast<std::streamsize>(block.size()));
        return t;
    }

    static std::unique_ptr<images::DiscImage> disc(std::vector<images::Session> sessions, bool closed) {
        auto d = std::make_unique<images::DiscImage>();
        d->path = "memory";
        d->sessions = std::move(sessions);
        d->closed = closed;
        d->full_toc = images::make_full_toc(d->sessions, closed);
        return d;
    }

    // Two data sessions laid out as a recorder leaves them: 300 blocks, then 200 blocks at the next start.
    std::unique_ptr<images::DiscImage> two_session_data_disc() {
        images::Session s1;
        s1.number = 1;
        s1.tracks.push_back(data_track(1, 0, 300));
        s1.leadout = 300;
        images::Session s2;
        s2.number = 2;
        const images::lba_t start2 = images::next_session_start({s1});
        s2.tracks.push_back(data_track(2, start2, 200));
        s2.leadout = start2 + 200;
        return disc({s1, s2}, false);
    }

    // An audio CD of three tracks (the second recorded with copy permission).
    std::unique_ptr<images::DiscImage> audio_disc() {
        images::Session s;
        s.number = 1;
        s.tracks.push_back(audio_track(1, 0, 100));
        s.tracks.push_back(audio_track(2, 100, 150, 0x02));
        s.tracks.push_back(audio_track(3, 250, 50));
        s.leadout = 300;
        return disc({s}, true);
    }

  private:
    std::filesystem::path dir_;
};

} // namespace ckvd::testing
