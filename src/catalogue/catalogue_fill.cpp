// The loaded disc as the catalogue keeps it: volume name, TOC, every entry, the media files' tags and figures
// read by the analyzers as the disc report reads them.
#include "analyzers/asf/wmf_module.h"
#include "analyzers/mp3/mp3_module.h"
#include "catalogue/catalogue.h"
#include "iso9660/iso9660.h"
#include "iso9660/iso_cdtext.h"
#include "listing/disc_text.h"

namespace {

// "YYYY-MM-DD HH:MM:SS" as recorded, as ckvd ls writes it, into `text`.
void Date(const FileEntry& e, std::string& text) {
    text.clear();
    const uint8_t* recorded = Iso_EntryDate(&e);
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
bool TrackText(const FileEntry& f, CatalogueEntry& e) {
    const ckvd::cdtext::TrackText* t = Iso_TrackText(Iso_CdaTrackNumber(&f));
    const ckvd::cdtext::DiscText* d = Iso_DiscText();
    if (!t || !d)
        return false;
    e.title = t->title;
    e.artist = t->performer.empty() ? d->performer : t->performer;
    e.album = d->title;
    return true;
}

// The tags and stream figures of a media file of the current session.
void Media(FileEntry& f, CatalogueEntry& e) {
    Iso_SetFileKind(&f);
    if (TrackText(f, e))
        return;
    if ((f.kind & KIND_MP3) && Mp3_Analyze(&f) == MP3_OK && g_MpegHeader) {
        if ((g_Mp3TagFlags & MP3_TAG_ID3V2) && g_Id3v2TagText) {
            e.title = Text(g_Id3v2TagText->title);
            e.artist = Text(g_Id3v2TagText->artist);
            e.album = Text(g_Id3v2TagText->album);
        } else if ((g_Mp3TagFlags & MP3_TAG_ID3V1) && g_Id3v1Tag) {
            e.title = Report_SjisValueText(std::string_view(g_Id3v1Tag->title, sizeof g_Id3v1Tag->title));
            e.artist = Report_SjisValueText(std::string_view(g_Id3v1Tag->artist, sizeof g_Id3v1Tag->artist));
            e.album = Report_SjisValueText(std::string_view(g_Id3v1Tag->album, sizeof g_Id3v1Tag->album));
        }
        e.codec = std::string(Mp3_VersionName(g_MpegHeader)) + " " + Mp3_LayerName(g_MpegHeader);
        e.bitrate = Mp3_Bitrate(g_MpegHeader);
        e.sampling = Mp3_SamplingRate(g_MpegHeader);
        e.seconds = g_MpegHeader->length;
    } else if ((f.kind & KIND_WMF) && Wmf_Analyze(&f) == WMF_OK) {
        if (const AsfContentDescription* c = g_AsfContentDescription) {
            e.title = Text(c->titleText);
            e.artist = Text(c->authorText);
        }
        if (const AsfDescriptor* d = Wmf_FindAttribute("WM/AlbumTitle"))
            e.album = Wmf_AttributeDisplayText(d);
        for (const AsfCodecEntry* a = g_AsfCodecEntries; a; a = a->next)
            if (a->type == 2) {
                e.codec = Text(a->nameText);
                break;
            }
        if (g_AsfFileProperties) {
            e.bitrate = Wmf_MaximumBitrate(g_AsfFileProperties) / 1000;
            e.seconds = uint32_t(Wmf_Duration(g_AsfFileProperties) / 10000000);
        }
    }
}

} // namespace

void Cat_LoadedDisc(CatalogueDisc& disc) {
    disc.sessions = 0;
    disc.toc.clear();
    if (!g_DiscModel)
        return;
    for (const SessionEntry* s = g_DiscModel->firstSession; s; s = s->next) {
        ++disc.sessions;
        for (const TrackEntry* t = s->firstTrack; t; t = t->next)
            disc.toc += (disc.toc.empty() ? "" : "; ") + std::string("S") + std::to_string(s->sessionNumber) +
                        " T" + std::to_string(t->trackNumber) + " " + std::to_string(t->address) + "+" +
                        std::to_string(t->size);
    }
    for (SessionTree* tree = g_DiscModel->firstTree; tree; tree = tree->next)
        if (tree->root)
            disc.volume = Report_ValueText(Iso_EntryName(tree->root)); // the last session's name stands
}

void Cat_EachLoadedEntry(const std::function<void(CatalogueEntry&)>& put) {
    if (!g_DiscModel)
        return;
    const uint16_t shown = g_CurrentSession;
    int index = 0;
    CatalogueEntry e;
    for (SessionTree* tree = g_DiscModel->firstTree; tree; tree = tree->next, ++index) {
        g_CurrentSession = static_cast<uint16_t>(index);
        Report_WalkTree(tree->root, [&](FileEntry& f, const std::string& path, size_t) {
            if (f.flags & ISO_EXTENT_CONTINUED)
                return; // a file's later extent: the file is one entry
            // One entry serves every call: its texts keep their memory, or that of the texts `put` swaps in.
            e.session = index + 1;
            e.path = path;
            e.type = f.type == 'F' ? 'F' : 'D';
            e.lbn = f.lbn;
            e.size = f.type == 'F' ? Iso_FileSize(&f) : f.size;
            Date(f, e.date);
            for (std::string* t : {&e.title, &e.artist, &e.album, &e.codec})
                t->clear();
            e.bitrate = e.sampling = e.seconds = 0;
            if (f.type == 'F' && !(f.flags & ISO_UNREADABLE))
                Media(f, e);
            put(e);
        });
    }
    g_CurrentSession = shown;
}
