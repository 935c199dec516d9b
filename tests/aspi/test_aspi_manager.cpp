// The ASPI manager over the stand-in library and scriptable host adapters.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "aspi/aspi_manager.h"
#include "fake_devices.h"
#include "platform/aspi32/aspi_library.h"

using namespace ckvd;
using namespace ckvd::aspi32;
using ckvd::testing::FakeAdapter;
using ckvd::testing::FakeTarget;

namespace {

// A WNASPI32 that forwards to ours and remembers what the manager asked for.
SendASPI32Command_t g_realSend = nullptr;
SRB_GetSetTimeouts g_lastTimeouts;
BYTE g_lastExecFlags = 0;
BYTE g_lastExecSenseLen = 0;
DWORD g_timeoutAnswer = SS_COMP;

DWORD RecordingSend(void* srb) {
    auto* h = static_cast<SRB_Header*>(srb);
    if (h->SRB_Cmd == SC_GETSET_TIMEOUTS) {
        std::memcpy(&g_lastTimeouts, srb, sizeof g_lastTimeouts);
        if (g_timeoutAnswer != SS_COMP)
            return g_timeoutAnswer;
    }
    if (h->SRB_Cmd == SC_EXEC_SCSI_CMD) {
        g_lastExecFlags = h->SRB_Flags;
        g_lastExecSenseLen = static_cast<SRB_ExecSCSICmd*>(srb)->SRB_SenseLen;
    }
    return g_realSend(srb);
}

DWORD FailingSupportInfo() {
    return DWORD{SS_ERR} << 8;
}

Library WithEntry(const char* name, void* address) {
    Library lib = DefaultWnaspi32();
    for (auto& [entry, where] : lib.entries)
        if (entry == name)
            where = address;
    return lib;
}

Library WithoutEntry(const char* name) {
    Library lib = DefaultWnaspi32();
    std::erase_if(lib.entries, [&](const auto& e) { return e.first == name; });
    return lib;
}

class AspiManager : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetStandIn();
        SetSleepHook([](DWORD) {}); // the polling loop runs without waiting
        Library def = DefaultWnaspi32();
        g_realSend = reinterpret_cast<SendASPI32Command_t>(GetProcAddress(&def, "SendASPI32Command"));
        g_timeoutAnswer = SS_COMP;
        std::memset(&g_lastTimeouts, 0, sizeof g_lastTimeouts);
        OfferLibrary(WithEntry("SendASPI32Command", reinterpret_cast<void*>(&RecordingSend)));
        adapter0 = std::make_shared<FakeAdapter>(8);
    }
    void TearDown() override {
        Aspi_Terminate();
        const Stats& s = GetStats();
        EXPECT_EQ(s.aspi_buffers_live, 0u);
        EXPECT_EQ(s.virtual_blocks_live, 0u);
        EXPECT_EQ(s.heap_blocks_live, 0u);
        EXPECT_EQ(s.libraries_loaded, 0u);
        EXPECT_EQ(s.events_live, 0u);
        ResetStandIn();
        SetHostAdapters({});
    }
    void Install(std::vector<std::shared_ptr<drives::HostAdapter>> adapters) {
        SetHostAdapters(std::move(adapters));
    }
    int StartAndScan() {
        EXPECT_EQ(Aspi_Initialize(), ASPI_OK);
        return Aspi_ScanDevices();
    }
    std::shared_ptr<FakeAdapter> adapter0;
};

// --- start-up ---

TEST_F(AspiManager, StartStopsWith240WithoutTheLibraryAndRestoresTheErrorMode) {
    WithdrawLibrary("WNASPI32");
    SetErrorMode(0x0001);
    EXPECT_EQ(Aspi_Initialize(), ASPI_ERR_NO_LIBRARY);
    EXPECT_EQ(GetStats().error_mode_at_load, 0x8000u);
    EXPECT_EQ(SetErrorMode(0), 0x0001u);
}

