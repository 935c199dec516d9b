// Release of one kept object's records, shared by the module's release and an analysis that meets a later
// occurrence of the same object; not for other modules.
#pragma once

namespace wmf_internal {

void ReleaseFileProperties();
void ReleaseContentDescription(); // with its five texts
void ReleaseExtendedContent();    // with the descriptor list, names and values
void ReleaseCodecList();          // with the entry list and its texts

} // namespace wmf_internal
