// The stand-in WNASPI32 library as a caller of ASPI sees it: SRB fields in, status and sense out.
#include <gtest/gtest.h>

#include <cstring>

#include "fake_devices.h"
#include "platform/aspi32/aspi_library.h"

using namespace ckvd;
using namespace ckvd::aspi32;
namespace fake = ckvd::testing;

namespace {

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
        SetHostAdapters({std::make_shared<fake::FakeAdapter>(8), adapter});
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
    std::shared_ptr<fake::FakeAdapter> adapter = std::make_shared<fake::FakeAdapter>(16);
    fake::FakeTarget* cd = nullptr;
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

    struct Case {
        BYTE ha, target, lun, result;
    } cases[] = {{1, 2, 0, SS_COMP},
                 {1, 2, 1, SS_NO_DEVICE},
                 {1, 3, 0, SS_NO_DEVICE},
                 {1, 200, 0, SS_NO_DEVICE},
                 {9, 2, 0, SS_INVALID_HA}};
    for (const Case& c : cases) {
        auto dev = Request<SRB_GDEVBlock>(SC_GET_DEV_TYPE, c.ha, c.target);
        dev.SRB_Lun = c.lun;
        EXPECT_EQ(send(&dev), c.result) << int(c.target);
        EXPECT_EQ(dev.SRB_Status, c.result);
        EXPECT_EQ(dev.SRB_DeviceType, c.result == SS_COMP ? 5 : 0);
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
    EXPECT_EQ(cd->seen,
              (std::vector<fake::SeenCommand>{{{0x12, 0, 0, 0, 36, 0}, drives::Direction::In, 36}}));
    EXPECT_EQ(GetStats().exec_submissions, 1u);
}

TEST_F(Wnaspi32, FailuresComeBackAsStatusAndSense) {
    const auto outOfRange = drives::check_condition(drives::kSenseIllegalRequest, drives::kAscLbaOutOfRange);
    cd->script = {outOfRange, outOfRange, fake::transport_failure()};
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
    struct Case {
        BYTE ha, target, cdbLen;
        DWORD bufLen;
        BYTE result;
    } cases[] = {{7, 2, 6, 0, SS_INVALID_HA},
                 {1, 4, 6, 0, SS_NO_DEVICE},
                 {1, 2, 17, 0, SS_INVALID_SRB},
                 {1, 2, 6, 10, SS_INVALID_SRB}};
    for (const Case& c : cases) {
        srb.SRB_HaId = c.ha;
        srb.SRB_Target = c.target;
        srb.SRB_CDBLen = c.cdbLen;
        srb.SRB_BufLen = c.bufLen;
        EXPECT_EQ(send(&srb), c.result);
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

} // namespace
