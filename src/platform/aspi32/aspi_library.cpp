#include "platform/aspi32/aspi_library.h"

#include <strings.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <list>
#include <mutex>
#include <thread>

namespace ckvd::aspi32 {

namespace {

struct Event {
    std::mutex mutex;
    std::condition_variable cv;
    bool signalled = false;
};

struct State {
    std::list<Library> offered; // a list, so that a loaded handle stays valid while others are offered
    unsigned error_mode = 0;
    bool create_event_fails = false;
    bool heap_fails = false;
    unsigned heap_successes_left = 0;
    bool virtual_fails = false;
    std::function<void(DWORD)> sleep_hook;
    std::vector<std::shared_ptr<drives::HostAdapter>> adapters;
    Stats stats;
    State() { offered.push_back(DefaultWnaspi32()); }
};

State& state() {
    static State s;
    return s;
}

// Windows resolves "WNASPI32" and "wnaspi32.dll" to the same library.
bool same_library(const std::string& offered, const char* asked) {
    std::string name = asked;
    if (name.size() > 4 && strcasecmp(name.c_str() + name.size() - 4, ".dll") == 0)
        name.resize(name.size() - 4);
    return strcasecmp(offered.c_str(), name.c_str()) == 0;
}

} // namespace

HMODULE LoadLibrary(const char* name) {
    auto& s = state();
    s.stats.error_mode_at_load = s.error_mode;
    if (!name)
        return nullptr;
    for (const auto& lib : s.offered) {
        if (same_library(lib.name, name)) {
            ++s.stats.libraries_loaded;
            return &lib;
        }
    }
    return nullptr;
}

void* GetProcAddress(HMODULE lib, const char* name) {
    if (!lib || !name)
        return nullptr;
    for (const auto& [entry, address] : lib->entries)
        if (entry == name)
            return address;
    return nullptr;
}

void FreeLibrary(HMODULE lib) {
    auto& s = state();
    if (lib && s.stats.libraries_loaded > 0)
        --s.stats.libraries_loaded;
}

unsigned SetErrorMode(unsigned mode) {
    auto& s = state();
    const unsigned previous = s.error_mode;
    s.error_mode = mode;
    return previous;
}

HANDLE CreateEvent() {
    auto& s = state();
    if (s.create_event_fails)
        return nullptr;
    ++s.stats.events_live;
    return new Event;
}

void SetEvent(HANDLE ev) {
    if (!ev)
        return;
    auto* e = static_cast<Event*>(ev);
    {
        std::lock_guard lock(e->mutex);
        e->signalled = true;
    }
    e->cv.notify_all();
}

void WaitForSingleObject(HANDLE ev) {
    if (!ev)
        return;
    auto* e = static_cast<Event*>(ev);
    std::unique_lock lock(e->mutex);
    e->cv.wait(lock, [e] { return e->signalled; });
}

void CloseHandle(HANDLE ev) {
    if (!ev)
        return;
    --state().stats.events_live;
    delete static_cast<Event*>(ev);
}

bool EventIsSet(HANDLE ev) {
    if (!ev)
        return false;
    auto* e = static_cast<Event*>(ev);
    std::lock_guard lock(e->mutex);
    return e->signalled;
}

void SetCreateEventFails(bool fails) {
    state().create_event_fails = fails;
}

void* HeapAlloc(size_t bytes) {
    auto& s = state();
    if (s.heap_fails) {
        if (s.heap_successes_left == 0)
            return nullptr;
        --s.heap_successes_left;
    }
    void* block = std::calloc(1, bytes);
    if (block)
        ++s.stats.heap_blocks_live;
    return block;
}

void HeapFree(void* block) {
    if (!block)
        return;
    --state().stats.heap_blocks_live;
    std::free(block);
}

void* VirtualAlloc(size_t bytes) {
    auto& s = state();
    if (s.virtual_fails)
        return nullptr;
    void* block = std::calloc(1, bytes); // committed memory reads as zero
    if (block)
        ++s.stats.virtual_blocks_live;
    return block;
}

void VirtualFree(void* block) {
    if (!block)
        return;
    --state().stats.virtual_blocks_live;
    std::free(block);
}

void Sleep(DWORD ms) {
    auto& s = state();
    ++s.stats.sleeps;
    if (s.sleep_hook)
        s.sleep_hook(ms);
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void SetHeapAllocFails(bool fails, unsigned succeed_first) {
    auto& s = state();
    s.heap_fails = fails;
    s.heap_successes_left = succeed_first;
}

void SetVirtualAllocFails(bool fails) {
    state().virtual_fails = fails;
}
void SetSleepHook(std::function<void(DWORD)> hook) {
    state().sleep_hook = std::move(hook);
}

void OfferLibrary(Library lib) {
    WithdrawLibrary(lib.name);
    state().offered.push_back(std::move(lib));
}

void WithdrawLibrary(const std::string& name) {
    state().offered.remove_if([&](const Library& l) { return same_library(l.name, name.c_str()); });
}

void ResetLibraries() {
    auto& s = state();
    s.offered.clear();
    s.offered.push_back(DefaultWnaspi32());
}

void ResetStandIn() {
    auto& s = state();
    ResetLibraries();
    s.create_event_fails = false;
    s.heap_fails = false;
    s.heap_successes_left = 0;
    s.virtual_fails = false;
    s.sleep_hook = nullptr;
    SetAspiBufferLimit(UINT32_MAX);
    SetExecStaysPending(false);
    const Stats live = s.stats;
    s.stats = Stats{};
    // Blocks still held belong to whoever holds them; keep counting them. Library handles died with the
    // offer, so their count starts again.
    s.stats.aspi_buffers_live = live.aspi_buffers_live;
    s.stats.virtual_blocks_live = live.virtual_blocks_live;
    s.stats.heap_blocks_live = live.heap_blocks_live;
    s.stats.events_live = live.events_live;
}

void SetHostAdapters(std::vector<std::shared_ptr<drives::HostAdapter>> adapters) {
    state().adapters = std::move(adapters);
}

const std::vector<std::shared_ptr<drives::HostAdapter>>& HostAdapters() {
    return state().adapters;
}

drives::ScsiTarget* FindTarget(BYTE ha, BYTE target) {
    const auto& adapters = state().adapters;
    if (ha >= adapters.size() || !adapters[ha] || target >= adapters[ha]->max_targets())
        return nullptr;
    return adapters[ha]->target(target);
}

Stats& GetStats() {
    return state().stats;
}

} // namespace ckvd::aspi32
