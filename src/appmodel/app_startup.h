// What CKVDApp does at start and at the end, apart from the windows: the instance guard and the modules.
#pragma once

#include <span>

#include "appmodel/app_modules.h"
#include "appmodel/instance_guard.h"
#include "appmodel/message_sink.h"
#include "appmodel/profile_store.h"

class CKVDAppCore {
  public:
    CKVDAppCore(ckvd::ui::InstanceGuard& guard, ckvd::ui::MessageSink& sink,
                std::span<const EngineModule> modules = App_EngineModules())
        : m_guard(guard), m_sink(sink), m_modules(modules) {}

    // The guard, then the modules in order. False: start-up failed (silently for a second copy).
    bool InitInstance();
    // Terminates all modules in reverse order and gives up the guard; safe after any failed start.
    void ExitInstance();

    bool AnotherCopyRunning() const { return m_anotherCopy; }

  private:
    ckvd::ui::InstanceGuard& m_guard;
    ckvd::ui::MessageSink& m_sink;
    std::span<const EngineModule> m_modules;
    bool m_anotherCopy = false;
};

// Show command from "ISZOOM" and "ISICON": 3 maximised, 2 minimised, 5 normal.
constexpr int SW_SHOWMAXIMIZED_CMD = 3;
constexpr int SW_SHOWMINIMIZED_CMD = 2;
constexpr int SW_SHOW_CMD = 5;
int App_ShowCommand(ckvd::ui::ProfileStore& profile);
