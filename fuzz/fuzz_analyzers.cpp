// Fuzzes one media analyzer (CKVD_FUZZ_TARGET) on a file in memory: a fixed start, then the fuzzed bytes;
// what it found is then put into its dialog's lines, as `ckvd info` prints them.
#include <cstring>
#include <vector>

#include "analyzers/byte_source.h"
#include "analyzers/tag_chain.h"

namespace {

struct Target {
    const char* target;
    std::vector<uint8_t> start;
    size_t largest; // fuzzed bytes taken at most
    TagAnalyzer analyzer;
};
const Target kTargets[] = {
    // The frame header search and the figures computed from it: the fuzzed bytes are the whole file.
    {"fuzz_mp3_header", {}, 64 * 1024, TagAnalyzer::Mp3},
    // The ID3v1 tag: a free-format frame header (taken without a following frame, since it names no frame
    // length), then the rest of the file, whose last 128 bytes are the tag.
    {"fuzz_mp3_id3v1", {0xFF, 0xFB, 0x00, 0x44}, 16 * 1024, TagAnalyzer::Mp3},
    // The ID3v2 tag: version, flags, size and frames after "ID3".
    {"fuzz_mp3_id3v2", {'I', 'D', '3'}, 64 * 1024, TagAnalyzer::Mp3},
    {"fuzz_asf_header", {}, 80 * 2048, TagAnalyzer::Wmf},
    {"fuzz_wav_header", {}, 4 * 2048, TagAnalyzer::Wav},
    {"fuzz_jpg_header", {0xFF, 0xD8}, 16 * 1024, TagAnalyzer::Jpg},
};
const Target& kTarget = *[] {
    for (const Target& t : kTargets)
        if (std::strcmp(t.target, CKVD_FUZZ_TARGET) == 0)
            return &t;
    __builtin_trap();
}();

int Analyze(ByteSource& source, TagFindings& f) {
    switch (kTarget.analyzer) {
    case TagAnalyzer::Mp3:
        return Mp3_Read(source, f.mp3);
    case TagAnalyzer::Wmf:
        return Wmf_Read(source, f.asf);
    case TagAnalyzer::Wav:
        return Wav_Read(source, f.wav);
    case TagAnalyzer::Jpg:
        return Jpg_Read(source, f.jpg);
    default:
        return 0;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > kTarget.largest)
        return 0;
    std::vector<uint8_t> file = kTarget.start;
    file.insert(file.end(), data, data + size);
    MemoryByteSource source(file);
    TagFindings findings;
    if (Analyze(source, findings) == 1) {
        findings.analyzer = kTarget.analyzer;
        FileEntry entry{};
        entry.type = 'F';
        (void)Tag_FindingLines(findings, entry, 2);
    }
    return 0;
}
