// Loading "the library WNASPI32": a small loader that resolves entry points by name from a table,
// so that the manager's start-up follows the library-loading path and tests can offer other libraries.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/aspi32/wnaspi32.h"
#include "platform/drives/scsi_target.h"

namespace ckvd::aspi32 {

struct Library {
    std::string name;
    std::vector<std::pair<std::string, void*>> entries;
};

// Kernel-service stand-ins used by the manager.
using HMODULE = const Library*;
HMODULE LoadLibrary(const char* name); // nullptr when no library of that name is offered
void* GetProcAddress(HMODULE lib, const char* name);
void FreeLibrary(HMODULE lib);
unsigned SetErrorMode(unsigned mode);

// Events for SRB_EVENT_NOTIFY (manual reset, initially non-signalled).
using HANDLE = void*;
HANDLE CreateEvent();
void SetEvent(HANDLE ev);
void WaitForSingleObject(HANDLE ev); // no time-out
void CloseHandle(HANDLE ev);
bool EventIsSet(HANDLE ev); // for tests: signalled, without waiting
// Test seam: make CreateEvent fail, so the manager takes its polling path.
void SetCreateEventFails(bool fails);

// Process heap (zero-filled) and committed read-write virtual memory.
void* HeapAlloc(size_t bytes); // nullptr when memory ran out
void HeapFree(void* block);
void* VirtualAlloc(size_t bytes);
void VirtualFree(void* block);
void Sleep(DWORD ms);
// Test seams: make the next heap allocations fail (after `succeed_first` more successes), make VirtualAlloc
// fail, replace the wait of Sleep (the polling loop then runs without waiting).
void SetHeapAllocFails(bool fails, unsigned succeed_first = 0);
void SetVirtualAllocFails(bool fails);
void SetSleepHook(std::function<void(DWORD)> hook);

// Test seams of the stand-in library: GetASPI32Buffer refuses lengths above `max_len`; SC_EXEC_SCSI_CMD
// requests stay SS_PENDING for ever (never run, never signalled).
void SetAspiBufferLimit(DWORD max_len);
void SetExecStaysPending(bool pending);
// Back to the defaults: libraries, seams, statistics (host adapters are left as they are).
void ResetStandIn();

// Libraries on offer. By default "WNASPI32" is our stand-in; tests replace or remove it.
void OfferLibrary(Library lib);
void WithdrawLibrary(const std::string& name);
void ResetLibraries(); // back to the default offer
Library DefaultWnaspi32();

// The host adapters the stand-in serves, in adapter-number order (0: SG_IO, 1: image drives).
void SetHostAdapters(std::vector<std::shared_ptr<drives::HostAdapter>> adapters);
const std::vector<std::shared_ptr<drives::HostAdapter>>& HostAdapters();
// The target behind (ha, target), or nullptr.
drives::ScsiTarget* FindTarget(BYTE ha, BYTE target);

// Test seam for the polling path: number of status polls before a pending request is given up.
// Also counts SendASPI32Command submissions of SC_EXEC_SCSI_CMD for tests.
struct Stats {
    unsigned exec_submissions = 0;
    DWORD last_timeout = 0; // half seconds, from SC_GETSET_TIMEOUTS
    unsigned timeout_requests = 0;
    std::vector<DWORD> buffer_requests; // lengths asked of GetASPI32Buffer, in order
    unsigned aspi_buffers_live = 0;     // GetASPI32Buffer successes not yet freed
    unsigned virtual_blocks_live = 0;   // VirtualAlloc blocks not yet freed
    unsigned heap_blocks_live = 0;
    unsigned libraries_loaded = 0;   // LoadLibrary successes not yet freed
    unsigned error_mode_at_load = 0; // process error mode while the last LoadLibrary ran
    unsigned sleeps = 0;
    unsigned events_live = 0;
};
Stats& GetStats();

} // namespace ckvd::aspi32
