// The disc's TOC as the drive gives it, every answer checked before use: the full TOC where the drive gives a
// sound one, else the formatted TOC and the session information. The disc analysis builds its sessions and
// tracks from it, and the verify plans its reads from the same.
#pragma once

#include <cstdint>
#include <vector>

// The drive answered READ TOC with something that is no TOC of a disc (see Iso_ReadDiscToc).
constexpr int ISO_ERR_TOC = 0x1006;

struct IsoTocTrack {
    uint8_t number = 0;
    uint8_t control = 0; // CONTROL: bit 2 set for a data track
    uint32_t start = 0;  // first block
};

struct IsoTocSession {
    uint8_t number = 0;
    uint8_t discType = 0; // A0's PSEC: 0x00 CD-DA or CD-ROM, 0x10 CD-I, 0x20 CD-ROM XA
    uint8_t control = 0;  // A0's CONTROL
    uint8_t firstTrack = 0, lastTrack = 0;
    uint32_t leadOut = 0; // the lead-out's first block (A2)
    // Without a full TOC, a session before the last has no lead-out of its own: it is put where a recorder
    // leaves it before the next session (or at the next session, when they abut), an upper bound.
    bool leadOutEstimated = false;
    // B0 and C0 as recorded (lead-in times as negative blocks); 0 where the session has none.
    uint32_t nextProgramArea = 0, recordingAreaLeadOut = 0, leadIn = 0;
    uint8_t mode5Pointers = 0;
    std::vector<IsoTocTrack> tracks;
};

struct IsoDiscToc {
    std::vector<IsoTocSession> sessions;
    // The drive gave no usable full TOC: the sessions come from the formatted TOC (format 0) and the session
    // information (format 1), read with block addresses. Disc type, B0 and C0 are then unknown (0), and the
    // lead-outs of sessions before the last are where a recorder leaves them before the next session.
    bool fromFormattedToc = false;
};

// Reads the TOC of the disc in `device`. 1; an ASPI code when a READ TOC the analysis needs failed;
// ISO_ERR_TOC when the drive's answers cannot be the TOC of a disc.
int Iso_ReadDiscToc(uint16_t device, IsoDiscToc* toc);