TEST_F(AspiManager, StartStopsWith241WhenAnEssentialEntryPointIsMissing) {
    OfferLibrary(WithoutEntry("SendASPI32Command"));
    EXPECT_EQ(Aspi_Initialize(), ASPI_ERR_NO_ENTRY);
    Aspi_Terminate();
    EXPECT_EQ(GetStats().libraries_loaded, 0u); // the partial start is released

    OfferLibrary(WithoutEntry("GetASPI32SupportInfo"));
    EXPECT_EQ(Aspi_Initialize(), ASPI_ERR_NO_ENTRY);
}

TEST_F(AspiManager, StartStopsWith242OnAnUnexpectedSupportStatus) {
    OfferLibrary(WithEntry("GetASPI32SupportInfo", reinterpret_cast<void*>(&FailingSupportInfo)));
    EXPECT_EQ(Aspi_Initialize(), ASPI_ERR_SUPPORT_INFO);
}

TEST_F(AspiManager, StartSetsThirtyHalfSecondsForEveryTarget) {
    Install({adapter0});
    ASSERT_EQ(Aspi_Initialize(), ASPI_OK);
    const SRB_GetSetTimeouts& t = g_lastTimeouts;
    EXPECT_EQ((std::vector<int>{t.SRB_Cmd, t.SRB_HaId, t.SRB_Flags, t.SRB_Target, t.SRB_Lun}),
              (std::vector<int>{SC_GETSET_TIMEOUTS, 255, 16, 255, 255})); // every adapter, target and LUN
    EXPECT_EQ(DWORD{g_lastTimeouts.SRB_Timeout}, 30u);
    EXPECT_EQ(GetStats().last_timeout, 30u);
}

TEST_F(AspiManager, StartReturnsTheStatusOfARefusedTimeoutRequest) {
    g_timeoutAnswer = SS_INVALID_HA;
    EXPECT_EQ(Aspi_Initialize(), SS_INVALID_HA);
}

TEST_F(AspiManager, BufferLadderTakesTheFirstSizeAspiGrants) {
    ASSERT_EQ(Aspi_Initialize(), ASPI_OK);
    EXPECT_EQ(GetStats().buffer_requests, (std::vector<DWORD>{524288}));
    EXPECT_EQ(GetStats().aspi_buffers_live, 1u);
    Aspi_Terminate();

    ResetStandIn();
    SetAspiBufferLimit(131072);
    ASSERT_EQ(Aspi_Initialize(), ASPI_OK);
    EXPECT_EQ(GetStats().buffer_requests, (std::vector<DWORD>{524288, 262144, 131072}));
    EXPECT_EQ(GetStats().aspi_buffers_live, 1u);
    EXPECT_EQ(GetStats().virtual_blocks_live, 0u);
}

TEST_F(AspiManager, BufferFallsBackToOwnMemoryButNeverAsksAspiFor64KiB) {
    SetAspiBufferLimit(65536);
    ASSERT_EQ(Aspi_Initialize(), ASPI_OK);
    EXPECT_EQ(GetStats().buffer_requests, (std::vector<DWORD>{524288, 262144, 131072}));
    EXPECT_EQ(GetStats().aspi_buffers_live, 0u);
    EXPECT_EQ(GetStats().virtual_blocks_live, 1u);
    Aspi_Terminate();
    EXPECT_EQ(GetStats().virtual_blocks_live, 0u);

    OfferLibrary(WithoutEntry("GetASPI32Buffer"));
    ASSERT_EQ(Aspi_Initialize(), ASPI_OK);
    EXPECT_EQ(GetStats().virtual_blocks_live, 1u);
}

TEST_F(AspiManager, StartFailsWith243WithoutAnyBuffer) {
    SetAspiBufferLimit(0);
    SetVirtualAllocFails(true);
    EXPECT_EQ(Aspi_Initialize(), ASPI_ERR_NO_BUFFER_OR_DEVICE);
}

TEST_F(AspiManager, TerminateIsSafeInEveryState) {
    Aspi_Terminate(); // never initialised
    Aspi_Terminate();
    Install({adapter0});
    adapter0->put(1, 5);
    StartAndScan();
    Aspi_Terminate();
    EXPECT_EQ(g_DeviceList, nullptr);
    EXPECT_EQ(g_DeviceCount, 0);
    Aspi_Terminate();
}

// --- device scan ---

