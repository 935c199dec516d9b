#include "analyzers/wav/wav_dlg_model.h"

#include <cstdio>

#include "analyzers/wav/wav_module.h"

namespace {

std::string Format(const char* format, unsigned value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

} // namespace

void CWavDlgModel::OnInitDialog(uint16_t style) {
    Reset(style);
    const WavHeader* h = &m_info.header;
    // The rate is unsigned on the disc: shown unsigned, never as a negative number.
    m_fields.push_back({"Format", Format("0x%04X", h->formatTag), {}, {}});
    // WAVE_FORMAT_EXTENSIBLE says what it holds in its sub-format.
    if (m_info.subFormat >= 0) {
        std::string subFormat = Format("0x%04X", unsigned(m_info.subFormat));
        if (const char* name = Wav_FormatName(uint16_t(m_info.subFormat)))
            subFormat += std::string(" ") + name;
        m_fields.push_back({"Sub-format", subFormat, {}, {}});
    }
    m_fields.push_back({"Sampling Freq.", Format("%u", h->samplesPerSecond), "Hz", {}});
    m_fields.push_back({"Channel", Format("%u", h->channels), "channels", {}});
    m_fields.push_back({"Sample", Format("%u", h->bitsPerSample), "bits/sample", {}});
    char length[32];
    std::snprintf(length, sizeof length, "%2d:%2d", int(uint16_t(m_info.length / 60)),
                  int(m_info.length % 60));
    m_fields.push_back({"Length", length, {}, {}});
}

std::vector<std::pair<std::string, std::string>> Wav_FormatRows() {
    std::vector<std::pair<std::string, std::string>> rows;
    for (const WaveFormatName* f = WaveFormatTable; f->code != 0xFFFF; ++f)
        rows.emplace_back(Format("0x%04X", f->code), f->name);
    return rows;
}
