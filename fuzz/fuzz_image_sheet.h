// Shared body of the sheet fuzzers: arbitrary bytes as the sheet, next to small data files it may name.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <fstream>
#include <string>

#include "platform/images/disc_image.h"

inline int fuzz_image_sheet(const uint8_t* data, size_t size, const char* ext,
                            ckvd::images::LoadResult (*load)(const std::string&)) {
    static const std::string dir = [] {
        std::string d = "/tmp/ckvd-fuzz-sheet-" + std::to_string(::getpid());
        ::mkdir(d.c_str(), 0700);
        std::ofstream(d + "/d.bin", std::ios::binary) << std::string(2352 * 40, '\x01');
        std::ofstream(d + "/s.img", std::ios::binary) << std::string(2352 * 40, '\x02');
        return d;
    }();
    const std::string sheet = dir + "/s." + ext;
    std::ofstream(sheet, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    auto r = load(sheet);
    if (r) {
        ckvd::images::SectorReader reader(*r.disc);
        std::array<uint8_t, 2048> block{};
        for (ckvd::images::lba_t lba = -2; lba < 45; ++lba)
            reader.read_user_data(lba, block);
        (void)ckvd::images::make_full_toc(r.disc->sessions, r.disc->closed);
    }
    return 0;
}
