// Cda_Analyze's failures through POSIX file calls put in by the analyzer's seam, over the track file of an
// audio CD image in an image drive (`ckvd info` compares the track files with cd-info in tests/tools).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "../analyzer_tests.h"
#include "analyzers/cda/cda_module.h"

namespace {

const std::string kDir = CKVD_CDA_FIXTURES;

int s_Opens = 0;
const CdaFileCalls kPosix = {
    [](const char* path) {
        ++s_Opens;
        return ::open(path, O_RDONLY);
    },
    [](int fd, void* buffer, size_t count) { return long(::read(fd, buffer, count)); }, ::close};

TEST(CdaTracks, FileCallFailures) {
    // Track files in a folder: one sound (the first of the image), one cut to 40 bytes, one not CDDA.
    antest::LoadDisc(kDir + "/one.cue");
    ASSERT_EQ(Cda_Initialize(), 1);
    ASSERT_EQ(Cda_Analyze(g_DiscModel->firstTree->root->firstChild), 1);
    const std::string sound(reinterpret_cast<const char*>(g_CdaHeader), sizeof(CdaFileHeader));
    const auto folder = std::filesystem::temp_directory_path() / ("ckvd-cda-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "Track01.cda", std::ios::binary) << sound;
    std::ofstream(folder / "Track02.cda", std::ios::binary) << sound.substr(0, 40);
    std::ofstream(folder / "Track03.cda", std::ios::binary) << sound.substr(0, 8) + "CDDX" + sound.substr(12);

    Cda_SetFileCalls(&kPosix);
    DeviceEntry* device = Aspi_GetDevice(g_CurrentDevice);
    std::snprintf(device->driveRootPath, sizeof device->driveRootPath, "%s/", folder.c_str());
    FileEntry entry{};
    auto analyze = [&entry](const char* name) {
        std::snprintf(entry.name, sizeof entry.name, "%s", name);
        return Cda_Analyze(&entry);
    };
    EXPECT_EQ(analyze("Track01.cda"), 1);
    EXPECT_EQ(analyze("Track02.cda"), CDA_ERR_OPEN);
    EXPECT_EQ(analyze("Track03.cda"), CDA_ERR_NOT_CDDA);
    EXPECT_EQ(analyze("Track01.cdaa"), CDA_ERR_OPEN); // 12 characters are still looked for
    EXPECT_EQ(s_Opens, 4);

    // Nothing is opened for a longer name, a device past the list or a drive without a root path: not even
    // the sound Track01.cda of the folder the program runs in.
    s_Opens = 0;
    EXPECT_EQ(analyze("Track01.cdaaa"), CDA_ERR_NOT_CDDA);
    const std::filesystem::path cwd = std::filesystem::current_path();
    std::filesystem::current_path(folder);
    device->driveRootPath[0] = '\0';
    EXPECT_EQ(analyze("Track01.cda"), CDA_ERR_OPEN);
    std::filesystem::current_path(cwd);
    uint16_t devices = 0;
    for (DeviceEntry* d = g_DeviceList; d; d = d->next)
        ++devices;
    g_CurrentDevice = devices;
    EXPECT_EQ(analyze("Track01.cda"), CDA_ERR_OPEN);
    EXPECT_EQ(s_Opens, 0);
    std::filesystem::remove_all(folder);
    Cda_SetFileCalls(nullptr);
    Cda_Terminate();
    Iso_Terminate();
    Aspi_Terminate();
}

} // namespace
