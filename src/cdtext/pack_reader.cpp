// CD-TEXT packs into text. The packs of a block come in runs of one type; a run's 12-byte parts, joined,
// are zero-terminated strings, the first of the track the run's first pack names and each next one of the
// track after. A pack that fails its CRC is lost, so a run is only joined over packs whose sequence numbers
// follow each other: after a gap, the text resumes at the next string that begins in a pack read.
#include <algorithm>
#include <array>

#include "cdtext/cd_text.h"
#include "platform/bytes/byte_order.h"

namespace ckvd::cdtext {

namespace {

constexpr uint8_t kTitle = 0x80, kPerformer = 0x81, kSongwriter = 0x82, kCodes = 0x8E, kSizeInfo = 0x8F;
constexpr uint8_t kMsJis = 0x80, kAscii = 0x01, kEnglish = 0x09;
constexpr size_t kMaxNotes = 16;
constexpr int kTracks = 100; // 0 the disc, 1..99 the tracks

void Note(DiscText& out, std::string what) {
    if (out.notes.size() < kMaxNotes)
        out.notes.push_back(std::move(what));
    else if (out.notes.size() == kMaxNotes)
        out.notes.push_back("further CD-TEXT faults not listed");
}

uint8_t BlockOf(const uint8_t* p) {
    return (p[3] >> 4) & 0x07;
}

// The size information of a block: its three 0x8F packs' text bytes, 36 in all.
struct SizeInfo {
    std::array<uint8_t, 36> bytes{};
    uint8_t parts = 0; // bit i: pack i read
    bool whole() const { return parts == 0x07; }
};

const char* TypeName(uint8_t type) {
    switch (type) {
    case kTitle:
        return "title";
    case kPerformer:
        return "performer";
    case kSongwriter:
        return "songwriter";
    default:
        return "code";
    }
}

// Joins the runs of one pack type of the chosen block into strings, one a track.
class RunReader {
  public:
    RunReader(DiscText& out, uint8_t type, uint8_t code, bool dbcs)
        : out_(out), type_(type), code_(type == kCodes ? kAscii : code), dbcs_(dbcs && type != kCodes) {}

    void take(const uint8_t* p) {
        const uint8_t seq = p[2];
        const int track = p[1] & 0x7F;
        if (!live_ || seq != static_cast<uint8_t>(lastSeq_ + 1) || track != track_) {
            if (live_ && !skipping_ && !text_.empty())
                Note(out_, std::string("CD-TEXT ") + TypeName(type_) + " of track " + std::to_string(track_) +
                               ": cut by a pack passed over, dropped");
            track_ = track;
            // A string begun in a pack not read is not taken from its middle.
            skipping_ = (p[3] & 0x0F) != 0;
            text_.clear();
            pendingZero_ = false;
        }
        live_ = true;
        lastSeq_ = seq;
        for (size_t i = 4; i < 16; ++i)
            byte(p[i]);
    }

  private:
    void byte(uint8_t c) {
        if (pendingZero_) { // the second zero of a double-byte terminator
            pendingZero_ = false;
            if (c == 0)
                return;
        }
        if (c != 0) {
            if (!skipping_)
                text_ += static_cast<char>(c);
            return;
        }
        if (!skipping_)
            store();
        skipping_ = false;
        text_.clear();
        ++track_;
        pendingZero_ = dbcs_;
    }

    void store() {
        if (track_ >= kTracks)
            return;
        std::string value;
        if (text_ == "\t" || text_ == "\t\t") // the same as the track before
            value = previous_;
        else
            value = DecodeText(text_, code_);
        previous_ = value;
        if (value.empty())
            return;
        if (type_ == kCodes && !CodeIsValid(value)) {
            Note(out_, std::string(track_ == 0 ? "CD-TEXT catalogue number" : "CD-TEXT ISRC of track ") +
                           (track_ == 0 ? "" : std::to_string(track_)) + " is not a valid code, passed over");
            return;
        }
        if (track_ == 0) {
            Field(type_, out_.title, out_.performer, out_.songwriter, out_.catalog) = std::move(value);
        } else {
            TrackText& t = out_.tracks[static_cast<uint8_t>(track_)];
            Field(type_, t.title, t.performer, t.songwriter, t.isrc) = std::move(value);
        }
    }

