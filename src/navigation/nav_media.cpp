// The technical data of media files, read where that is cheap: the WAV fmt chunk, the first MPEG audio frame
// header and JPEG dimensions through the media analyzers, PNG/BMP dimensions here.
#include "navigation/nav_media.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>

#include "analyzers/byte_source.h"
#include "analyzers/jpg/jpg_module.h"
#include "analyzers/mp3/mp3_info.h"
#include "analyzers/wav/wav_info.h"
#include "platform/bytes/byte_order.h"

NavKindOf Nav_Classify(const std::string& name) {
    // As a path's extension: from the file name's last dot, none where the name starts with it (".mp3").
    const size_t start = name.rfind('/') + 1, dot = name.rfind('.');
    std::string ext = dot == std::string::npos || dot <= start ? "" : name.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    static const std::map<std::string, NavKindOf> kinds = {
        {".mp3", {NavKind::Audio, 1}}, {".wma", {NavKind::Audio, 2}},  {".wav", {NavKind::Audio, 3}},
        {".jpg", {NavKind::Image, 1}}, {".jpeg", {NavKind::Image, 1}}, {".png", {NavKind::Image, 2}},
        {".bmp", {NavKind::Image, 3}}, {".wmv", {NavKind::Video, 1}},  {".avi", {NavKind::Video, 2}},
        {".mpg", {NavKind::Video, 3}}, {".mpeg", {NavKind::Video, 3}}, {".mp4", {NavKind::Video, 4}}};
    auto it = kinds.find(ext);
    return it == kinds.end() ? NavKindOf{NavKind::None, 0} : it->second;
}

namespace {

uint16_t Fit16(uint64_t v) {
    return v <= 0xFFFF ? uint16_t(v) : 0; // a size the field cannot hold is given as unknown
}

uint32_t Fit32(uint64_t v) {
    return v <= 0xFFFFFFFF ? uint32_t(v) : 0;
}

// RIFF WAVE, as the WAV analyzer reads it: the fmt chunk's channels, rate, byte rate and sample size; the
// data chunk's length.
void WavMedia(ByteSource& in, NavMediaFile& f) {
    WavInfo info;
    if (Wav_Read(in, info) != WAV_OK || info.header.formatSize < 16)
        return;
    const WavHeader& h = info.header;
    f.channels = uint8_t(std::min<uint32_t>(h.channels, 0xFF));
    f.samplingFrequency = h.samplesPerSecond;
    f.sampleSize = uint8_t(std::min<uint32_t>(h.bitsPerSample, 0xFF));
    const uint64_t byteRate = h.averageBytesPerSecond;
    f.averageBitRate = f.fileBitRate = Fit32(byteRate * 8);
    if (info.dataFound && byteRate)
        f.duration = Fit32(info.dataBytes * 1000 / byteRate);
}

// MPEG audio, as the MP3 analyzer finds it: the first frame header gives bit rate, sampling rate and
// channels; the duration is that of a constant bit rate over the bytes from that frame to an ID3v1 tag.
void Mp3Media(ByteSource& in, NavMediaFile& f) {
    MpegInfo info;
    // A free-format header (bitrate index 0) names no bit rate to describe the file with.
    if (Mp3_Read(in, info) != MP3_OK || (info.header.headerBytes[2] >> 4) == 0)
        return;
    const MpegHeaderInfo& h = info.header;
    const uint32_t bitRate = Mp3_Bitrate(&h) * 1000u;
    f.averageBitRate = f.fileBitRate = bitRate;
    f.samplingFrequency = Mp3_SamplingRate(&h);
    f.channels = (h.headerBytes[3] >> 6) == 3 ? 1 : 2;
    uint64_t frames = in.Size() - h.headerPosition;
    if ((info.tagFlags & MP3_TAG_ID3V1) && frames >= 128)
        frames -= 128;
    f.duration = Fit32(frames * 8000 / bitRate);
}

// Up to `n` bytes of `in` at `offset`; fewer at the end of the file, none when it cannot be read.
std::vector<uint8_t> ReadAt(ByteSource& in, uint64_t offset, size_t n) {
    std::vector<uint8_t> b(n);
    if (in.Read(offset, b) != BYTES_OK || offset >= in.Size())
        return {};
    b.resize(size_t(std::min<uint64_t>(n, in.Size() - offset)));
    return b;
}

// Width and height of a JPEG (its first frame header, as the JPG analyzer reads it), PNG (IHDR) or BMP
// (the info header).
void ImageInfo(ByteSource& in, uint16_t fileType, NavMediaFile& f) {
    uint64_t width = 0, height = 0;
    if (JpgInfo jpg; fileType == 1 && Jpg_Read(in, jpg) == JPG_OK) {
        width = jpg.width;
        height = jpg.height;
    } else if (fileType == 2) {
        std::vector<uint8_t> h = ReadAt(in, 0, 24);
        static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
        if (h.size() < 24 || std::memcmp(h.data(), kSignature, 8) || std::memcmp(h.data() + 12, "IHDR", 4))
            return;
        width = bytes::Be32(h.data() + 16);
        height = bytes::Be32(h.data() + 20);
    } else if (fileType == 3) {
        std::vector<uint8_t> h = ReadAt(in, 0, 26);
        if (h.size() < 26 || h[0] != 'B' || h[1] != 'M')
            return;
        if (bytes::Le32(h.data() + 14) == 12) { // the OS/2 header: 16-bit sizes
            width = bytes::Le16(h.data() + 18);
            height = bytes::Le16(h.data() + 20);
        } else {
            const int32_t w = int32_t(bytes::Le32(h.data() + 18)), ht = int32_t(bytes::Le32(h.data() + 22));
            width = w < 0 ? 0 : uint64_t(w);
            height = ht < 0 ? uint64_t(-int64_t(ht)) : uint64_t(ht); // negative: stored top down
        }
    }
    f.horizontalSize = Fit16(width);
    f.verticalSize = Fit16(height);
}

} // namespace

void Nav_MediaInfo(ByteSource& in, const NavKindOf& kind, NavMediaFile& f) {
    if (kind.kind == NavKind::Audio && kind.fileType == 1)
        Mp3Media(in, f);
    else if (kind.kind == NavKind::Audio && kind.fileType == 3)
        WavMedia(in, f);
    else if (kind.kind == NavKind::Image)
        ImageInfo(in, kind.fileType, f);
}
