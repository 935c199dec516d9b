// WMF (ASF) analyzer state: the records of the last analysis with the lists, texts and values they own.
#pragma once

#include <cstdint>

struct AsfFileProperties {
    uint8_t bytes[104]; // the object's first 104 bytes as they stand
};

struct AsfContentDescription {
    uint8_t head[34]; // GUID, object size, five 16-bit text lengths
    char* title;
    char* author;
    char* copyright;
    char* description;
    char* rating;
};

struct AsfExtendedContent {
    uint8_t head[26]; // GUID, object size, descriptor count
};

struct AsfDescriptor {
    uint16_t nameLength;
    char* name;
    uint16_t valueType;
    uint16_t valueLength;
    void* value;
    AsfDescriptor* next;
};

struct AsfCodecList {
    uint8_t head[44]; // GUID, object size, reserved GUID, entry count
};

struct AsfCodecEntry {
    uint16_t type;
    uint16_t nameLength;
    char* name;
    uint16_t descriptionLength;
    char* description;
    uint16_t infoLength;
    uint8_t* info;
    AsfCodecEntry* next;
};

extern AsfFileProperties* g_AsfFileProperties;
extern AsfContentDescription* g_AsfContentDescription;
extern AsfExtendedContent* g_AsfExtendedContent;
extern AsfDescriptor* g_AsfDescriptors;
extern AsfCodecList* g_AsfCodecList;
extern AsfCodecEntry* g_AsfCodecEntries;

// Releases every record, list, text and value of the last analysis and sets the pointers absent.
void Wmf_ReleaseResults();
