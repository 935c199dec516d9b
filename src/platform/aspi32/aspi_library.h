// Loading "the library WNASPI32": a small loader that resolves entry points by name from a table,
// so that the manager's start-up follows the library-loading path and tests can offer other libraries.
#pragma once

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
HMODULE LoadLibrary(const char* name);  // nullptr when no library of that name is offered
void* GetProcAddress(HMODULE lib, const char* name);
void FreeLibrary(HMODULE lib);
unsigned SetErrorMode(unsigned mode);

// Events for SRB_EVENT_NOTIFY (manual reset, initially non-signalled).
using HANDLE = void*;
HANDLE CreateEvent();
void SetEvent(HANDLE ev);
void WaitForSingleObject(HANDLE ev);  // no time-out
void CloseHandle(HANDLE ev);
// Test seam: make CreateEvent fail, so the manager takes its polling path.
void SetCreateEventFails(bool fails);

// Libraries on offer. By default "WNASPI32" is our stand-in; tests replace or remove it.
void OfferLibrary(Library lib);
void WithdrawLibrary(const std::string& name);
void ResetLibraries();  // back to the default offer
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
    DWORD last_timeout = 0;  // half seconds, from SC_GETSET_TIMEOUTS
};
Stats& GetStats();

}  // namespace ckvd::aspi32