TEST_F(AspiManager, NoAdaptersStartsNormallyAndScansAnEmptyList) {
    Install({});
    EXPECT_EQ(StartAndScan(), ASPI_OK);
    EXPECT_EQ(g_DeviceList, nullptr);
    EXPECT_EQ(g_DeviceCount, 0);
}

TEST_F(AspiManager, TwoDrivesKeepScanOrderAndTheirTrailingBlanks) {
    Install({adapter0});
    adapter0->put(3, 5, "SECOND  ", "DRIVE B         ");
    adapter0->put(1, 5, "FIRST   ", "DRIVE A         ");
    EXPECT_EQ(StartAndScan(), SS_NO_DEVICE); // the last probed target (7) is empty
    ASSERT_EQ(g_DeviceCount, 2);
    const DeviceEntry* a = Aspi_GetDevice(0);
    const DeviceEntry* b = Aspi_GetDevice(1);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->next, b);
    EXPECT_EQ(b->next, nullptr);
    EXPECT_EQ(a->hostAdapterId, 0);
    EXPECT_EQ(a->targetId, 1);
    EXPECT_STREQ(a->vendor, "FIRST   ");
    EXPECT_STREQ(a->product, "DRIVE A         ");
    EXPECT_EQ(b->targetId, 3);
    EXPECT_STREQ(b->vendor, "SECOND  ");
    EXPECT_STREQ(b->product, "DRIVE B         ");
    EXPECT_STREQ(a->driveRootPath, "");

    // The probe is INQUIRY, 36 bytes in.
    const auto& seen = adapter0->targets[1]->seen;
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].cdb, (std::vector<uint8_t>{0x12, 0, 0, 0, 36, 0}));
    EXPECT_EQ(seen[0].dir, drives::Direction::In);
    EXPECT_EQ(seen[0].data_size, 36u);
}

TEST_F(AspiManager, ScanResultIsTheLastProbe) {
    Install({adapter0});
    adapter0->put(7, 5);
    EXPECT_EQ(StartAndScan(), ASPI_OK); // a drive at the last target
    adapter0->targets.clear();
    adapter0->put(7, 0);
    EXPECT_EQ(Aspi_ScanDevices(), SS_COMP); // a hard disk there: its device-type request succeeded
    EXPECT_EQ(g_DeviceCount, 0);

    // An adapter whose inquiry fails, probed last, gives its status.
    Install({adapter0, nullptr});
    EXPECT_EQ(Aspi_ScanDevices(), SS_INVALID_HA);
}

TEST_F(AspiManager, TargetCountIsEightUnlessTheAdapterSaysSixteen) {
    auto wide = std::make_shared<FakeAdapter>(32);
    auto sixteen = std::make_shared<FakeAdapter>(16);
    wide->put(9, 5, "WIDE    ");
    sixteen->put(9, 5, "SIXTEEN ");
    Install({wide, sixteen});
    StartAndScan();
    ASSERT_EQ(g_DeviceCount, 1);
    EXPECT_EQ(g_DeviceList->hostAdapterId, 1);
    EXPECT_STREQ(g_DeviceList->vendor, "SIXTEEN ");
}

TEST_F(AspiManager, OnlyDevicesThatAnswerAsCdRomGetARecord) {
    Install({adapter0});
    adapter0->put(0, 0);                       // hard disk
    adapter0->put(1, 6);                       // scanner
    adapter0->put(2, 5)->inquiry_byte0 = 0x25; // CD-ROM type with peripheral qualifier 1
    adapter0->put(3, 5)->inquiry_byte0 = 0x00; // says CD-ROM to ASPI, disk to INQUIRY
    adapter0->put(4, 5)->script.assign(2, drives::check_condition(5, 0x24)); // INQUIRY fails twice
    adapter0->put(5, 5, "GOOD    ");
    adapter0->put(7, 0);
    EXPECT_EQ(StartAndScan(), ASPI_OK);
    ASSERT_EQ(g_DeviceCount, 1);
    EXPECT_EQ(g_DeviceList->targetId, 5);
    EXPECT_STREQ(g_DeviceList->vendor, "GOOD    ");
    EXPECT_EQ(GetStats().heap_blocks_live, 1u); // the refused probes left no record behind
}

