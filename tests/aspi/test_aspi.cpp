// The stand-in WNASPI32 library as a caller of ASPI sees it (SRB fields in, status and sense out), and the
// ASPI manager over it, both over scriptable host adapters: hard disks, scanners, CD drives that fail.
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <map>
#include <tuple>

#include "aspi/aspi_manager.h"
#include "platform/aspi32/aspi_library.h"
#include "platform/drives/scsi_target.h"

using namespace ckvd;
using namespace ckvd::aspi32;
using drives::Direction;

namespace {

struct SeenCommand {
    std::vector<uint8_t> cdb;
    Direction dir;
    size_t data_size;
    bool operator==(const SeenCommand&) const = default;
};

// Answers the next commands from `script`, then INQUIRY and READ CAPACITY from its fields, else GOOD.
struct FakeTarget : drives::ScsiTarget {
    FakeTarget(uint8_t type, std::string vendor, std::string product, std::string path)
        : type(type), vendor(std::move(vendor)), product(std::move(product)), path(std::move(path)) {}
    uint8_t type, inquiry_byte0 = 5;
    std::string vendor, product, path;
    std::deque<drives::CommandResult> script;
    std::vector<SeenCommand> seen;
    uint8_t device_type() const override { return type; }
    std::string device_path() const override { return path; }
    drives::CommandResult execute(std::span<const uint8_t> cdb, Direction dir,
                                  std::span<uint8_t> data) override {
        seen.push_back({{cdb.begin(), cdb.end()}, dir, data.size()});
        if (!script.empty()) {
            drives::CommandResult r = script.front();
            script.pop_front();
            return r;
        }
        if (cdb[0] == 0x12 && data.size() >= 36) {
            std::memset(data.data(), 0, 36);
            data[0] = inquiry_byte0;
            std::memcpy(&data[8], vendor.data(), std::min<size_t>(8, vendor.size()));
            std::memcpy(&data[16], product.data(), std::min<size_t>(16, product.size()));
        } else if (cdb[0] == 0x25 && data.size() >= 8) {
            const uint8_t capacity[8] = {0x00, 0x01, 0x23, 0x45, 0x00, 0x00, 0x08, 0x00};
            std::memcpy(data.data(), capacity, 8);
        }
        return {};
    }
};

struct FakeAdapter : drives::HostAdapter {
    explicit FakeAdapter(uint8_t max) : max(max) {}
    uint8_t max;
    std::map<uint8_t, std::unique_ptr<FakeTarget>> targets;
    std::string identifier() const override { return "FAKE"; }
    uint8_t max_targets() const override { return max; }
    drives::ScsiTarget* target(uint8_t id) override {
        return targets.contains(id) ? targets[id].get() : nullptr;
    }
    FakeTarget* put(uint8_t id, uint8_t type, std::string vendor = "ACME    ",
                    std::string product = "CD-ROM DRIVE    ", std::string path = {}) {
        return (targets[id] = std::make_unique<FakeTarget>(type, vendor, product, path)).get();
    }
};

drives::CommandResult transport_failure() {
    drives::CommandResult r;
    r.transport_ok = false;
    r.host_status = drives::kHostSelectionTimeout;
    return r;
}

// A zeroed SRB of command `cmd` for adapter `ha` (and target `target` where it has one).
template <typename Srb> Srb Request(BYTE cmd, BYTE ha, BYTE target = 0) {
    Srb srb;
    std::memset(&srb, 0, sizeof srb);
    srb.SRB_Cmd = cmd;
    srb.SRB_HaId = ha;
    if constexpr (requires { srb.SRB_Target; })
        srb.SRB_Target = target;
    return srb;
}

class Wnaspi32 : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetStandIn();
        EXPECT_EQ(LoadLibrary("WNASPI"), nullptr); // the whole name, in any case, with or without ".dll"
        lib = LoadLibrary("wnaspi32.dll");
        ASSERT_NE(lib, nullptr);
        ASSERT_NE(GetProcAddress(lib, "TranslateASPI32Address"), nullptr);
        support = Entry<GetASPI32SupportInfo_t>("GetASPI32SupportInfo");
        send = Entry<SendASPI32Command_t>("SendASPI32Command");
        getBuffer = Entry<GetASPI32Buffer_t>("GetASPI32Buffer");
        freeBuffer = Entry<FreeASPI32Buffer_t>("FreeASPI32Buffer");
        ASSERT_TRUE(support && send && getBuffer && freeBuffer);
        cd = adapter->put(2, 5);
        SetHostAdapters({std::make_shared<FakeAdapter>(8), adapter});
    }
    void TearDown() override {
        FreeLibrary(lib);
        SetHostAdapters({});
        ResetStandIn();
    }
    template <typename F> F Entry(const char* name) { return reinterpret_cast<F>(GetProcAddress(lib, name)); }
    // SC_EXEC_SCSI_CMD for adapter 1, target 2, asking for 14 sense bytes.
    SRB_ExecSCSICmd Exec(BYTE flags, std::span<uint8_t> data, std::vector<uint8_t> cdb) {
        auto srb = Request<SRB_ExecSCSICmd>(SC_EXEC_SCSI_CMD, 1, 2);
        srb.SRB_Flags = flags;
        srb.SRB_BufLen = static_cast<DWORD>(data.size());
        srb.SRB_BufPointer = data.data();
        srb.SRB_SenseLen = 14;
        srb.SRB_CDBLen = static_cast<BYTE>(cdb.size());
        std::memcpy(srb.CDBByte, cdb.data(), cdb.size());
        return srb;
    }
    HMODULE lib = nullptr;
    GetASPI32SupportInfo_t support = nullptr;
    SendASPI32Command_t send = nullptr;
    GetASPI32Buffer_t getBuffer = nullptr;
    FreeASPI32Buffer_t freeBuffer = nullptr;
    std::shared_ptr<FakeAdapter> adapter = std::make_shared<FakeAdapter>(16);
    FakeTarget* cd = nullptr;
};

