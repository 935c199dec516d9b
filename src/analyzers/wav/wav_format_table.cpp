#include "analyzers/wav/wav_module.h"

// Names in UTF-8: "\xCE\xBC" is the Greek small letter mu.
const WaveFormatName WaveFormatTable[] = {
    {0x0000, "unknown"},
    {0x0001, "PCM <Windows Support>"},
    {0x0002, "MS ADPCM <Windows Support>"},
    {0x0005, "IBM CSVD"},
    {0x0006, "A-Law <Windows Support>"},
    {0x0007, "\xCE\xBC-Law <Windows Support>"},
    {0x0010, "OKI ADPCM"},
    {0x0011, "IMA/DVI ADPCM <Windows Support>"},
    {0x0012, "MediaSpace ADPCM"},
    {0x0013, "Sierra ADPCM"},
    {0x0014, "ADPCM (G.723)"},
    {0x0015, "DIGISTD"},
    {0x0016, "DIGIFIX"},
    {0x0020, "YAMAHA ADPCM"},
    {0x0021, "SONARC"},
    {0x0022, "TrueSpeech <Windows Support>"},
    {0x0023, "Echo Speech1"},
    {0x0024, "AF36 (Audiofile)"},
    {0x0025, "Apix"},
    {0x0026, "AF10 (Audiofile)"},
    {0x0030, "AC2 (Dolby)"},
    {0x0031, "GSM 6.10 <Windows Support>"},
    {0x0033, "ANTEX ADPCM"},
    {0x0034, "VQLPC (Control Resources)"},
    {0x0035, "DIGIREAL"},
    {0x0036, "DIGIADPCM"},
    {0x0037, "CR10 (Control Resources)"},
    {0x0040, "ADPCM (G.721)"},
    {0x0101, "IBM \xCE\xBC-LAW"},
    {0x0102, "IBM A-LAW"},
    {0x0103, "IBM ADPCM"},
    {0x0200, "Creative Labs ADPCM"},
    {0x0300, "FM TOWNS"},
    {0x1000, "Olivetti GSM"},
    {0x1001, "Olivetti ADPCM"},
    {0x1002, "Olivetti CELP"},
    {0x1003, "Olivetti SBC"},
    {0x1004, "Olivetti OPR"},
    {0xFFFF, nullptr},
};

const char* Wav_FormatName(uint16_t code) {
    for (const WaveFormatName* f = WaveFormatTable; f->code != 0xFFFF; ++f)
        if (f->code == code)
            return f->name;
    return nullptr;
}