TEST_F(AspiManager, AdaptersAreScannedInNumberOrder) {
    auto adapter1 = std::make_shared<FakeAdapter>(16);
    adapter1->put(0, 5, "ONE     ");
    adapter0->put(6, 5, "ZERO    ");
    Install({adapter0, adapter1});
    StartAndScan();
    ASSERT_EQ(g_DeviceCount, 2);
    EXPECT_STREQ(Aspi_GetDevice(0)->vendor, "ZERO    ");
    EXPECT_STREQ(Aspi_GetDevice(1)->vendor, "ONE     ");
    EXPECT_EQ(Aspi_GetDevice(1)->hostAdapterId, 1);
}

TEST_F(AspiManager, ARecordThatCannotBeAllocatedEndsTheScanWith255) {
    Install({adapter0});
    adapter0->put(1, 5);
    adapter0->put(2, 5);
    ASSERT_EQ(Aspi_Initialize(), ASPI_OK);
    SetHeapAllocFails(true, 1);
    EXPECT_EQ(Aspi_ScanDevices(), ASPI_ERR_NO_MEMORY);
    EXPECT_EQ(g_DeviceCount, 1);
    EXPECT_EQ(Aspi_GetDevice(1), nullptr);
}

TEST_F(AspiManager, RescanReplacesTheList) {
    Install({adapter0});
    adapter0->put(1, 5);
    adapter0->put(2, 5);
    StartAndScan();
    EXPECT_EQ(g_DeviceCount, 2);
    adapter0->targets.erase(1);
    Aspi_ScanDevices();
    EXPECT_EQ(g_DeviceCount, 1);
    EXPECT_EQ(g_DeviceList->targetId, 2);
    EXPECT_EQ(GetStats().heap_blocks_live, 1u);
}

// --- command execution ---

class AspiCommands : public AspiManager {
  protected:
    void SetUp() override {
        AspiManager::SetUp();
        Install({adapter0});
        drive0 = adapter0->put(1, 5);
        drive1 = adapter0->put(3, 5);
        StartAndScan();
        ASSERT_EQ(g_DeviceCount, 2);
        drive0->seen.clear();
        drive1->seen.clear();
        GetStats().exec_submissions = 0;
    }
    FakeTarget* drive0 = nullptr;
    FakeTarget* drive1 = nullptr;
};

TEST_F(AspiCommands, IndexPastTheListIs243AndLeavesTheCurrentDevice) {
    EXPECT_EQ(Aspi_TestUnitReady(1), ASPI_OK);
    EXPECT_EQ(g_CurrentDevice, 1);
    EXPECT_EQ(Aspi_TestUnitReady(2), ASPI_ERR_NO_BUFFER_OR_DEVICE);
    EXPECT_EQ(Aspi_ReadSectors(0xFFFF, 0, 2048, 1, nullptr), ASPI_ERR_NO_BUFFER_OR_DEVICE);
    EXPECT_EQ(g_CurrentDevice, 1);
    EXPECT_EQ(GetStats().exec_submissions, 1u);
}

TEST_F(AspiCommands, UnitAttentionIsSubmittedOnceAndReturnedAtOnce) {
    drive0->script.push_back(drives::check_condition(drives::kSenseUnitAttention, drives::kAscMediumChanged));
    EXPECT_EQ(Aspi_TestUnitReady(0), SS_ERR); // queued, then failed: never 0
    EXPECT_EQ(GetStats().exec_submissions, 1u);
    EXPECT_EQ(Aspi_TestUnitReady(0), ASPI_OK); // the attention is reported once
}

TEST_F(AspiCommands, OtherFailuresAreSubmittedTwice) {
    drive0->script.assign(2, drives::check_condition(drives::kSenseNotReady, 0x04, 0x01));
    EXPECT_EQ(Aspi_TestUnitReady(0), SS_ERR);
    EXPECT_EQ(GetStats().exec_submissions, 2u);

    drive0->script.assign(2, ckvd::testing::transport_failure());
    EXPECT_EQ(Aspi_TestUnitReady(0), SS_ERR);
    EXPECT_EQ(GetStats().exec_submissions, 4u);

    drive0->script.assign(1, drives::check_condition(drives::kSenseIllegalRequest, 0x24));
    EXPECT_EQ(Aspi_TestUnitReady(0), ASPI_OK); // the retry succeeded
    EXPECT_EQ(GetStats().exec_submissions, 6u);
}