TEST_F(Wnaspi32, AdministrativeCommands) {
    EXPECT_EQ(support(), 0x0102u); // SS_COMP, two adapters
    auto ha = Request<SRB_HAInquiry>(SC_HA_INQUIRY, 1);
    EXPECT_EQ(send(&ha), SS_COMP);
    EXPECT_EQ(ha.HA_Count, 2);
    EXPECT_EQ(ha.HA_Unique[3], 16);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(ha.HA_Identifier), 4), "FAKE");
    ha.SRB_HaId = 2;
    EXPECT_EQ(send(&ha), SS_INVALID_HA);
    const std::tuple<BYTE, BYTE, BYTE, BYTE> cases[] = {{1, 2, 0, SS_COMP},
                                                        {1, 2, 1, SS_NO_DEVICE},
                                                        {1, 3, 0, SS_NO_DEVICE},
                                                        {1, 200, 0, SS_NO_DEVICE},
                                                        {9, 2, 0, SS_INVALID_HA}};
    for (auto [ha, target, lun, result] : cases) {
        auto dev = Request<SRB_GDEVBlock>(SC_GET_DEV_TYPE, ha, target);
        dev.SRB_Lun = lun;
        EXPECT_EQ(send(&dev), result) << int(target);
        EXPECT_EQ(std::pair(dev.SRB_Status, dev.SRB_DeviceType),
                  std::pair(result, BYTE(result == SS_COMP ? 5 : 0)));
    }
    auto t = Request<SRB_GetSetTimeouts>(SC_GETSET_TIMEOUTS, 0xFF, 0xFF);
    t.SRB_Lun = 0xFF;
    t.SRB_Flags = SRB_GETSET_SET;
    t.SRB_Timeout = 30;
    EXPECT_EQ(send(&t), SS_COMP);
    t.SRB_Flags = 0;
    t.SRB_Timeout = 0;
    EXPECT_EQ(send(&t), SS_COMP);
    EXPECT_EQ(DWORD{t.SRB_Timeout}, 30u);
    SRB_Header unknown{};
    unknown.SRB_Cmd = 0x77;
    EXPECT_EQ(send(&unknown), SS_INVALID_CMD);
    EXPECT_EQ(send(nullptr), SS_INVALID_SRB);
    SetHostAdapters({});
    EXPECT_EQ(support(), DWORD{SS_NO_ADAPTERS} << 8);
}

