// The engine modules the program brings up at start and takes down at the end, in their fixed order.
#pragma once

#include <span>

#include "appmodel/message_sink.h"

struct EngineModule {
    int (*initialize)();
    void (*terminate)();
    const char* failureMessage;
};

// ASPI manager, ISO9660 manager, CDA, MP3, WMF, WAV and JPG analyzers.
std::span<const EngineModule> App_EngineModules();

// Initialises the modules in order; the first result other than 1 shows that module's message and stops,
// so no later module is initialised. True when all came up.
bool App_InitializeModules(std::span<const EngineModule> modules, ckvd::ui::MessageSink& sink);
// Terminates every module in reverse order, whether or not it was initialised.
void App_TerminateModules(std::span<const EngineModule> modules);

// The engine modules up for as long as the object lives (the command-line programs): `failed` is the first
// failing module's message and `result` its result; every module is taken down at the end either way.
struct EngineSession {
    int result = 1;
    const char* failed = nullptr;
    EngineSession();
    ~EngineSession() { App_TerminateModules(App_EngineModules()); }
    EngineSession(const EngineSession&) = delete;
    EngineSession& operator=(const EngineSession&) = delete;
};
