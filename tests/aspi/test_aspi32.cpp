// The stand-in WNASPI32 library as a caller of ASPI sees it: SRB fields in, status and sense out.
#include <gtest/gtest.h>

#include <cstring>

#include "fake_devices.h"
#include "platform/aspi32/aspi_library.h"

using namespace ckvd;
using namespace ckvd::aspi32;
using ckvd::testing::FakeAdapter;

namespace {

class Wnaspi32 : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetStandIn();
        lib = LoadLibrary("wnaspi32.dll");
        ASSERT_NE(lib, nullptr);
        support = reinterpret_cast<GetASPI32SupportInfo_t>(GetProcAddress(lib, "GetASPI32SupportInfo"));
        send = reinterpret_cast<SendASPI32Command_t>(GetProcAddress(lib, "SendASPI32Command"));
        getBuffer = reinterpret_cast<GetASPI32Buffer_t>(GetProcAddress(lib, "GetASPI32Buffer"));
        freeBuffer = reinterpret_cast<FreeASPI32Buffer_t>(GetProcAddress(lib, "FreeASPI32Buffer"));
        ASSERT_TRUE(support && send && getBuffer && freeBuffer);
        ASSERT_NE(GetProcAddress(lib, "TranslateASPI32Address"), nullptr);
        adapter = std::make_shared<FakeAdapter>(16);
        cd = adapter->put(2, 5);
        SetHostAdapters({std::make_shared<FakeAdapter>(8), adapter});
    }
    void TearDown() override {
        FreeLibrary(lib);
        SetHostAdapters({});
        ResetStandIn();
    }
    SRB_ExecSCSICmd Exec(BYTE ha, BYTE target, BYTE flags, std::span<uint8_t> data,
                         std::vector<uint8_t> cdb) {
        SRB_ExecSCSICmd srb;
        std::memset(&srb, 0, sizeof srb);
        srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
        srb.SRB_HaId = ha;
        srb.SRB_Target = target;
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
    std::shared_ptr<FakeAdapter> adapter;
    ckvd::testing::FakeTarget* cd = nullptr;
};

TEST_F(Wnaspi32, SupportInfoCarriesStatusAndAdapterCount) {
    EXPECT_EQ(support(), 0x0102u);
    SetHostAdapters({});
    EXPECT_EQ(support(), DWORD{SS_NO_ADAPTERS} << 8);
}

TEST_F(Wnaspi32, AdapterInquiryAndDeviceType) {
    SRB_HAInquiry ha;
    std::memset(&ha, 0, sizeof ha);
    ha.SRB_Cmd = SC_HA_INQUIRY;
    ha.SRB_HaId = 1;
    EXPECT_EQ(send(&ha), SS_COMP);
    EXPECT_EQ(ha.HA_Count, 2);
    EXPECT_EQ(ha.HA_Unique[3], 16);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(ha.HA_Identifier), 4), "FAKE");
    ha.SRB_HaId = 2;
    EXPECT_EQ(send(&ha), SS_INVALID_HA);

    SRB_GDEVBlock dev;
    std::memset(&dev, 0, sizeof dev);
    dev.SRB_Cmd = SC_GET_DEV_TYPE;
    dev.SRB_HaId = 1;
    dev.SRB_Target = 2;
    EXPECT_EQ(send(&dev), SS_COMP);
    EXPECT_EQ(dev.SRB_DeviceType, 5);
    dev.SRB_Lun = 1;
    EXPECT_EQ(send(&dev), SS_NO_DEVICE);
    dev.SRB_Lun = 0;
    dev.SRB_Target = 3;
    EXPECT_EQ(send(&dev), SS_NO_DEVICE);
    EXPECT_EQ(dev.SRB_Status, SS_NO_DEVICE);
    dev.SRB_Target = 200; // beyond the adapter
    EXPECT_EQ(send(&dev), SS_NO_DEVICE);
    dev.SRB_HaId = 9;
    EXPECT_EQ(send(&dev), SS_INVALID_HA);

    SRB_Header unknown{};
    unknown.SRB_Cmd = 0x77;
    EXPECT_EQ(send(&unknown), SS_INVALID_CMD);
    EXPECT_EQ(send(nullptr), SS_INVALID_SRB);
}

TEST_F(Wnaspi32, TimeoutsAreSetAndReadBack) {
    SRB_GetSetTimeouts t;
    std::memset(&t, 0, sizeof t);
    t.SRB_Cmd = SC_GETSET_TIMEOUTS;
    t.SRB_HaId = t.SRB_Target = t.SRB_Lun = 0xFF;
    t.SRB_Flags = SRB_GETSET_SET;
    t.SRB_Timeout = 30;
    EXPECT_EQ(send(&t), SS_COMP);
    t.SRB_Flags = 0;
    t.SRB_Timeout = 0;
    EXPECT_EQ(send(&t), SS_COMP);
    EXPECT_EQ(DWORD{t.SRB_Timeout}, 30u);
}

