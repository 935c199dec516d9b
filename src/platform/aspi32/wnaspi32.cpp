// The stand-in "WNASPI32" library: the five entry points over our host adapters.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/aspi32/aspi_library.h"

namespace ckvd::aspi32 {

namespace {

DWORD g_bufferLimit = UINT32_MAX;
bool g_execStaysPending = false;

constexpr DWORD kMaxTransfer = 0x80000; // HA_Unique bytes 4..7: what one request may move

void set_text(BYTE* field, size_t width, const std::string& text) {
    std::memset(field, ' ', width);
    std::memcpy(field, text.data(), std::min(width, text.size()));
}

DWORD ha_inquiry(SRB_HAInquiry* srb) {
    const auto& adapters = HostAdapters();
    if (srb->SRB_HaId >= adapters.size() || !adapters[srb->SRB_HaId])
        return srb->SRB_Status = SS_INVALID_HA;
    const auto& ha = *adapters[srb->SRB_HaId];
    srb->HA_Count = static_cast<BYTE>(std::min<size_t>(adapters.size(), 255));
    srb->HA_SCSI_ID = 7;
    set_text(srb->HA_ManagerId, sizeof srb->HA_ManagerId, "ASPI for WIN32");
    set_text(srb->HA_Identifier, sizeof srb->HA_Identifier, ha.identifier());
    std::memset(srb->HA_Unique, 0, sizeof srb->HA_Unique);
    srb->HA_Unique[3] = ha.max_targets();
    for (int i = 0; i < 4; ++i)
        srb->HA_Unique[4 + i] = static_cast<BYTE>(kMaxTransfer >> (8 * i));
    return srb->SRB_Status = SS_COMP;
}

// The target a request addresses (adapter, target, LUN 0): SS_COMP with `target` set, else the status.
template <typename Srb> DWORD Address(const Srb* srb, drives::ScsiTarget*& target) {
    const auto& adapters = HostAdapters();
    if (srb->SRB_HaId >= adapters.size() || !adapters[srb->SRB_HaId])
        return SS_INVALID_HA;
    target = srb->SRB_Lun == 0 ? FindTarget(srb->SRB_HaId, srb->SRB_Target) : nullptr;
    return target ? SS_COMP : SS_NO_DEVICE;
}

DWORD get_device_type(SRB_GDEVBlock* srb) {
    drives::ScsiTarget* target = nullptr;
    if (const DWORD status = Address(srb, target); status != SS_COMP)
        return srb->SRB_Status = status;
    srb->SRB_DeviceType = target->device_type();
    return srb->SRB_Status = SS_COMP;
}

DWORD getset_timeouts(SRB_GetSetTimeouts* srb) {
    const auto& adapters = HostAdapters();
    if (srb->SRB_HaId != 0xFF && srb->SRB_HaId >= adapters.size())
        return srb->SRB_Status = SS_INVALID_HA;
    auto& stats = GetStats();
    ++stats.timeout_requests;
    if (srb->SRB_Flags & SRB_GETSET_SET)
        stats.last_timeout = srb->SRB_Timeout;
    else
        srb->SRB_Timeout = stats.last_timeout;
    return srb->SRB_Status = SS_COMP;
}

DWORD exec_scsi_cmd(SRB_ExecSCSICmd* srb) {
    ++GetStats().exec_submissions;
    srb->SRB_HaStat = HASTAT_OK;
    srb->SRB_Transferred = 0;
    srb->SRB_TargStat = 0;
    drives::ScsiTarget* target = nullptr;
    if (const DWORD status = Address(srb, target); status != SS_COMP)
        return srb->SRB_Status = status;
    if (srb->SRB_CDBLen == 0 || srb->SRB_CDBLen > sizeof srb->CDBByte ||
        (srb->SRB_BufLen != 0 && !srb->SRB_BufPointer))
        return srb->SRB_Status = SS_INVALID_SRB;

    // Queued: the caller learns the outcome from SRB_Status once the event is set.
    srb->SRB_Status = SS_PENDING;
    if (g_execStaysPending)
        return SS_PENDING;

    const drives::Direction dir = (srb->SRB_Flags & SRB_DIR_IN)    ? drives::Direction::In
                                  : (srb->SRB_Flags & SRB_DIR_OUT) ? drives::Direction::Out
                                                                   : drives::Direction::None;
    std::span<uint8_t> data;
    if (srb->SRB_BufLen != 0)
        data = std::span<uint8_t>(srb->SRB_BufPointer, srb->SRB_BufLen);
    const drives::CommandResult r =
        target->execute(std::span<const uint8_t>(srb->CDBByte, srb->SRB_CDBLen), dir, data);

    srb->SRB_Transferred = std::min<DWORD>(r.transferred, srb->SRB_BufLen);
    BYTE status;
    if (!r.transport_ok) {
        srb->SRB_HaStat = r.host_status ? r.host_status : HASTAT_SEL_TO;
        status = SS_ERR;
    } else {
        srb->SRB_TargStat = r.target_status;
        if (r.target_status == drives::kStatusCheckCondition) {
            const size_t n = std::min({size_t{srb->SRB_SenseLen}, sizeof srb->SenseArea, r.sense.size()});
            std::memcpy(srb->SenseArea, r.sense.data(), n);
        }
        status = r.target_status == drives::kStatusGood ? SS_COMP : SS_ERR;
    }
    srb->SRB_Status = status;
    if (srb->SRB_Flags & SRB_EVENT_NOTIFY)
        SetEvent(srb->SRB_PostProc);
    return SS_PENDING;
}

DWORD GetASPI32SupportInfo() {
    const auto& adapters = HostAdapters();
    if (adapters.empty())
        return DWORD{SS_NO_ADAPTERS} << 8;
    return DWORD{SS_COMP} << 8 | static_cast<DWORD>(std::min<size_t>(adapters.size(), 255));
}

DWORD SendASPI32Command(void* srb) {
    if (!srb)
        return SS_INVALID_SRB;
    auto* header = static_cast<SRB_Header*>(srb);
    switch (header->SRB_Cmd) {
    case SC_HA_INQUIRY:
        return ha_inquiry(static_cast<SRB_HAInquiry*>(srb));
    case SC_GET_DEV_TYPE:
        return get_device_type(static_cast<SRB_GDEVBlock*>(srb));
    case SC_EXEC_SCSI_CMD:
        return exec_scsi_cmd(static_cast<SRB_ExecSCSICmd*>(srb));
    case SC_GETSET_TIMEOUTS:
        return getset_timeouts(static_cast<SRB_GetSetTimeouts*>(srb));
    default:
        return header->SRB_Status = SS_INVALID_CMD;
    }
}

int GetASPI32Buffer(ASPI32BUFF* buf) {
    if (!buf)
        return 0;
    auto& stats = GetStats();
    stats.buffer_requests.push_back(buf->AB_BufLen);
    if (buf->AB_BufLen == 0 || buf->AB_BufLen > g_bufferLimit)
        return 0;
    buf->AB_BufPointer = static_cast<BYTE*>(std::calloc(1, buf->AB_BufLen));
    if (!buf->AB_BufPointer)
        return 0;
    ++stats.aspi_buffers_live;
    return 1;
}

int FreeASPI32Buffer(ASPI32BUFF* buf) {
    if (!buf || !buf->AB_BufPointer)
        return 0;
    std::free(buf->AB_BufPointer);
    buf->AB_BufPointer = nullptr;
    --GetStats().aspi_buffers_live;
    return 1;
}

int TranslateASPI32Address(DWORD*, DWORD*) {
    return 0;
} // no Plug and Play device nodes here

template <typename F> void* entry(F* f) {
    return reinterpret_cast<void*>(f);
}

} // namespace

void SetAspiBufferLimit(DWORD max_len) {
    g_bufferLimit = max_len;
}
void SetExecStaysPending(bool pending) {
    g_execStaysPending = pending;
}

Library DefaultWnaspi32() {
    return Library{"WNASPI32",
                   {{"GetASPI32SupportInfo", entry(&GetASPI32SupportInfo)},
                    {"SendASPI32Command", entry(&SendASPI32Command)},
                    {"GetASPI32Buffer", entry(&GetASPI32Buffer)},
                    {"FreeASPI32Buffer", entry(&FreeASPI32Buffer)},
                    {"TranslateASPI32Address", entry(&TranslateASPI32Address)}}};
}

} // namespace ckvd::aspi32
