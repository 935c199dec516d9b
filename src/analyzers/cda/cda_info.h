// What the CDA analysis finds for an audio track's entry, as a value.
#pragma once

#include "analyzers/cda/cda_module.h"

struct CdaInfo {
    CdaFileHeader header{}; // the track file's 44 bytes as read
};

// Opens "<current drive's root path><identifier>" and reads its 44 bytes into `info`: CDA_OK,
// CDA_ERR_NOT_CDDA or CDA_ERR_OPEN. A current device missing from the device list, or one without a root
// path, gives CDA_ERR_OPEN without opening anything.
int Cda_AnalyzeEntry(const FileEntry& entry, CdaInfo& info);
// What the record of the last Cda_Analyze holds, for the desktop's dialog.
CdaInfo Cda_LastInfo();
