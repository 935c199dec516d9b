// The loaded disc as the catalogue keeps it: volume name, TOC, every entry, the media files' tags and figures
// read by the analyzers as the disc report reads them.
#include <nettle/sha1.h>

#include <vector>

#include "analyzers/asf/wmf_module.h"
#include "analyzers/disc_entry_source.h"
#include "analyzers/mp3/mp3_info.h"
#include "catalogue/catalogue.h"
#include "iso9660/disc.h"
#include "iso9660/iso9660.h"
#include "iso9660/iso_cdtext.h"
#include "listing/disc_text.h"

namespace {

// "YYYY-MM-DD HH:MM:SS" as recorded, as ckvd ls writes it, into `text`.
void Date(const Disc& disc, const FileEntry& e, std::string& text) {
    text.clear();
    const uint8_t* recorded = e.type == 'F' ? e.date : Iso_DirectoryDate(disc, &e);
    if (!recorded)
        return;
    char date[kReportDateMax];
    text.assign(date, Report_PutDate(date, recorded));
}

std::string Text(const char* utf8) {
    return utf8 ? utf8 : "";
}

// An audio track file's CD-TEXT as its tags: title, performer (the disc's where the track has none) and the
// disc's title as the album.
bool TrackText(const Disc& disc, const FileEntry& f, CatalogueEntry& e) {
    int number = 0;
    if (!Iso_AudioTrackSession(disc, &f, &number))
        return false;
    const ckvd::cdtext::TrackText* t = Iso_TrackText(disc, static_cast<uint8_t>(number));
    const ckvd::cdtext::DiscText* d = Iso_DiscText(disc);
    if (!t || !d)
        return false;
    e.title = t->title;
    e.artist = t->performer.empty() ? d->performer : t->performer;
    e.album = d->title;
    return true;
}

std::string Text(const std::optional<std::string>& utf8) {
    return utf8 ? *utf8 : "";
}

void Mp3Media(const MpegInfo& info, CatalogueEntry& e) {
    if ((info.tagFlags & MP3_TAG_ID3V2) && info.id3v2) {
        e.title = Text(info.id3v2Text.title);
        e.artist = Text(info.id3v2Text.artist);
        e.album = Text(info.id3v2Text.album);
    } else if (info.tagFlags & MP3_TAG_ID3V1) {
        const Id3v1Tag& t = info.id3v1;
        e.title = Report_SjisValueText(std::string_view(t.title, sizeof t.title));
        e.artist = Report_SjisValueText(std::string_view(t.artist, sizeof t.artist));
        e.album = Report_SjisValueText(std::string_view(t.album, sizeof t.album));
    }
    const MpegHeaderInfo* m = &info.header;
    e.codec = std::string(Mp3_VersionName(m)) + " " + Mp3_LayerName(m);
    e.bitrate = Mp3_Bitrate(m);
    e.sampling = Mp3_SamplingRate(m);
    e.seconds = m->length;
}

void AsfMedia(const AsfInfo& info, CatalogueEntry& e) {
    if (const AsfContentDescription* c = info.contentDescription) {
        e.title = Text(c->titleText);
        e.artist = Text(c->authorText);
    }
    if (const AsfDescriptor* d = Wmf_FindAttribute(info, "WM/AlbumTitle"))
        e.album = Wmf_AttributeDisplayText(d);
    for (const AsfCodecEntry* a = info.codecEntries; a; a = a->next)
        if (a->type == 2) {
            e.codec = Text(a->nameText);
            break;
        }
    if (info.fileProperties) {
        e.bitrate = Wmf_MaximumBitrate(info.fileProperties) / 1000;
        e.seconds = uint32_t(Wmf_Duration(info.fileProperties) / 10000000);
    }
}

// The SHA-1 of a file's bytes (20 bytes), read a MiB at a time; empty for a file that cannot be read whole
// or whose add was cancelled.
std::string ContentHash(const Disc& disc, unsigned index, const FileEntry& f) {
    DiscEntrySource source(DiscEntry_In(disc, index, f));
    if (source.Open() != BYTES_OK)
        return {};
    thread_local std::vector<uint8_t> piece(1 << 20);
    sha1_ctx ctx;
    sha1_init(&ctx);
    for (uint64_t at = 0; at < source.Size(); at += piece.size()) {
        const size_t n = size_t(std::min<uint64_t>(piece.size(), source.Size() - at));
        if (disc.Stopped() || source.Read(at, std::span(piece).first(n)) != BYTES_OK)
            return {};
        sha1_update(&ctx, n, piece.data());
    }
    std::string hash(SHA1_DIGEST_SIZE, '\0');
    sha1_digest(&ctx, SHA1_DIGEST_SIZE, reinterpret_cast<uint8_t*>(hash.data()));
    return hash;
}

// The tags and stream figures of a media file of `disc`'s session `index`.
void Media(const Disc& disc, unsigned index, FileEntry& f, CatalogueEntry& e) {
    Iso_SetFileKind(&f);
    if (TrackText(disc, f, e))
        return;
    const DiscEntryAt at = DiscEntry_In(disc, index, f);
    if (MpegInfo mp3; (f.kind & KIND_MP3) && Mp3_AnalyzeEntry(at, mp3) == MP3_OK)
        Mp3Media(mp3, e);
    else if (AsfRecords asf; (f.kind & KIND_WMF) && Wmf_AnalyzeEntry(at, asf) == WMF_OK)
        AsfMedia(asf.info, e);
}

// Each file's hash, taken once for the bytes of one extent: a later session keeps an earlier one's files at
// their blocks and names them again (the bench's disc names 40,000 of its 50,000 files twice), and hard
// links share one extent.
class ExtentHashes {
  public:
    ExtentHashes(const Disc& disc, uint64_t hashUpTo) : m_disc(disc), m_hashUpTo(hashUpTo) {}
    // The hash of `f` of session `index` (`size` its bytes) into `hash`: empty past the size hashed.
    void Take(const FileEntry& f, unsigned index, uint64_t size, std::string& hash) {
        if (size == 0 || size > m_hashUpTo)
            return;
        const SessionEntry* session = m_disc.Session(index);
        if (!session || f.lbn > session->lastBlock || session->lastBlock >= kMostBlocks ||
            Iso_NextExtent(&f) || Iso_Zisofs(m_disc, &f)) {
            hash = ContentHash(m_disc, index, f);
            return;
        }
        // A slot for each block of the recorded area (4 bytes a 2 KB block): the files come in about the
        // order of their blocks, where a hash table's lookups missed the cache.
        if (f.lbn >= m_slotAt.size())
            m_slotAt.resize(size_t(session->lastBlock) + 1);
        uint32_t& slot = m_slotAt[f.lbn];
        if (slot && m_known[slot - 1].size == f.size) {
            hash = m_known[slot - 1].hash;
            return;
        }
        hash = ContentHash(m_disc, index, f);
        m_known.push_back({f.size, hash});
        slot = uint32_t(m_known.size());
    }

