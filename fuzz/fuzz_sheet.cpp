// Fuzzes one image reader (CKVD_SHEET: cue, ccd, nrg, toc, mds, raw or iso): arbitrary bytes as the sheet,
// next to small data files it may name, then every block of the disc it describes read back.
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <fstream>
#include <string>

#include "images/disc_image.h"

#define CKVD_CAT(a, b) a##b
#define CKVD_LOAD(ext) CKVD_CAT(load_, ext)
#define CKVD_STR(x) #x
#define CKVD_NAME(x) CKVD_STR(x)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string dir = [] {
        std::string d = "/tmp/ckvd-fuzz-sheet-" + std::to_string(::getpid());
        ::mkdir(d.c_str(), 0700);
        std::ofstream(d + "/d.bin", std::ios::binary) << std::string(2352 * 40, '\x01');
        std::ofstream(d + "/s.img", std::ios::binary) << std::string(2352 * 40, '\x02');
        std::ofstream(d + "/s.mdf", std::ios::binary) << std::string(2352 * 40, '\x03');
        return d;
    }();
    const std::string sheet = dir + "/s." CKVD_NAME(CKVD_SHEET);
    std::ofstream(sheet, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    auto r = ckvd::images::CKVD_LOAD(CKVD_SHEET)(sheet);
    if (r) {
        ckvd::images::SectorReader reader(*r.disc);
        std::array<uint8_t, 2048> block{};
        for (ckvd::images::lba_t lba = -2; lba < 45; ++lba)
            reader.read_user_data(lba, block);
        (void)ckvd::images::make_full_toc(r.disc->sessions, r.disc->closed);
    }
    return 0;
}