TEST_F(Wnaspi32, QueuedCommandCompletesAndSignalsItsEvent) {
    uint8_t data[36] = {};
    SRB_ExecSCSICmd srb = Exec(SRB_DIR_IN | SRB_EVENT_NOTIFY, data, {0x12, 0, 0, 0, 36, 0});
    HANDLE ev = CreateEvent();
    srb.SRB_PostProc = ev;
    EXPECT_FALSE(EventIsSet(ev));
    EXPECT_EQ(send(&srb), SS_PENDING);
    EXPECT_EQ(srb.SRB_Status, SS_COMP);
    EXPECT_EQ(srb.SRB_TargStat, 0);
    EXPECT_TRUE(EventIsSet(ev));
    WaitForSingleObject(ev);
    CloseHandle(ev);
    EXPECT_EQ(data[0], 5);
    EXPECT_EQ(cd->seen, (std::vector<SeenCommand>{{{0x12, 0, 0, 0, 36, 0}, Direction::In, 36}}));
    EXPECT_EQ(GetStats().exec_submissions, 1u);
}

TEST_F(Wnaspi32, FailuresComeBackAsStatusAndSense) {
    const auto outOfRange = drives::check_condition(drives::kSenseIllegalRequest, drives::kAscLbaOutOfRange);
    cd->script = {outOfRange, outOfRange, transport_failure()};
    SRB_ExecSCSICmd srb = Exec(SRB_DIR_IN, {}, {0x28, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    srb.SRB_SenseLen = 8;
    std::memset(srb.SenseArea, 0xEE, sizeof srb.SenseArea);
    EXPECT_EQ(send(&srb), SS_PENDING);
    EXPECT_EQ(srb.SRB_Status, SS_ERR);
    EXPECT_EQ(srb.SRB_TargStat, drives::kStatusCheckCondition);
    EXPECT_EQ((std::vector<uint8_t>(srb.SenseArea, srb.SenseArea + 9)),
              (std::vector<uint8_t>{0x70, 0, drives::kSenseIllegalRequest, 0, 0, 0, 0, 10, 0xEE}));
    srb.SRB_SenseLen = 255; // more than the area holds: cut to it
    EXPECT_EQ(send(&srb), SS_PENDING);
    EXPECT_EQ(srb.SenseArea[12], drives::kAscLbaOutOfRange);
    EXPECT_EQ(send(&srb), SS_PENDING);
    EXPECT_EQ(srb.SRB_Status, SS_ERR);
    EXPECT_EQ(srb.SRB_HaStat, HASTAT_SEL_TO);
    // Bad requests are refused at once, without the event: no adapter, no target, a CDB longer than 16
    // bytes, a length without a buffer.
    cd->seen.clear();
    HANDLE ev = CreateEvent();
    srb = Exec(SRB_EVENT_NOTIFY, {}, {0, 0, 0, 0, 0, 0});
    srb.SRB_PostProc = ev;
    const std::tuple<BYTE, BYTE, BYTE, DWORD, BYTE> cases[] = {{7, 2, 6, 0, SS_INVALID_HA},
                                                               {1, 4, 6, 0, SS_NO_DEVICE},
                                                               {1, 2, 17, 0, SS_INVALID_SRB},
                                                               {1, 2, 6, 10, SS_INVALID_SRB}};
    for (auto [ha, target, cdbLen, bufLen, result] : cases) {
        std::tie(srb.SRB_HaId, srb.SRB_Target, srb.SRB_CDBLen, srb.SRB_BufLen) =
            std::tuple(ha, target, cdbLen, bufLen);
        EXPECT_EQ(send(&srb), result);
    }
    EXPECT_FALSE(EventIsSet(ev));
    EXPECT_TRUE(cd->seen.empty());
    CloseHandle(ev);
}

TEST_F(Wnaspi32, BuffersUpToTheLimit) {
    SetAspiBufferLimit(131072);
    ASPI32BUFF big{}, ok{};
    big.AB_BufLen = 262144;
    EXPECT_EQ(getBuffer(&big), 0);
    EXPECT_EQ(big.AB_BufPointer, nullptr);
    ok.AB_BufLen = 131072;
    ASSERT_NE(getBuffer(&ok), 0);
    ASSERT_NE(ok.AB_BufPointer, nullptr);
    EXPECT_EQ(ok.AB_BufPointer[131071], 0);
    EXPECT_NE(freeBuffer(&ok), 0);
    EXPECT_EQ(freeBuffer(&ok), 0); // already released
    EXPECT_EQ(GetStats().aspi_buffers_live, 0u);
}

// A WNASPI32 that forwards to ours and remembers what the manager asked for.
SendASPI32Command_t g_realSend = nullptr;
SRB_GetSetTimeouts g_lastTimeouts;
SRB_ExecSCSICmd g_lastExec;
DWORD g_timeoutAnswer = SS_COMP;

DWORD RecordingSend(void* srb) {
    auto* h = static_cast<SRB_Header*>(srb);
    if (h->SRB_Cmd == SC_GETSET_TIMEOUTS) {
        std::memcpy(&g_lastTimeouts, srb, sizeof g_lastTimeouts);
        if (g_timeoutAnswer != SS_COMP)
            return g_timeoutAnswer;
    }
    if (h->SRB_Cmd == SC_EXEC_SCSI_CMD)
        std::memcpy(&g_lastExec, srb, sizeof g_lastExec);
    return g_realSend(srb);
}

// The stand-in library with one entry point replaced (or, with a null address, removed).
Library WithEntry(const char* name, void* address) {
    Library lib = DefaultWnaspi32();
    std::erase_if(lib.entries, [&](const auto& e) { return e.first == name && !address; });
    for (auto& [entry, where] : lib.entries)
        if (entry == name)
            where = address;
    return lib;
}

// The device list as "ha:target vendor|product|root" lines.
std::string Listing() {
    std::string s;
    for (const DeviceEntry* d = g_DeviceList; d; d = d->next)
        s += std::to_string(d->hostAdapterId) + ":" + std::to_string(d->targetId) + " " + d->vendor + "|" +
             d->product + "|" + d->driveRootPath + "\n";
    return s;
}

class AspiManager : public ::testing::Test {
  protected:
    void SetUp() override { Fresh(); }
    void Fresh() {
        ResetStandIn();
        SetSleepHook([](DWORD) {}); // the polling loop runs without waiting
        Library def = DefaultWnaspi32();
        g_realSend = reinterpret_cast<SendASPI32Command_t>(GetProcAddress(&def, "SendASPI32Command"));
        g_timeoutAnswer = SS_COMP;
        std::memset(&g_lastTimeouts, 0, sizeof g_lastTimeouts);
        OfferLibrary(WithEntry("SendASPI32Command", reinterpret_cast<void*>(&RecordingSend)));
    }
    // Whatever the start did, stopping releases all of it.
    void TearDown() override { ExpectAllReleased(); }
    void ExpectAllReleased() {
        Aspi_Terminate();
        const Stats& s = GetStats();
        EXPECT_EQ(s.aspi_buffers_live + s.virtual_blocks_live + s.heap_blocks_live + s.events_live, 0u);
        EXPECT_EQ(s.libraries_loaded, 0u);
        EXPECT_EQ(g_DeviceList, nullptr);
        EXPECT_EQ(g_DeviceCount, 0);
        ResetStandIn();
        SetHostAdapters({});
    }
    int StartAndScan(std::vector<std::shared_ptr<drives::HostAdapter>> adapters) {
        SetHostAdapters(std::move(adapters));
        EXPECT_EQ(Aspi_Initialize(), ASPI_OK);
        return Aspi_ScanDevices();
    }
    std::shared_ptr<FakeAdapter> adapter0 = std::make_shared<FakeAdapter>(8);
};

TEST_F(AspiManager, StartResults) {
    // The transfer buffer: 512, 256 or 128 KiB from ASPI, else 64 KiB of own memory (never asked of ASPI).
    const auto failingSupport = reinterpret_cast<void*>(+[]() -> DWORD { return DWORD{SS_ERR} << 8; });
    const std::tuple<const char*, void*, DWORD, bool, int> cases[] = {
        {"SendASPI32Command", nullptr, 524288, false, ASPI_ERR_NO_ENTRY},
        {"GetASPI32SupportInfo", nullptr, 524288, false, ASPI_ERR_NO_ENTRY},
        {"GetASPI32SupportInfo", failingSupport, 524288, false, ASPI_ERR_SUPPORT_INFO},
        {"", nullptr, 524288, false, ASPI_OK},
        {"", nullptr, 262144, true, ASPI_OK},
        {"", nullptr, 131072, true, ASPI_OK},
        {"", nullptr, 65536, true, ASPI_ERR_NO_BUFFER_OR_DEVICE},
        {"", nullptr, 0, false, ASPI_OK},
        {"GetASPI32Buffer", nullptr, 524288, false, ASPI_OK},
        {"GetASPI32Buffer", nullptr, 524288, true, ASPI_ERR_NO_BUFFER_OR_DEVICE}};
    for (auto [entry, with, aspiLimit, virtualFails, result] :
         cases) { // `entry` replaced by `with`, or removed
        SCOPED_TRACE(::testing::Message() << entry << " " << aspiLimit << " " << virtualFails);
        Fresh();
        OfferLibrary(WithEntry(entry, with));
        SetAspiBufferLimit(aspiLimit);
        SetVirtualAllocFails(virtualFails);
        EXPECT_EQ(Aspi_Initialize(), result);
        EXPECT_EQ(result != ASPI_OK || Aspi_ScanDevices() == ASPI_OK, true); // no adapters: an empty list
        ExpectAllReleased();
    }
    // Loading asks for no message box (SEM_NOOPENFILEERRORBOX) and restores the caller's error mode.
    Fresh();
    WithdrawLibrary("WNASPI32");
    SetErrorMode(0x0001);
    EXPECT_EQ(Aspi_Initialize(), ASPI_ERR_NO_LIBRARY);
    EXPECT_EQ(GetStats().error_mode_at_load, 0x8000u);
    EXPECT_EQ(SetErrorMode(0), 0x0001u);
    ExpectAllReleased();
    Fresh();
    g_timeoutAnswer = SS_INVALID_HA;
    EXPECT_EQ(Aspi_Initialize(), SS_INVALID_HA);
    // Thirty half seconds for every adapter, target and LUN.
    const SRB_GetSetTimeouts& t = g_lastTimeouts;
    EXPECT_EQ(
        (std::vector<int>{t.SRB_Cmd, t.SRB_HaId, t.SRB_Flags, t.SRB_Target, t.SRB_Lun, int(t.SRB_Timeout)}),
        (std::vector<int>{SC_GETSET_TIMEOUTS, 255, 16, 255, 255, 30}));
    Aspi_Terminate();
    Aspi_Terminate(); // twice
}

TEST_F(AspiManager, ScanKeepsCdRomsInAdapterAndTargetOrder) {
    adapter0->put(3, 5, "SECOND  ", "DRIVE B         ");
    adapter0->put(1, 5, "FIRST   ", "DRIVE A         ");
    adapter0->put(0, 0);                       // hard disk
    adapter0->put(2, 6);                       // scanner
    adapter0->put(4, 5)->inquiry_byte0 = 0x25; // CD-ROM type with peripheral qualifier 1
    adapter0->put(5, 5)->inquiry_byte0 = 0x00; // says CD-ROM to ASPI, disk to INQUIRY
    adapter0->put(6, 5)->script.assign(2, drives::check_condition(5, 0x24)); // INQUIRY fails twice
    // A second adapter of 16 targets, then one claiming 32: scanned with 8.
    auto sixteen = std::make_shared<FakeAdapter>(16), wide = std::make_shared<FakeAdapter>(32);
    sixteen->put(9, 5, "SIXTEEN ");
    wide->put(9, 5, "WIDE    ");
    EXPECT_EQ(StartAndScan({adapter0, sixteen, wide}), SS_NO_DEVICE); // the last target was empty
    EXPECT_EQ(Listing(), "0:1 FIRST   |DRIVE A         |\n"
                         "0:3 SECOND  |DRIVE B         |\n"
                         "1:9 SIXTEEN |CD-ROM DRIVE    |\n");
    EXPECT_EQ(g_DeviceCount, 3);
    EXPECT_EQ(Aspi_GetDevice(2), g_DeviceList->next->next);
    EXPECT_EQ(Aspi_GetDevice(3), nullptr);
    EXPECT_EQ(GetStats().heap_blocks_live, 3u); // the refused probes left no record behind
    // The probe is INQUIRY, 36 bytes in.
    EXPECT_EQ(adapter0->targets[1]->seen,
              (std::vector<SeenCommand>{{{0x12, 0, 0, 0, 36, 0}, Direction::In, 36}}));
    // A rescan replaces the list; its result is the last probe's.
    for (uint8_t id : {1, 6})
        adapter0->targets.erase(id);
    SetHostAdapters({adapter0});
    adapter0->put(7, 0);
    EXPECT_EQ(Aspi_ScanDevices(), SS_COMP); // a hard disk last: its device-type request succeeded
    EXPECT_EQ(Listing(), "0:3 SECOND  |DRIVE B         |\n");
    EXPECT_EQ(GetStats().heap_blocks_live, 1u);
    adapter0->put(7, 5);
    EXPECT_EQ(Aspi_ScanDevices(), ASPI_OK);
    SetHostAdapters({adapter0, nullptr}); // an adapter whose inquiry fails, probed last
    EXPECT_EQ(Aspi_ScanDevices(), SS_INVALID_HA);
    // A record that cannot be allocated ends the scan with 255.
    SetHostAdapters({adapter0});
    SetHeapAllocFails(true, 1);
    EXPECT_EQ(Aspi_ScanDevices(), ASPI_ERR_NO_MEMORY);
    EXPECT_EQ(Listing(), "0:3 SECOND  |DRIVE B         |\n");
}

class AspiCommands : public AspiManager {
  protected:
    void SetUp() override {
        AspiManager::SetUp();
        drive0 = adapter0->put(1, 5);
        adapter0->put(3, 5);
        StartAndScan({adapter0});
        ASSERT_EQ(g_DeviceCount, 2);
        drive0->seen.clear();
        GetStats().exec_submissions = 0;
    }
    FakeTarget* drive0 = nullptr;
};

TEST_F(AspiCommands, FailuresAreSubmittedTwiceExceptUnitAttention) {
    const auto notReady = drives::check_condition(drives::kSenseNotReady, 0x04, 0x01);
    const std::tuple<std::vector<drives::CommandResult>, int, unsigned> cases[] = {
        {{drives::check_condition(drives::kSenseUnitAttention, drives::kAscMediumChanged)}, SS_ERR, 1},
        {{notReady, notReady}, SS_ERR, 2},
        {{transport_failure(), transport_failure()}, SS_ERR, 2},
        {{notReady}, ASPI_OK, 2}, // the retry succeeded
        {{}, ASPI_OK, 1},
    };
    for (const auto& [script, result, submissions] : cases) {
        drive0->script.assign(script.begin(), script.end());
        GetStats().exec_submissions = 0;
        EXPECT_EQ(Aspi_TestUnitReady(0), result) << submissions;
        EXPECT_EQ(GetStats().exec_submissions, submissions);
    }
    // The event path asks for notification and fourteen sense bytes, and never sleeps.
    EXPECT_EQ(g_lastExec.SRB_Flags, SRB_EVENT_NOTIFY);
    EXPECT_EQ(g_lastExec.SRB_SenseLen, 14);
    EXPECT_EQ(GetStats().sleeps, 0u);
    // Rejected at once: a device index past the list (current device kept), a drive gone since the scan,
    // a CDB longer than 16 bytes, a read whose length cannot be described.
    GetStats().exec_submissions = 0;
    EXPECT_EQ(Aspi_TestUnitReady(1), ASPI_OK);
    EXPECT_EQ(g_CurrentDevice, 1);
    EXPECT_EQ(Aspi_TestUnitReady(2), ASPI_ERR_NO_BUFFER_OR_DEVICE);
    EXPECT_EQ(Aspi_ReadSectors(0xFFFF, 0, 2048, 1, nullptr), ASPI_ERR_NO_BUFFER_OR_DEVICE);
    EXPECT_EQ(g_CurrentDevice, 1);
    uint8_t cdb[17] = {};
    EXPECT_EQ(Aspi_ReadSectors(0, 0, 0x10000000, 32, cdb), SS_BUFFER_TO_BIG);
    EXPECT_EQ(GetStats().exec_submissions, 1u);
    EXPECT_EQ(Aspi_ExecuteCommand(0, ASPI_DIR_NONE, 0, nullptr, sizeof cdb, cdb), SS_INVALID_SRB);
    GetStats().exec_submissions = 0;
    adapter0->targets.erase(3);
    EXPECT_EQ(Aspi_TestUnitReady(1), SS_NO_DEVICE);
    EXPECT_EQ(GetStats().exec_submissions, 2u);
}

TEST_F(AspiCommands, PollingPathWhenNoEventCanBeCreated) {
    SetCreateEventFails(true);
    uint8_t toc[4] = {};
    EXPECT_EQ(Aspi_ReadToc(0, 0, 0, 0, sizeof toc, toc), ASPI_OK);
    EXPECT_EQ(g_lastExec.SRB_Flags, SRB_DIR_IN); // no notification asked for
    EXPECT_EQ(GetStats().exec_submissions, 1u);
    SetExecStaysPending(true);
    const unsigned sleeps = GetStats().sleeps;
    EXPECT_EQ(Aspi_TestUnitReady(0), SS_ABORTED);
    EXPECT_EQ(GetStats().exec_submissions, 3u); // given up, then retried once
    EXPECT_EQ(GetStats().sleeps - sleeps, 2 * ASPI_POLL_LIMIT);
}

TEST_F(AspiCommands, CommandBlocksAndReadCapacity) {
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
    Aspi_ReadToc(0, 1, 2, 0, 0x324, buf);
    EXPECT_EQ(g_LastTransferred, 0x324u);
    EXPECT_EQ(Aspi_ReadSectors(0, 0x00012345, 2048, 32, buf), ASPI_OK);
    EXPECT_EQ(g_LastTransferred, 0u); // the fake target reports none moved
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
    EXPECT_EQ(lba, 0x00012345u);
    EXPECT_EQ(length, 2048u);
    lba = length = 7; // written only on success
    drive0->script.assign(2, drives::check_condition(drives::kSenseNotReady, drives::kAscMediumNotPresent));
    EXPECT_EQ(Aspi_ReadCapacity(0, &lba, &length), SS_ERR);
    EXPECT_EQ(std::make_pair(lba, length), std::make_pair(7u, 7u));
}

TEST_F(AspiCommands, RootPathsComeFromTheDevicePaths) {
    adapter0->targets.clear();
    adapter0->put(1, 5, "A       ", "A               ", "/dev/sr0");
    adapter0->put(2, 5, "B       ", "B               ", "");
    adapter0->put(3, 5, "C       ", "C               ",
                  std::string(ASPI_ROOT_PATH_LEN, 'x')); // no room for '/'
    adapter0->put(4, 5, "D       ", "D               ", "/images/disc.cue");
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
TEST_F(AspiCommands, StartSpinsUpThenTestsTenTimesHalfASecondApart) {
    const auto notReady = drives::check_condition(drives::kSenseNotReady, 0x04, 0x01);
    // TEST UNIT READY answers NOT READY `notReadyTests` times (each submitted twice).
    const std::tuple<int, bool, int, int, int> cases[] = {{0, false, ASPI_OK, 1, 0},
                                                          {3, false, ASPI_OK, 4, 3},
                                                          {3, true, ASPI_OK, 4, 3},
                                                          {12, false, SS_ERR, 10, 9}};
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
        EXPECT_EQ(r.spinUp, spinUpFails ? SS_ERR : ASPI_OK);
        EXPECT_EQ(spinUps.size(), spinUpFails ? 1u : 0u);
        EXPECT_EQ(r.ready, ready) << notReadyTests;
        EXPECT_EQ(r.tests, tests);
        EXPECT_EQ(waits, std::vector<int>(size_t(waitCount), 500));
    }
    // No disc is said by the first test, without a wait; a medium change is asked again at once.
    const auto noDisc = drives::check_condition(drives::kSenseNotReady, drives::kAscMediumNotPresent);
    const auto changed = drives::check_condition(drives::kSenseUnitAttention, drives::kAscMediumChanged);
    const std::tuple<std::vector<drives::CommandResult>, int, int, uint8_t> answers[] = {
        {{noDisc, noDisc}, SS_ERR, 1, drives::kAscMediumNotPresent}, {{changed}, ASPI_OK, 2, 0}};
    for (const auto& [tests, ready, count, asc] : answers) {
        drive0->script.assign(1, drives::CommandResult{});
        drive0->script.insert(drive0->script.end(), tests.begin(), tests.end());
        AspiStartHooks hooks;
        hooks.wait = [](int) { ADD_FAILURE() << "waited"; };
        const AspiStartResult r = Aspi_StartDevice(0, hooks);
        EXPECT_EQ(std::tuple(r.ready, r.tests, r.sense.asc), std::tuple(ready, count, asc));
    }
}

} // namespace
