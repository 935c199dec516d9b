// Release of one kept object's records, shared by the module's release and an analysis that meets a later
// occurrence of the same object; not for other modules.
#pragma once

struct AsfInfo;

namespace wmf_internal {

void ReleaseFileProperties(AsfInfo& info);
void ReleaseContentDescription(AsfInfo& info); // with its five texts
void ReleaseExtendedContent(AsfInfo& info);    // with the descriptor list, names and values
void ReleaseCodecList(AsfInfo& info);          // with the entry list and its texts

} // namespace wmf_internal