TEST_F(Wnaspi32, QueuedCommandCompletesAndSignalsItsEvent) {
    uint8_t data[36] = {};
    SRB_ExecSCSICmd srb = Exec(1, 2, SRB_DIR_IN | SRB_EVENT_NOTIFY, data, {0x12, 0, 0, 0, 36, 0});
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
    ASSERT_EQ(cd->seen.size(), 1u);
    EXPECT_EQ(cd->seen[0].dir, drives::Direction::In);
    EXPECT_EQ(cd->seen[0].data_size, 36u);
    EXPECT_EQ(GetStats().exec_submissions, 1u);
}

TEST_F(Wnaspi32, CheckConditionHandsBackSenseOfTheAskedLength) {
    cd->script.push_back(drives::check_condition(drives::kSenseIllegalRequest, drives::kAscLbaOutOfRange));
    SRB_ExecSCSICmd srb = Exec(1, 2, SRB_DIR_IN, {}, {0x28, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    srb.SRB_SenseLen = 8;
    std::memset(srb.SenseArea, 0xEE, sizeof srb.SenseArea);
    EXPECT_EQ(send(&srb), SS_PENDING);
    EXPECT_EQ(srb.SRB_Status, SS_ERR);
    EXPECT_EQ(srb.SRB_TargStat, drives::kStatusCheckCondition);
    EXPECT_EQ(srb.SenseArea[0], 0x70);
    EXPECT_EQ(srb.SenseArea[2], drives::kSenseIllegalRequest);
    EXPECT_EQ(srb.SenseArea[7], 10);
    EXPECT_EQ(srb.SenseArea[8], 0xEE); // nothing past the sense length

    srb.SRB_SenseLen = 255; // more than the area holds: cut to it
    cd->script.push_back(drives::check_condition(drives::kSenseIllegalRequest, drives::kAscLbaOutOfRange));
    EXPECT_EQ(send(&srb), SS_PENDING);
    EXPECT_EQ(srb.SenseArea[12], drives::kAscLbaOutOfRange);
}

TEST_F(Wnaspi32, TransportFailureReportsTheHostAdapterStatus) {
    cd->script.push_back(ckvd::testing::transport_failure());
    SRB_ExecSCSICmd srb = Exec(1, 2, 0, {}, {0, 0, 0, 0, 0, 0});
    EXPECT_EQ(send(&srb), SS_PENDING);
    EXPECT_EQ(srb.SRB_Status, SS_ERR);
    EXPECT_EQ(srb.SRB_HaStat, HASTAT_SEL_TO);
}

TEST_F(Wnaspi32, BadRequestsAreRejectedAtOnceWithoutTheEvent) {
    HANDLE ev = CreateEvent();
    SRB_ExecSCSICmd srb = Exec(7, 2, SRB_EVENT_NOTIFY, {}, {0, 0, 0, 0, 0, 0});
    srb.SRB_PostProc = ev;
    EXPECT_EQ(send(&srb), SS_INVALID_HA);
    srb.SRB_HaId = 1;
    srb.SRB_Target = 4;
    EXPECT_EQ(send(&srb), SS_NO_DEVICE);
    srb.SRB_Target = 2;
    srb.SRB_CDBLen = 17;
    EXPECT_EQ(send(&srb), SS_INVALID_SRB);
    srb.SRB_CDBLen = 6;
    srb.SRB_BufLen = 10; // a length without a buffer
    EXPECT_EQ(send(&srb), SS_INVALID_SRB);
    EXPECT_FALSE(EventIsSet(ev));
    EXPECT_TRUE(cd->seen.empty());
    CloseHandle(ev);
}

TEST_F(Wnaspi32, BuffersUpToTheLimit) {
    SetAspiBufferLimit(131072);
    ASPI32BUFF big{};
    big.AB_BufLen = 262144;
    EXPECT_EQ(getBuffer(&big), 0);
    EXPECT_EQ(big.AB_BufPointer, nullptr);
    ASPI32BUFF ok{};
    ok.AB_BufLen = 131072;
    ASSERT_NE(getBuffer(&ok), 0);
    ASSERT_NE(ok.AB_BufPointer, nullptr);
    EXPECT_EQ(ok.AB_BufPointer[131071], 0);
    EXPECT_EQ(GetStats().aspi_buffers_live, 1u);
    EXPECT_NE(freeBuffer(&ok), 0);
    EXPECT_EQ(freeBuffer(&ok), 0); // already released
    EXPECT_EQ(GetStats().aspi_buffers_live, 0u);
}

TEST(AspiLoader, OfferedLibrariesByName) {
    ResetStandIn();
    EXPECT_NE(LoadLibrary("WNASPI32"), nullptr);
    EXPECT_EQ(LoadLibrary("WNASPI"), nullptr);
    WithdrawLibrary("wnaspi32");
    EXPECT_EQ(LoadLibrary("WNASPI32"), nullptr);
    OfferLibrary(Library{"WNASPI32", {}});
    HMODULE bare = LoadLibrary("WNASPI32");
    ASSERT_NE(bare, nullptr);
    EXPECT_EQ(GetProcAddress(bare, "SendASPI32Command"), nullptr);
    ResetLibraries();
    EXPECT_NE(GetProcAddress(LoadLibrary("WNASPI32"), "SendASPI32Command"), nullptr);
    ResetStandIn();
}

} // namespace