    bool CodeIsValid(const std::string& v) const {
        // MCN: 13 digits; ISRC: 12 characters, country and owner letters or digits, year and number digits.
        if (track_ == 0)
            return v.size() == 13 &&
                   std::all_of(v.begin(), v.end(), [](char c) { return c >= '0' && c <= '9'; });
        return v.size() == 12 && std::all_of(v.begin(), v.end(), [](char c) {
                   return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z');
               });
    }

    static std::string& Field(uint8_t type, std::string& title, std::string& performer,
                              std::string& songwriter, std::string& code) {
        return type == kTitle        ? title
               : type == kPerformer  ? performer
               : type == kSongwriter ? songwriter
                                     : code;
    }

    DiscText& out_;
    uint8_t type_, code_;
    bool dbcs_;
    bool live_ = false, skipping_ = false, pendingZero_ = false;
    uint8_t lastSeq_ = 0;
    int track_ = 0;
    std::string text_, previous_;
};

// The block to read: the first whose language the size information names English, else the first present.
int ChooseBlock(const std::array<bool, 8>& present, const std::array<SizeInfo, 8>& sizes) {
    for (const SizeInfo& s : sizes) {
        if (!s.whole())
            continue;
        for (int b = 0; b < 8; ++b)
            if (present[static_cast<size_t>(b)] && s.bytes[28 + static_cast<size_t>(b)] == kEnglish)
                return b;
        break;
    }
    for (int b = 0; b < 8; ++b)
        if (present[static_cast<size_t>(b)])
            return b;
    return -1;
}

} // namespace

DiscText ReadPacks(std::span<const uint8_t> bytes) {
    DiscText out;
    size_t count = bytes.size() / kPackSize;
    if (bytes.size() % kPackSize != 0)
        Note(out, "CD-TEXT: " + std::to_string(bytes.size() % kPackSize) +
                      " bytes after the last whole pack, passed over");
    if (count > kMaxPacks) {
        Note(out, "CD-TEXT: " + std::to_string(count) + " packs, more than a disc holds; the first " +
                      std::to_string(kMaxPacks) + " read");
        count = kMaxPacks;
    }
    std::vector<const uint8_t*> good;
    std::array<bool, 8> present{};
    std::array<SizeInfo, 8> sizes{};
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* p = bytes.data() + i * kPackSize;
        const uint16_t stored = bytes::Be16(p + 16);
        if (PackCrc(std::span<const uint8_t, 16>(p, 16)) != stored) {
            Note(out, "CD-TEXT pack " + std::to_string(i) + ": CRC mismatch, passed over");
            continue;
        }
        if (p[0] < 0x80 || p[0] > 0x8F) {
            Note(out, "CD-TEXT pack " + std::to_string(i) + ": unknown type, passed over");
            continue;
        }
        const uint8_t block = BlockOf(p);
        present[block] = true;
        if (p[0] == kSizeInfo && p[1] < 3) {
            std::copy(p + 4, p + 16, sizes[block].bytes.begin() + p[1] * 12);
            sizes[block].parts |= static_cast<uint8_t>(1u << p[1]);
        }
        if (!(p[1] & 0x80)) // extension packs carry nothing read here
            good.push_back(p);
    }
    const int block = ChooseBlock(present, sizes);
    if (block < 0)
        return out;
    const SizeInfo& size = sizes[static_cast<size_t>(block)];
    bool dbcs = false;
    for (const uint8_t* p : good)
        dbcs = dbcs || (BlockOf(p) == block && (p[3] & 0x80));
    const uint8_t code = size.whole() ? size.bytes[0] : (dbcs ? kMsJis : 0x00);
    for (uint8_t type : {kTitle, kPerformer, kSongwriter, kCodes}) {
        RunReader run(out, type, code, dbcs || code == kMsJis);
        for (const uint8_t* p : good)
            if (p[0] == type && BlockOf(p) == block)
                run.take(p);
    }
    // Tracks whose every text was passed over have none.
    std::erase_if(out.tracks, [](const auto& t) { return t.second.empty(); });
    return out;
}

} // namespace ckvd::cdtext