TEST_F(AspiCommands, ImmediateRejectionsReturnTheirStatus) {
    adapter0->targets.erase(3); // the drive went away after the scan
    EXPECT_EQ(Aspi_TestUnitReady(1), SS_NO_DEVICE);
    EXPECT_EQ(GetStats().exec_submissions, 2u);
    uint8_t cdb[17] = {};
    EXPECT_EQ(Aspi_ExecuteCommand(0, ASPI_DIR_NONE, 0, nullptr, sizeof cdb, cdb), SS_INVALID_SRB);
}

TEST_F(AspiCommands, EventPathAsksForNotificationAndFourteenSenseBytes) {
    EXPECT_EQ(Aspi_TestUnitReady(0), ASPI_OK);
    EXPECT_EQ(g_lastExecFlags, SRB_EVENT_NOTIFY);
    EXPECT_EQ(g_lastExecSenseLen, 14);
    EXPECT_EQ(GetStats().sleeps, 0u);
}

TEST_F(AspiCommands, PollingPathWhenNoEventCanBeCreated) {
    SetCreateEventFails(true);
    uint8_t toc[4] = {};
    EXPECT_EQ(Aspi_ReadToc(0, 0, 0, 0, sizeof toc, toc), ASPI_OK);
    EXPECT_EQ(g_lastExecFlags, SRB_DIR_IN); // no notification asked for
    EXPECT_EQ(GetStats().exec_submissions, 1u);
}

TEST_F(AspiCommands, PollingGivesUpOnARequestThatStaysPending) {
    SetCreateEventFails(true);
    SetExecStaysPending(true);
    EXPECT_EQ(Aspi_TestUnitReady(0), SS_ABORTED);
    EXPECT_EQ(GetStats().exec_submissions, 2u); // given up, then retried once
    EXPECT_EQ(GetStats().sleeps, 2 * ASPI_POLL_LIMIT);
}

TEST_F(AspiCommands, CommandBlocks) {
    Aspi_TestUnitReady(0);
    Aspi_StartStopUnit(0, 1);
    uint8_t toc[0x324];
    Aspi_ReadToc(0, 1, 0x12, 0, sizeof toc, toc);
    Aspi_ReadToc(0, 0, 0, 0, 8, toc);
    ASSERT_EQ(drive0->seen.size(), 4u);
    EXPECT_EQ(drive0->seen[0].cdb, (std::vector<uint8_t>{0x00, 0, 0, 0, 0, 0}));
    EXPECT_EQ(drive0->seen[0].dir, drives::Direction::None);
    EXPECT_EQ(drive0->seen[1].cdb, (std::vector<uint8_t>{0x1B, 0, 0, 0, 1, 0}));
    EXPECT_EQ(drive0->seen[2].cdb, (std::vector<uint8_t>{0x43, 0x02, 0x02, 0, 0, 0, 0, 0x03, 0x24, 0}));
    EXPECT_EQ(drive0->seen[2].data_size, 0x324u);
    EXPECT_EQ(drive0->seen[2].dir, drives::Direction::In);
    EXPECT_EQ(drive0->seen[3].cdb, (std::vector<uint8_t>{0x43, 0, 0, 0, 0, 0, 0, 0, 8, 0}));
}

TEST_F(AspiCommands, ReadOf32BlocksAsksFor65536Bytes) {
    std::vector<uint8_t> buf(65536);
    EXPECT_EQ(Aspi_ReadSectors(1, 0x00012345, 2048, 32, buf.data()), ASPI_OK);
    ASSERT_EQ(drive1->seen.size(), 1u);
    EXPECT_EQ(drive1->seen[0].cdb, (std::vector<uint8_t>{0x28, 0, 0x00, 0x01, 0x23, 0x45, 0, 0, 32, 0}));
    EXPECT_EQ(drive1->seen[0].data_size, 65536u);
    EXPECT_EQ(g_CurrentDevice, 1);
}

