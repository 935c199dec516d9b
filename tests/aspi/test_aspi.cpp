// The device facade over scriptable drive groups: hard disks, scanners, CD drives that fail, drives that give
// short answers or never answer. Each call's outcome is its own.
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <map>
#include <tuple>

#include "aspi/aspi_manager.h"
#include "platform/drives/drive_setup.h"

using namespace ckvd;
using drives::Direction;

namespace {

struct SeenCommand {
    std::vector<uint8_t> cdb;
    Direction dir;
    size_t data_size;
    bool operator==(const SeenCommand&) const = default;
};

// Answers the next commands from `script`, then INQUIRY and READ CAPACITY from its fields, else GOOD.
struct FakeDrive : drives::Drive {
    FakeDrive(uint8_t type, std::string vendor, std::string product, std::string path)
        : type(type), vendor(std::move(vendor)), product(std::move(product)), path(std::move(path)) {}
    uint8_t type, inquiry_byte0 = 5, additional = 31;
    uint32_t inquiry_given = 36;
    std::string vendor, product, path, revision = "1.00";
    std::deque<drives::CommandResult> script;
    std::vector<uint8_t> toc; // what READ TOC gives
    std::vector<SeenCommand> seen;
    uint8_t device_type() const override { return type; }
    std::string device_path() const override { return path; }
    drives::CommandResult run(std::span<const uint8_t> cdb, Direction dir, std::span<uint8_t> data) override {
        seen.push_back({{cdb.begin(), cdb.end()}, dir, data.size()});
        if (!script.empty()) {
            drives::CommandResult r = script.front();
            script.pop_front();
            return r;
        }
        drives::CommandResult r;
        if (cdb[0] == 0x12 && data.size() >= 36) {
            std::memset(data.data(), 0, 36);
            data[0] = inquiry_byte0;
            std::memcpy(&data[8], vendor.data(), std::min<size_t>(8, vendor.size()));
            std::memcpy(&data[16], product.data(), std::min<size_t>(16, product.size()));
            data[4] = additional;
            std::memcpy(&data[32], revision.data(), std::min<size_t>(4, revision.size()));
            r.transferred = inquiry_given;
        } else if (cdb[0] == 0x43) {
            r.transferred = uint32_t(std::min(toc.size(), data.size()));
            std::copy_n(toc.begin(), r.transferred, data.begin());
        } else if (cdb[0] == 0x25 && data.size() >= 8) {
            const uint8_t capacity[8] = {0x00, 0x01, 0x23, 0x45, 0x00, 0x00, 0x08, 0x00};
            std::memcpy(data.data(), capacity, 8);
            r.transferred = 8;
        }
        return r;
    }
};

struct FakeGroup : drives::DriveGroup {
    explicit FakeGroup(uint8_t max) : max(max) {}
    uint8_t max;
    std::map<uint8_t, std::unique_ptr<FakeDrive>> drives;
    uint8_t slot_count() const override { return max; }
    drives::Drive* drive(uint8_t slot) override {
        return drives.contains(slot) ? drives[slot].get() : nullptr;
    }
    FakeDrive* put(uint8_t slot, uint8_t type, std::string vendor = "ACME    ",
                   std::string product = "CD-ROM DRIVE    ", std::string path = {}) {
        return (drives[slot] = std::make_unique<FakeDrive>(type, vendor, product, path)).get();
    }
};

drives::CommandResult transport_failure() {
    drives::CommandResult r;
    r.transport_ok = false;
    r.host_status = drives::kHostCommandTimeout; // a drive that never answered
    return r;
}

// The device list as "group:slot vendor|product|root" lines.
std::string Listing() {
    std::string s;
    for (const DeviceEntry* d = g_DeviceList; d; d = d->next)
        s += std::to_string(d->hostAdapterId) + ":" + std::to_string(d->targetId) + " " + d->vendor + "|" +
             d->product + "|" + d->driveRootPath + "\n";
    return s;
}

class Facade : public ::testing::Test {
  protected:
    void TearDown() override {
        Aspi_Terminate();
        EXPECT_EQ(g_DeviceList, nullptr);
        EXPECT_EQ(g_DeviceCount, 0);
        drives::SetDriveGroups({});
    }
    int StartAndScan(std::vector<std::shared_ptr<drives::DriveGroup>> groups) {
        drives::SetDriveGroups(std::move(groups));
        EXPECT_EQ(Aspi_Initialize(), ASPI_OK);
        return Aspi_ScanDevices();
    }
    std::shared_ptr<FakeGroup> group0 = std::make_shared<FakeGroup>(8);
};

TEST_F(Facade, ScanKeepsCdRomsInGroupAndSlotOrder) {
    drives::SetDriveGroups({group0});
    group0->put(1, 5);
    EXPECT_EQ(Aspi_ScanDevices(), ASPI_OK); // not started: nothing is listed
    EXPECT_EQ(g_DeviceList, nullptr);
    group0->drives.clear();
    group0->put(3, 5, "SECOND  ", "DRIVE B         ");
    group0->put(1, 5, "FIRST   ", "DRIVE A         ");
    group0->put(0, 0);                       // hard disk
    group0->put(2, 6);                       // scanner
    group0->put(4, 5)->inquiry_byte0 = 0x25; // CD-ROM type with peripheral qualifier 1
    group0->put(5, 5)->inquiry_byte0 = 0x00; // says CD-ROM to the scan, disk to INQUIRY
    group0->put(6, 5)->script.assign(2, drives::check_condition(5, 0x24)); // INQUIRY fails twice
    // A second group of 16 slots, then one claiming 32: scanned with 8.
    auto sixteen = std::make_shared<FakeGroup>(16), wide = std::make_shared<FakeGroup>(32);
    sixteen->put(9, 5, "SIXTEEN ");
    wide->put(9, 5, "WIDE    ");
    EXPECT_EQ(StartAndScan({group0, sixteen, wide}), ASPI_SCAN_NO_DEVICE); // the last slot was empty
    EXPECT_EQ(Listing(), "0:1 FIRST   |DRIVE A         |\n"
                         "0:3 SECOND  |DRIVE B         |\n"
                         "1:9 SIXTEEN |CD-ROM DRIVE    |\n");
    EXPECT_EQ(g_DeviceCount, 3);
    EXPECT_EQ(Aspi_GetDevice(2), g_DeviceList->next->next);
    EXPECT_EQ(Aspi_GetDevice(3), nullptr);
    EXPECT_EQ(Aspi_GetDrive(1), group0->drives[3].get());
    // The probe is INQUIRY, 36 bytes in.
    EXPECT_EQ(group0->drives[1]->seen,
              (std::vector<SeenCommand>{{{0x12, 0, 0, 0, 36, 0}, Direction::In, 36}}));
    // A rescan replaces the list; its result is the last probe's.
    for (uint8_t slot : {1, 6})
        group0->drives.erase(slot);
    drives::SetDriveGroups({group0});
    group0->put(7, 0);
    EXPECT_EQ(Aspi_ScanDevices(), ASPI_OK); // a hard disk last: its probe went well
    EXPECT_EQ(Listing(), "0:3 SECOND  |DRIVE B         |\n");
    drives::SetDriveGroups({group0, nullptr}); // a group that is not there, probed last
    EXPECT_EQ(Aspi_ScanDevices(), ASPI_ERR_INVALID_GROUP);
}

// A field of INQUIRY is taken only where both the bytes that came and the additional length reach it.
TEST_F(Facade, InquiryFieldsOnlyWhereTheAnswerReaches) {
    group0->put(0, 5, "FULL    ", "DRIVE           ")->revision = "1.0 ";
    group0->put(1, 5, "SHORT   ", "DRIVE           ")->inquiry_given = 20; // cut inside the product
    group0->put(2, 5, "LENGTH  ", "DRIVE           ")->additional = 27;    // ends before the revision
    group0->put(3, 5, "NONE    ", "DRIVE           ")->additional = 0;     // the header alone
    StartAndScan({group0});
    std::string fields;
    for (const DeviceEntry* d = g_DeviceList; d; d = d->next)
        fields += std::string(d->vendor) + "|" + d->product + "|" + d->revision + "\n";
    EXPECT_EQ(fields, "FULL    |DRIVE           |1.0 \nSHORT   ||\nLENGTH  |DRIVE           |\n||\n");
}

class Commands : public Facade {
  protected:
    void SetUp() override {
        drive0 = group0->put(1, 5);
        group0->put(3, 5);
        StartAndScan({group0});
        ASSERT_EQ(g_DeviceCount, 2);
        drive0->seen.clear();
    }
    FakeDrive* drive0 = nullptr;
};

TEST_F(Commands, FailuresAreSentTwiceExceptUnitAttention) {
    const auto notReady = drives::check_condition(drives::kSenseNotReady, 0x04, 0x01);
    const auto changed = drives::check_condition(drives::kSenseUnitAttention, drives::kAscMediumChanged);
    const auto reset = drives::check_condition(drives::kSenseUnitAttention, drives::kAscPowerOnOrReset);
    const std::tuple<std::vector<drives::CommandResult>, int, size_t, AspiSense> cases[] = {
        {{changed}, ASPI_ERR_FAILED, 1, {6, 0x28, 0}},
        {{notReady, notReady}, ASPI_ERR_FAILED, 2, {2, 4, 1}},
        {{transport_failure(), transport_failure()}, ASPI_ERR_FAILED, 2, {}}, // never answered: no sense
        {{notReady}, ASPI_OK, 2, {}},                                         // the second try went well
        {{}, ASPI_OK, 1, {}},
        {{reset}, ASPI_OK, 2, {}},                                 // after a reset, sent again
        {{notReady, reset}, ASPI_OK, 3, {}},                       // the second try met the reset: once more
        {{reset, reset, reset}, ASPI_ERR_FAILED, 3, {6, 0x29, 0}}, // never more than once after it
    };
    for (const auto& [script, result, sent, sense] : cases) {
        drive0->script.assign(script.begin(), script.end());
        drive0->seen.clear();
        AspiOutcome outcome;
        EXPECT_EQ(Aspi_TestUnitReady(0, &outcome), result) << sent;
        EXPECT_EQ(drive0->seen.size(), sent);
        EXPECT_EQ(outcome.sense, sense);
        EXPECT_EQ(outcome.timedOut, script.size() == 2 && !script[1].transport_ok);
    }
    EXPECT_EQ(drive0->medium_changes(), 1u); // the one 06/28 met
    // Refused at once: a device index past the list, a drive gone since the scan, a read whose length cannot
    // be described. No call moves the current device, which only a disc load sets.
    g_CurrentDevice = 0;
    EXPECT_EQ(Aspi_TestUnitReady(1), ASPI_OK);
    EXPECT_EQ(Aspi_TestUnitReady(2), ASPI_ERR_NO_BUFFER_OR_DEVICE);
    EXPECT_EQ(Aspi_ReadSectors(0xFFFF, 0, 2048, 1, nullptr), ASPI_ERR_NO_BUFFER_OR_DEVICE);
    EXPECT_EQ(g_CurrentDevice, 0);
    drive0->seen.clear();
    EXPECT_EQ(Aspi_ReadSectors(0, 0, 0x10000000, 32, nullptr), ASPI_ERR_TOO_LONG);
    EXPECT_TRUE(drive0->seen.empty());
    group0->drives.erase(3);
    EXPECT_EQ(Aspi_TestUnitReady(1), ASPI_ERR_NO_DRIVE);
}

TEST_F(Commands, CommandBlocksTransfersAndReadCapacity) {
    Aspi_TestUnitReady(0);
    Aspi_StartStopUnit(0, 1);
    uint8_t buf[65536];
    // The format in byte 2 and, for formats 0 to 2, in bits 7-6 of byte 9 as the older ATAPI drives read it.
    Aspi_ReadToc(0, 1, 0x12, 0, 0x324, buf);
    Aspi_ReadToc(0, 0, 0, 0, 8, buf);
    Aspi_ReadToc(0, 0, 1, 0, 12, buf);
    drives::CommandResult answered;
    answered.transferred = 70000; // the bytes moved, never more than the buffer
    drive0->script.assign(1, answered);
    AspiOutcome toc, read;
    Aspi_ReadToc(0, 1, 2, 0, 0x324, buf, &toc);
    EXPECT_EQ(toc.transferred, 0x324u);
    EXPECT_EQ(Aspi_ReadSectors(0, 0x00012345, 2048, 32, buf, &read), ASPI_OK);
    EXPECT_EQ(read.transferred, 0u); // the fake drive reports none moved
    EXPECT_EQ(g_CurrentDevice, 0);
    const std::vector<SeenCommand> expected = {
        {{0x00, 0, 0, 0, 0, 0}, Direction::None, 0},
        {{0x1B, 0, 0, 0, 1, 0}, Direction::None, 0},
        {{0x43, 0x02, 0x02, 0, 0, 0, 0, 0x03, 0x24, 0}, Direction::In, 0x324},
        {{0x43, 0, 0, 0, 0, 0, 0, 0, 8, 0}, Direction::In, 8},
        {{0x43, 0, 1, 0, 0, 0, 0, 0, 12, 0x40}, Direction::In, 12},
        {{0x43, 0x02, 0x02, 0, 0, 0, 0, 0x03, 0x24, 0x80}, Direction::In, 0x324},
        {{0x28, 0, 0x00, 0x01, 0x23, 0x45, 0, 0, 32, 0}, Direction::In, 65536},
    };
    EXPECT_EQ(drive0->seen, expected);
    uint32_t lba = 7, length = 7;
    EXPECT_EQ(Aspi_ReadCapacity(0, &lba, &length), ASPI_OK);
    EXPECT_EQ(std::make_pair(lba, length), std::make_pair(0x00012345u, 2048u));
    lba = length = 7; // written only on success: not after a failure, nor after half an answer
    drive0->script.assign(2, drives::check_condition(drives::kSenseNotReady, drives::kAscMediumNotPresent));
    EXPECT_EQ(Aspi_ReadCapacity(0, &lba, &length), ASPI_ERR_FAILED);
    drives::CommandResult half;
    half.transferred = 4;
    drive0->script.assign(2, half);
    EXPECT_EQ(Aspi_ReadCapacity(0, &lba, &length), ASPI_ERR_FAILED);
    EXPECT_EQ(std::make_pair(lba, length), std::make_pair(7u, 7u));
}

// READ TOC read whole: the head, then what it announces (at most the limit), cut where the drive stopped.
TEST_F(Commands, TocAnswerIsReadInTwoSteps) {
    // A TOC announcing 0x322 bytes after its length field, of which the drive gives `given`.
    const std::tuple<size_t, uint16_t, size_t> cases[] = {
        {0x324, 0xFFFF, 0x324}, {0x324, 0x100, 0x100}, {100, 0xFFFF, 100}, {1, 0xFFFF, 1}};
    for (auto [given, limit, kept] : cases) {
        drive0->toc.assign(given, 0xEE);
        drive0->toc[0] = 0x03;
        if (given > 1)
            drive0->toc[1] = 0x22;
        drive0->seen.clear();
        std::vector<uint8_t> got;
        ASSERT_EQ(Aspi_ReadTocAnswer(0, 1, 2, got, limit), ASPI_OK);
        EXPECT_EQ(got, std::vector<uint8_t>(drive0->toc.begin(), drive0->toc.begin() + kept));
        ASSERT_EQ(drive0->seen.size(), 2u);
        EXPECT_EQ(drive0->seen[0].data_size, 8u);
    }
    drive0->script = {drives::check_condition(drives::kSenseIllegalRequest, drives::kAscInvalidFieldInCdb),
                      drives::check_condition(drives::kSenseIllegalRequest, drives::kAscInvalidFieldInCdb)};
    std::vector<uint8_t> got{1, 2, 3};
    AspiOutcome refused;
    EXPECT_EQ(Aspi_ReadTocAnswer(0, 1, 2, got, 0xFFFF, &refused), ASPI_ERR_FAILED);
    EXPECT_TRUE(got.empty());
    EXPECT_EQ(refused.sense, (AspiSense{drives::kSenseIllegalRequest, drives::kAscInvalidFieldInCdb, 0}));
}

TEST_F(Commands, RootPathsComeFromTheDevicePaths) {
    group0->drives.clear();
    group0->put(1, 5, "A       ", "A               ", "/dev/sr0");
    group0->put(2, 5, "B       ", "B               ", "");
    group0->put(3, 5, "C       ", "C               ",
                std::string(ASPI_ROOT_PATH_LEN, 'x')); // no room for '/'
    group0->put(4, 5, "D       ", "D               ", "/images/disc.cue");
    Aspi_ScanDevices();
    Aspi_AssignRootPaths();
    EXPECT_EQ(Listing(), "0:1 A       |A               |/dev/sr0/\n0:2 B       |B               |\n"
                         "0:3 C       |C               |\n0:4 D       |D               |/images/disc.cue/\n");
    int scan = 0;
    EXPECT_EQ(Aspi_FindDevice("/images/disc.cue", &scan), 3);
    EXPECT_EQ(scan, ASPI_OK);
    EXPECT_EQ(Aspi_FindDevice("/dev/sr1", &scan), -1);
    EXPECT_EQ(scan, ASPI_OK);
}

// A drive still spinning up answers NOT READY for a while: the start waits 500 ms between tests, ten tests
// at most, and a failed START STOP UNIT is reported before the tests, which run all the same.
TEST_F(Commands, StartSpinsUpThenTestsTenTimesHalfASecondApart) {
    const auto notReady = drives::check_condition(drives::kSenseNotReady, 0x04, 0x01);
    // TEST UNIT READY answers NOT READY `notReadyTests` times (each submitted twice).
    const std::tuple<int, bool, int, int, int> cases[] = {{0, false, ASPI_OK, 1, 0},
                                                          {3, false, ASPI_OK, 4, 3},
                                                          {3, true, ASPI_OK, 4, 3},
                                                          {12, false, ASPI_ERR_FAILED, 10, 9}};
    for (auto [notReadyTests, spinUpFails, ready, tests, waitCount] : cases) {
        drive0->script.assign(spinUpFails ? 2 : 1, spinUpFails ? notReady : drives::CommandResult{});
        drive0->script.insert(drive0->script.end(), 2 * notReadyTests, notReady);
        std::vector<int> waits, spinUps;
        AspiStartHooks hooks;
        hooks.wait = [&](int ms) { waits.push_back(ms); };
        hooks.spinUpFailed = [&](int code) {
            EXPECT_TRUE(waits.empty()); // reported before the first test
            spinUps.push_back(code);
        };
        const AspiStartResult r = Aspi_StartDevice(0, hooks);
        EXPECT_EQ(r.spinUp, spinUpFails ? ASPI_ERR_FAILED : ASPI_OK);
        EXPECT_EQ(spinUps.size(), spinUpFails ? 1u : 0u);
        EXPECT_EQ(r.ready, ready) << notReadyTests;
        EXPECT_EQ(r.tests, tests);
        EXPECT_EQ(waits, std::vector<int>(size_t(waitCount), 500));
    }
    // No disc is said by the first test, without a wait; a medium change is asked again at once.
    const auto noDisc = drives::check_condition(drives::kSenseNotReady, drives::kAscMediumNotPresent);
    const auto changed = drives::check_condition(drives::kSenseUnitAttention, drives::kAscMediumChanged);
    const std::tuple<std::vector<drives::CommandResult>, int, int, uint8_t> answers[] = {
        {{noDisc, noDisc}, ASPI_ERR_FAILED, 1, drives::kAscMediumNotPresent}, {{changed}, ASPI_OK, 2, 0}};
    for (const auto& [tests, ready, count, asc] : answers) {
        drive0->script.assign(1, drives::CommandResult{});
        drive0->script.insert(drive0->script.end(), tests.begin(), tests.end());
        AspiStartHooks hooks;
        hooks.wait = [](int) { ADD_FAILURE() << "waited"; };
        const AspiStartResult r = Aspi_StartDevice(0, hooks);
        EXPECT_EQ(std::tuple(r.ready, r.tests, r.sense.asc), std::tuple(ready, count, asc));
    }
}

// The state `ckvd drives` shows comes from the last test's sense.
TEST_F(Commands, MediumStateByTheTestsSense) {
    const auto sense = [](uint8_t key, uint8_t asc, uint8_t ascq) {
        return std::vector<drives::CommandResult>(20, drives::check_condition(key, asc, ascq));
    };
    const std::pair<std::vector<drives::CommandResult>, const char*> cases[] = {
        {{}, "ready"},
        {sense(2, 0x3A, 0), "no-disc"},
        {sense(2, 0x3A, 1), "no-disc"},
        {sense(2, 0x3A, 2), "tray-open"},
        {sense(2, 0x04, 1), "becoming-ready"},
        {sense(2, 0x04, 0), "not-ready"},
        {sense(3, 0x02, 0), "not-ready"},
        {std::vector<drives::CommandResult>(20, transport_failure()), "not-ready"},
    };
    for (const auto& [answers, state] : cases) {
        drive0->script.assign(1, drives::CommandResult{}); // START STOP UNIT
        drive0->script.insert(drive0->script.end(), answers.begin(), answers.end());
        AspiStartHooks hooks;
        hooks.wait = [](int) {};
        EXPECT_STREQ(Aspi_MediumState(Aspi_StartDevice(0, hooks)), state);
    }
}

} // namespace