  private:
    // The most blocks the slots cover (16 MB of them, a DVD of two layers): a larger disc hashes each name.
    static constexpr uint32_t kMostBlocks = 1u << 22;
    const Disc& m_disc;
    const uint64_t m_hashUpTo;
    std::vector<uint32_t> m_slotAt; // by first block: 1 + the index in m_known of the file there, or 0
    struct Known {
        uint32_t size;
        std::string hash;
    };
    std::vector<Known> m_known;
};

} // namespace

void Cat_LoadedDisc(const Disc& from, CatalogueDisc& disc) {
    disc.sessions = 0;
    disc.toc.clear();
    if (!from.model)
        return;
    for (const SessionEntry* s = from.model->firstSession; s; s = s->next) {
        ++disc.sessions;
        for (const TrackEntry* t = s->firstTrack; t; t = t->next)
            disc.toc += (disc.toc.empty() ? "" : "; ") + std::string("S") + std::to_string(s->sessionNumber) +
                        " T" + std::to_string(t->trackNumber) + " " + std::to_string(t->address) + "+" +
                        std::to_string(t->size);
    }
    for (SessionTree* tree = from.model->firstTree; tree; tree = tree->next)
        if (tree->root)
            disc.volume = Report_ValueText(Iso_EntryName(from, tree->root)); // the last session's name stands
}

void Cat_EachLoadedEntry(Disc& disc, const std::function<void(CatalogueEntry&)>& put, uint64_t hashUpTo) {
    if (!disc.model)
        return;
    int index = 0;
    CatalogueEntry e;
    ExtentHashes hashes(disc, hashUpTo);
    for (SessionTree* tree = disc.model->firstTree; tree; tree = tree->next, ++index) {
        Report_WalkTree(disc, tree->root, [&](FileEntry& f, const std::string& path, size_t) {
            // A file's later extent: the file is one entry. An add on a worker that was cancelled reads no
            // more (its catalogue takes nothing of it).
            if ((f.flags & ISO_EXTENT_CONTINUED) || disc.Stopped())
                return;
            // One entry serves every call: its texts keep their memory, or that of the texts `put` swaps in.
            e.session = index + 1;
            e.path = path;
            e.type = f.type == 'F' ? 'F' : 'D';
            e.lbn = f.lbn;
            e.size = f.type == 'F' ? Iso_FileSize(&f) : f.size;
            Date(disc, f, e.date);
            for (std::string* t : {&e.title, &e.artist, &e.album, &e.codec, &e.hash})
                t->clear();
            e.bitrate = e.sampling = e.seconds = 0;
            if (f.type == 'F' && !(f.flags & ISO_UNREADABLE)) {
                Media(disc, unsigned(index), f, e);
                hashes.Take(f, unsigned(index), e.size, e.hash);
            }
            put(e);
        });
    }
}
