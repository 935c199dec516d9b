// The technical data of local media files, read where that is cheap: the WAV fmt chunk, the first MPEG
// audio frame header, JPEG/PNG/BMP dimensions.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>

#include "analyzers/mp3/mp3_module.h"
#include "mknav.h"
#include "platform/bytes/byte_order.h"

namespace mknav {

KindOf Classify(const fs::path& p) {
    std::string ext = p.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    static const std::map<std::string, KindOf> kinds = {
        {".mp3", {Kind::Audio, 1}}, {".wma", {Kind::Audio, 2}},  {".wav", {Kind::Audio, 3}},
        {".jpg", {Kind::Image, 1}}, {".jpeg", {Kind::Image, 1}}, {".png", {Kind::Image, 2}},
        {".bmp", {Kind::Image, 3}}, {".wmv", {Kind::Video, 1}},  {".avi", {Kind::Video, 2}},
        {".mpg", {Kind::Video, 3}}, {".mpeg", {Kind::Video, 3}}, {".mp4", {Kind::Video, 4}}};
    auto it = kinds.find(ext);
    return it == kinds.end() ? KindOf{Kind::None, 0} : it->second;
}

namespace {

// Up to `n` bytes of `in` at `offset`; fewer at the end of the file.
std::vector<uint8_t> ReadAt(std::ifstream& in, uint64_t offset, size_t n) {
    std::vector<uint8_t> b(n);
    in.clear();
    in.seekg(std::streamoff(offset));
    if (!in)
        return {};
    in.read(reinterpret_cast<char*>(b.data()), std::streamsize(n));
    b.resize(size_t(in.gcount()));
    return b;
}

uint16_t Fit16(uint64_t v) {
    return v <= 0xFFFF ? uint16_t(v) : 0; // a size the field cannot hold is given as unknown
}

uint32_t Fit32(uint64_t v) {
    return v <= 0xFFFFFFFF ? uint32_t(v) : 0;
}

// RIFF WAVE: the fmt chunk's channels, rate, byte rate and sample size; the data chunk's length.
void WavInfo(std::ifstream& in, uint64_t size, NavMediaFile& f) {
    std::vector<uint8_t> h = ReadAt(in, 0, 12);
    if (h.size() < 12 || std::memcmp(h.data(), "RIFF", 4) || std::memcmp(h.data() + 8, "WAVE", 4))
        return;
    uint64_t byteRate = 0, data = 0;
    bool haveData = false;
    for (uint64_t pos = 12; pos + 8 <= size;) {
        std::vector<uint8_t> c = ReadAt(in, pos, 8);
        if (c.size() < 8)
            break;
        const uint32_t length = bytes::Le32(c.data() + 4);
        if (!std::memcmp(c.data(), "fmt ", 4) && length >= 16) {
            std::vector<uint8_t> fmt = ReadAt(in, pos + 8, 16);
            if (fmt.size() < 16)
                break;
            f.channels = uint8_t(std::min<uint32_t>(bytes::Le16(fmt.data() + 2), 0xFF));
            f.samplingFrequency = bytes::Le32(fmt.data() + 4);
            byteRate = bytes::Le32(fmt.data() + 8);
            f.sampleSize = uint8_t(std::min<uint32_t>(bytes::Le16(fmt.data() + 14), 0xFF));
            f.averageBitRate = f.fileBitRate = Fit32(byteRate * 8);
        } else if (!std::memcmp(c.data(), "data", 4)) {
            data = std::min<uint64_t>(length, size - pos - 8); // a cut file holds less than it says
            haveData = true;
        }
        pos += 8 + uint64_t(length) + (length & 1);
    }
    if (haveData && byteRate)
        f.duration = Fit32(data * 1000 / byteRate);
}

// MPEG audio: the first frame header after an ID3v2 tag gives bit rate, sampling rate and channels; the
// duration is that of a constant bit rate over the frames' bytes.
void Mp3Info(std::ifstream& in, uint64_t size, NavMediaFile& f) {
    uint64_t start = 0;
    std::vector<uint8_t> id3 = ReadAt(in, 0, 10);
    if (id3.size() == 10 && !std::memcmp(id3.data(), "ID3", 3))
        start = 10 + uint64_t(bytes::Syncsafe32(id3.data() + 6)) + ((id3[5] & 0x10) ? 10 : 0);
    std::vector<uint8_t> b = ReadAt(in, start, 64 * 1024);
    for (size_t i = 0; i + 4 <= b.size(); ++i) {
        // A free-format header (bitrate index 0) names no bit rate to describe the file with: search on.
        if (!Mp3_IsFrameHeader(&b[i]) || (b[i + 2] >> 4) == 0)
            continue;
        MpegHeaderInfo header{};
        std::memcpy(header.headerBytes, &b[i], 4);
        const uint32_t bitRate = Mp3_Bitrate(&header) * 1000u;
        f.averageBitRate = f.fileBitRate = bitRate;
        f.samplingFrequency = Mp3_SamplingRate(&header);
        f.channels = (b[i + 3] >> 6) == 3 ? 1 : 2;
        uint64_t frames = size - start - i;
        std::vector<uint8_t> tag = size >= 128 ? ReadAt(in, size - 128, 3) : std::vector<uint8_t>{};
        if (tag.size() == 3 && !std::memcmp(tag.data(), "TAG", 3) && frames >= 128)
            frames -= 128;
        f.duration = Fit32(frames * 8000 / bitRate);
        return;
    }
}

// Width and height of a JPEG (its first start-of-frame segment), PNG (IHDR) or BMP (the info header).
void ImageInfo(std::ifstream& in, uint64_t size, uint16_t fileType, NavMediaFile& f) {
    uint64_t width = 0, height = 0;
    if (fileType == 1) {
        std::vector<uint8_t> soi = ReadAt(in, 0, 2);
        if (soi.size() < 2 || soi[0] != 0xFF || soi[1] != 0xD8)
            return;
        for (uint64_t pos = 2; pos + 4 <= size;) {
            std::vector<uint8_t> m = ReadAt(in, pos, 9);
            if (m.size() < 4 || m[0] != 0xFF)
                return;
            const uint8_t marker = m[1];
            if (marker == 0xFF) { // fill byte
                ++pos;
                continue;
            }
            if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) { // no length
                pos += 2;
                continue;
            }
            if (marker == 0xD9 || marker == 0xDA) // end of image, start of scan: no frame header before
                return;
            const bool frame =
                marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
            if (frame) {
                if (m.size() < 9)
                    return;
                height = bytes::Be16(m.data() + 5);
                width = bytes::Be16(m.data() + 7);
                break;
            }
            pos += 2 + bytes::Be16(m.data() + 2);
        }
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

void MediaInfo(std::ifstream& in, uint64_t size, const KindOf& kind, NavMediaFile& f) {
    if (kind.kind == Kind::Audio && kind.fileType == 1)
        Mp3Info(in, size, f);
    else if (kind.kind == Kind::Audio && kind.fileType == 3)
        WavInfo(in, size, f);
    else if (kind.kind == Kind::Image)
        ImageInfo(in, size, kind.fileType, f);
}

} // namespace mknav
