// The disc maker's tag writer, a module of its own: TagLib and the C++ runtime it needs are loaded only when
// a disc's copy of a file has its tag rewritten, not by every ckvd command.
#include <taglib/mpegfile.h>

#include <cstdio>
#include <cstring>

extern "C" __attribute__((visibility("default"))) int ckvd_id3_to_v23(const char* path, char* error,
                                                                      size_t size) {
    TagLib::MPEG::File file(path, false);
    if (!file.isValid()) {
        std::snprintf(error, size, "TagLib cannot read it as MPEG audio");
        return 0;
    }
    // Every tag the file has, the ID3v2 one as version 2.3; nothing else of the file changes.
    if (!file.save(TagLib::MPEG::File::AllTags, TagLib::File::StripNone, TagLib::ID3v2::v3,
                   TagLib::File::DoNotDuplicate)) {
        std::snprintf(error, size, "TagLib could not write the tag");
        return 0;
    }
    return 1;
}
