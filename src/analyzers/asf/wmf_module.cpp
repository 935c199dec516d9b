#include "analyzers/asf/wmf_module.h"

#include <initializer_list>

#include "analyzers/analyzer_heap.h"
#include "analyzers/analyzers.h"
#include "analyzers/asf/wmf_internal.h"

AsfFileProperties* g_AsfFileProperties = nullptr;
AsfContentDescription* g_AsfContentDescription = nullptr;
AsfExtendedContent* g_AsfExtendedContent = nullptr;
AsfDescriptor* g_AsfDescriptors = nullptr;
AsfCodecList* g_AsfCodecList = nullptr;
AsfCodecEntry* g_AsfCodecEntries = nullptr;
bool g_AsfEncrypted = false;

namespace wmf_internal {

void ReleaseFileProperties() {
    Analyzer_Free(g_AsfFileProperties);
    g_AsfFileProperties = nullptr;
}

void ReleaseContentDescription() {
    if (AsfContentDescription* c = g_AsfContentDescription) {
        for (char* text : {c->title, c->author, c->copyright, c->description, c->rating, c->titleText,
                           c->authorText, c->copyrightText, c->descriptionText, c->ratingText})
            Analyzer_Free(text);
        Analyzer_Free(c);
    }
    g_AsfContentDescription = nullptr;
}

void ReleaseExtendedContent() {
    Analyzer_Free(g_AsfExtendedContent);
    for (AsfDescriptor* d = g_AsfDescriptors; d;) {
        AsfDescriptor* next = d->next;
        Analyzer_Free(d->name);
        Analyzer_Free(d->value);
        Analyzer_Free(d->nameText);
        Analyzer_Free(d->valueText);
        Analyzer_Free(d);
        d = next;
    }
    g_AsfExtendedContent = nullptr;
    g_AsfDescriptors = nullptr;
}

void ReleaseCodecList() {
    Analyzer_Free(g_AsfCodecList);
    for (AsfCodecEntry* e = g_AsfCodecEntries; e;) {
        AsfCodecEntry* next = e->next;
        Analyzer_Free(e->name);
        Analyzer_Free(e->description);
        Analyzer_Free(e->info);
        Analyzer_Free(e->nameText);
        Analyzer_Free(e->descriptionText);
        Analyzer_Free(e);
        e = next;
    }
    g_AsfCodecList = nullptr;
    g_AsfCodecEntries = nullptr;
}

} // namespace wmf_internal

void Wmf_ReleaseResults() {
    wmf_internal::ReleaseFileProperties();
    wmf_internal::ReleaseContentDescription();
    wmf_internal::ReleaseExtendedContent();
    wmf_internal::ReleaseCodecList();
    g_AsfEncrypted = false;
}

int Wmf_Initialize() {
    // Results not yet made point nowhere.
    g_AsfFileProperties = nullptr;
    g_AsfContentDescription = nullptr;
    g_AsfExtendedContent = nullptr;
    g_AsfDescriptors = nullptr;
    g_AsfCodecList = nullptr;
    g_AsfCodecEntries = nullptr;
    return 1;
}

void Wmf_Terminate() {
    Wmf_ReleaseResults();
}
