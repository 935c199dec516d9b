#include "appmodel/app_modules.h"

#include "analyzers/analyzers.h"
#include "aspi/aspi_manager.h"
#include "iso9660/iso9660.h"

namespace {

constexpr EngineModule kModules[] = {
    {Aspi_Initialize, Aspi_Terminate, "ASPI Manager Initialize Error"},
    {Iso_Initialize, Iso_Terminate, "ISO9660 Manager Initialize Error"},
    {Cda_Initialize, Cda_Terminate, "CDA Analyzer Initialize Error"},
    {Mp3_Initialize, Mp3_Terminate, "MP3 Analyzer Initialize Error"},
    {Wmf_Initialize, Wmf_Terminate, "WMF Analyzer Initialize Error"},
    {Wav_Initialize, Wav_Terminate, "WAV Analyzer Initialize Error"},
    {Jpg_Initialize, Jpg_Terminate, "JPG Analyzer Initialize Error"},
};

} // namespace

std::span<const EngineModule> App_EngineModules() {
    return kModules;
}

bool App_InitializeModules(std::span<const EngineModule> modules, ckvd::ui::MessageSink& sink) {
    for (const EngineModule& m : modules) {
        if (m.initialize() != 1) {
            sink.Show(m.failureMessage);
            return false;
        }
    }
    return true;
}

void App_TerminateModules(std::span<const EngineModule> modules) {
    for (auto it = modules.rbegin(); it != modules.rend(); ++it)
        it->terminate();
}

EngineSession::EngineSession() {
    for (const EngineModule& m : App_EngineModules()) {
        if ((result = m.initialize()) != 1) {
            failed = m.failureMessage;
            return;
        }
    }
}
