// The ASPI for Win32 interface as the ASPI manager uses it: SRB layouts, command codes, flags, status
// values and the five entry points, served by our own host adapters (SG_IO drives and image drives).
#pragma once

#include <cstdint>

using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;

// SRB status values.
constexpr BYTE SS_PENDING = 0x00;
constexpr BYTE SS_COMP = 0x01;
constexpr BYTE SS_ABORTED = 0x02;
constexpr BYTE SS_ERR = 0x04;
constexpr BYTE SS_INVALID_CMD = 0x80;
constexpr BYTE SS_INVALID_HA = 0x81;
constexpr BYTE SS_NO_DEVICE = 0x82;
constexpr BYTE SS_INVALID_SRB = 0xE0;
constexpr BYTE SS_BUFFER_TO_BIG = 0xE6;
constexpr BYTE SS_NO_ADAPTERS = 0xE8;
constexpr BYTE SS_INSUFFICIENT_RESOURCES = 0xE9;

// Host adapter status values.
constexpr BYTE HASTAT_OK = 0x00;
constexpr BYTE HASTAT_SEL_TO = 0x11;

// Command codes.
constexpr BYTE SC_HA_INQUIRY = 0x00;
constexpr BYTE SC_GET_DEV_TYPE = 0x01;
constexpr BYTE SC_EXEC_SCSI_CMD = 0x02;
constexpr BYTE SC_GETSET_TIMEOUTS = 0x08;

// SRB flags.
constexpr BYTE SRB_POSTING = 0x01;
constexpr BYTE SRB_DIR_IN = 0x08;
constexpr BYTE SRB_DIR_OUT = 0x10;
constexpr BYTE SRB_EVENT_NOTIFY = 0x40;
constexpr BYTE SRB_GETSET_SET = 0x10; // SC_GETSET_TIMEOUTS: set rather than get

constexpr int SENSE_LEN = 14;

#pragma pack(push, 1)
struct SRB_Header {
    BYTE SRB_Cmd;
    BYTE SRB_Status;
    BYTE SRB_HaId;
    BYTE SRB_Flags;
    DWORD SRB_Hdr_Rsvd;
};

struct SRB_HAInquiry { // 60 bytes
    BYTE SRB_Cmd;
    BYTE SRB_Status;
    BYTE SRB_HaId;
    BYTE SRB_Flags;
    DWORD SRB_Hdr_Rsvd;
    BYTE HA_Count;
    BYTE HA_SCSI_ID;
    BYTE HA_ManagerId[16];
    BYTE HA_Identifier[16];
    BYTE HA_Unique[16];
    WORD HA_Rsvd1;
};
static_assert(sizeof(SRB_HAInquiry) == 60);

struct SRB_GDEVBlock { // 12 bytes
    BYTE SRB_Cmd;
    BYTE SRB_Status;
    BYTE SRB_HaId;
    BYTE SRB_Flags;
    DWORD SRB_Hdr_Rsvd;
    BYTE SRB_Target;
    BYTE SRB_Lun;
    BYTE SRB_DeviceType;
    BYTE SRB_Rsvd1;
};
static_assert(sizeof(SRB_GDEVBlock) == 12);

struct SRB_GetSetTimeouts { // 14 bytes
    BYTE SRB_Cmd;
    BYTE SRB_Status;
    BYTE SRB_HaId;
    BYTE SRB_Flags;
    DWORD SRB_Hdr_Rsvd;
    BYTE SRB_Target;
    BYTE SRB_Lun;
    DWORD SRB_Timeout; // half seconds
};
static_assert(sizeof(SRB_GetSetTimeouts) == 14);

// 80 bytes with the 32-bit pointers of Win32; the fields are the same here, with native pointers.
struct SRB_ExecSCSICmd {
    BYTE SRB_Cmd;
    BYTE SRB_Status;
    BYTE SRB_HaId;
    BYTE SRB_Flags;
    DWORD SRB_Hdr_Rsvd;
    BYTE SRB_Target;
    BYTE SRB_Lun;
    WORD SRB_Rsvd1;
    DWORD SRB_BufLen;
    BYTE* SRB_BufPointer;
    BYTE SRB_SenseLen;
    BYTE SRB_CDBLen;
    BYTE SRB_HaStat;
    BYTE SRB_TargStat;
    void* SRB_PostProc; // event handle with SRB_EVENT_NOTIFY
    // Reserved space in the Win32 layout; this stand-in reports there the bytes the target moved (the data
    // length less the residual the drive reported), so that an answer shorter than asked can be told.
    DWORD SRB_Transferred;
    BYTE SRB_Rsvd2[16];
    BYTE CDBByte[16];
    BYTE SenseArea[SENSE_LEN + 2];
};
#pragma pack(pop)

struct ASPI32BUFF {
    BYTE* AB_BufPointer;
    DWORD AB_BufLen;
    DWORD AB_ZeroFill;
    DWORD AB_Reserved;
};

// Entry point types, resolved by name from the loaded library.
using GetASPI32SupportInfo_t = DWORD (*)();
using SendASPI32Command_t = DWORD (*)(void* srb);
using GetASPI32Buffer_t = int (*)(ASPI32BUFF* buf); // non-zero on success
using FreeASPI32Buffer_t = int (*)(ASPI32BUFF* buf);
using TranslateASPI32Address_t = int (*)(DWORD* path, DWORD* devnode);