TEST_F(AspiCommands, ReadWhoseLengthCannotBeDescribedIsRefusedUnsent) {
    uint8_t buf[1];
    EXPECT_EQ(Aspi_ReadSectors(0, 0, 0x10000000, 32, buf), SS_BUFFER_TO_BIG);
    EXPECT_EQ(GetStats().exec_submissions, 0u);
}

TEST_F(AspiCommands, ReadCapacityConvertsAndWritesOnlyOnSuccess) {
    uint32_t lba = 7, length = 7;
    EXPECT_EQ(Aspi_ReadCapacity(0, &lba, &length), ASPI_OK);
    EXPECT_EQ(lba, 0x00012345u);
    EXPECT_EQ(length, 2048u);

    lba = length = 7;
    drive0->script.assign(2, drives::check_condition(drives::kSenseNotReady, drives::kAscMediumNotPresent));
    EXPECT_EQ(Aspi_ReadCapacity(0, &lba, &length), SS_ERR);
    EXPECT_EQ(lba, 7u);
    EXPECT_EQ(length, 7u);
}

TEST_F(AspiCommands, RootPathsComeFromTheDevicePaths) {
    adapter0->targets.clear();
    adapter0->put(1, 5, "A       ", "A               ", "/dev/sr0");
    adapter0->put(2, 5, "B       ", "B               ", "");
    adapter0->put(3, 5, "C       ", "C               ", std::string(ASPI_ROOT_PATH_LEN, 'x'));
    adapter0->put(4, 5, "D       ", "D               ", "/images/disc.cue");
    Aspi_ScanDevices();
    Aspi_AssignRootPaths();
    ASSERT_EQ(g_DeviceCount, 4);
    EXPECT_STREQ(Aspi_GetDevice(0)->driveRootPath, "/dev/sr0/");
    EXPECT_STREQ(Aspi_GetDevice(1)->driveRootPath, "");
    EXPECT_STREQ(Aspi_GetDevice(2)->driveRootPath, ""); // would not fit with its slash
    EXPECT_STREQ(Aspi_GetDevice(3)->driveRootPath, "/images/disc.cue/");

    int scan = 0;
    EXPECT_EQ(Aspi_FindDevice("/images/disc.cue", &scan), 3);
    EXPECT_EQ(scan, ASPI_OK);
    EXPECT_EQ(Aspi_FindDevice("/dev/sr1", &scan), -1);
    EXPECT_EQ(scan, ASPI_OK);
}

// A drive still spinning up answers NOT READY for a while: the start waits 500 ms between tests, ten tests
// at most, and a failed START STOP UNIT is reported before the tests, which run all the same.
TEST_F(AspiCommands, StartSpinsUpThenTestsTenTimesHalfASecondApart) {
    const auto notReady = drives::check_condition(drives::kSenseNotReady, 0x04, 0x01);
    struct Case {
        int notReadyTests; // TEST UNIT READY answers NOT READY this many times (each submitted twice)
        bool spinUpFails;
        int ready, tests, waits;
    } cases[] = {{0, false, ASPI_OK, 1, 0},
                 {3, false, ASPI_OK, 4, 3},
                 {3, true, ASPI_OK, 4, 3},
                 {12, false, SS_ERR, 10, 9}};
    for (const Case& c : cases) {
        drive0->script.clear();
        if (c.spinUpFails)
            drive0->script.assign(2, notReady);
        else
            drive0->script.push_back({});
        for (int i = 0; i < 2 * c.notReadyTests; ++i)
            drive0->script.push_back(notReady);
        std::vector<int> waits, spinUps;
        AspiStartHooks hooks;
        hooks.wait = [&](int ms) { waits.push_back(ms); };
        hooks.spinUpFailed = [&](int code) {
            EXPECT_TRUE(waits.empty()); // reported before the first test
            spinUps.push_back(code);
        };
        const AspiStartResult r = Aspi_StartDevice(0, hooks);
        EXPECT_EQ(r.spinUp, c.spinUpFails ? SS_ERR : ASPI_OK);
        EXPECT_EQ(spinUps.size(), c.spinUpFails ? 1u : 0u);
        EXPECT_EQ(r.ready, c.ready) << c.notReadyTests;
        EXPECT_EQ(r.tests, c.tests);
        EXPECT_EQ(waits, std::vector<int>(size_t(c.waits), 500));
    }
}

} // namespace
