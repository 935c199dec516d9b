#include "analyzers/asf/wmf_module.h"

#include <initializer_list>

#include "analyzers/analyzer_heap.h"
#include "analyzers/analyzers.h"

AsfFileProperties* g_AsfFileProperties = nullptr;
AsfContentDescription* g_AsfContentDescription = nullptr;
AsfExtendedContent* g_AsfExtendedContent = nullptr;
AsfDescriptor* g_AsfDescriptors = nullptr;
AsfCodecList* g_AsfCodecList = nullptr;
AsfCodecEntry* g_AsfCodecEntries = nullptr;

namespace {

// Results not yet made, or just released, point nowhere.
void ForgetResults() {
    g_AsfFileProperties = nullptr;
    g_AsfContentDescription = nullptr;
    g_AsfExtendedContent = nullptr;
    g_AsfDescriptors = nullptr;
    g_AsfCodecList = nullptr;
    g_AsfCodecEntries = nullptr;
}

} // namespace

void Wmf_ReleaseResults() {
    Analyzer_Free(g_AsfFileProperties);
    if (AsfContentDescription* c = g_AsfContentDescription) {
        for (char* text : {c->title, c->author, c->copyright, c->description, c->rating})
            Analyzer_Free(text);
        Analyzer_Free(c);
    }
    Analyzer_Free(g_AsfExtendedContent);
    for (AsfDescriptor* d = g_AsfDescriptors; d;) {
        AsfDescriptor* next = d->next;
        Analyzer_Free(d->name);
        Analyzer_Free(d->value);
        Analyzer_Free(d);
        d = next;
    }
    Analyzer_Free(g_AsfCodecList);
    for (AsfCodecEntry* e = g_AsfCodecEntries; e;) {
        AsfCodecEntry* next = e->next;
        Analyzer_Free(e->name);
        Analyzer_Free(e->description);
        Analyzer_Free(e->info);
        Analyzer_Free(e);
        e = next;
    }
    ForgetResults();
}

int Wmf_Initialize() {
    ForgetResults();
    return 1;
}

void Wmf_Terminate() {
    Wmf_ReleaseResults();
}
