#include "report/disc_report.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "analyzers/asf/wmf_module.h"
#include "analyzers/disc_entry_source.h"
#include "analyzers/mp3/mp3_info.h"
#include "iso9660/disc.h"
#include "iso9660/iso9660.h"
#include "listing/disc_text.h"
#include "platform/bytes/write_all.h"

namespace {

constexpr size_t kFlushBytes = 64 * 1024;

// Collects lines and hands them on in pieces; the first failed write stops everything after it.
class Output {
  public:
    explicit Output(const ReportSink& sink) : sink_(sink) {}
    template <typename... Args> void Line(const char* format, Args... args) {
        char text[1024];
        const int n = std::snprintf(text, sizeof text, format, args...);
        if (n > 0)
            Put(std::string_view(text, std::min(size_t(n), sizeof text - 1)));
    }
    void Put(std::string_view bytes) {
        buffer_.append(bytes);
        if (buffer_.size() >= kFlushBytes)
            Flush();
    }
    bool Flush() {
        if (ok_ && !buffer_.empty())
            ok_ = sink_(buffer_);
        buffer_.clear();
        return ok_;
    }
    bool ok() const { return ok_; }

  private:
    const ReportSink& sink_;
    std::string buffer_;
    bool ok_ = true;
};

// Counts a text the report writes otherwise than the disc records it (its Shift-JIS form read back differs);
// the first one is kept as the example.
void NoteLoss(ReportLoss* loss, uint32_t ReportLoss::*count, const char* sjis, const char* utf8) {
    if (!loss || !sjis || !utf8)
        return;
    // A volume's name is padded with blanks in one form and not the other: blanks at the end count for
    // nothing.
    std::string written = Report_SjisToUtf8(sjis);
    std::string_view recorded = utf8;
    while (!written.empty() && written.back() == ' ')
        written.pop_back();
    while (!recorded.empty() && recorded.back() == ' ')
        recorded.remove_suffix(1);
    if (written == recorded)
        return;
    ++(loss->*count);
    if (loss->example.empty()) {
        loss->example = recorded;
        loss->written = std::move(written);
    }
}

// Text of the model or a file that may be absent; quoted where it would break the columns.
std::string Field(const char* text) {
    return text ? Report_CsvField(text) : std::string();
}

void WriteHeader(Output& out, const DiscReportHeader& h) {
    out.Put("<DCF>,,,,,,,,,,,,,,,,,,,\r\n\r\n");
    out.Put("[HEADER],,,,,,,,,,,,,,,,,,,\r\n");
    out.Put("No.,Comment,Date,Time,,,,,,,,,,,,,,,,\r\n");
    out.Line("MA%06d,", h.number);
    out.Put(Report_CsvField(h.comment));
    out.Line(",%d.%d.%d,%d:%d:%d,,,,,,,,,,,,,,,,\r\n", h.time.tm_year + 1900, h.time.tm_mon + 1,
             h.time.tm_mday, h.time.tm_hour, h.time.tm_min, h.time.tm_sec);
}

void WriteToc(Output& out) {
    out.Put("\r\n[TOC Information],,,,,,,,,,,,,,,,,,,\r\n");
    out.Put("DiscType,MaxSector,SectorSize,Session,Mode,Track,Address,Size,PvdLBN,LeadIn,LeadOut,Mode5,"
            "NextProgramArea,RecordingAreaLeadOut,,,,,,\r\n");
    const SessionEntry* first = g_DiscModel ? g_DiscModel->firstSession : nullptr;
    // The Mode field names each track's kind where audio lies beside data; it stays empty on other discs.
    const bool mixed = Report_MixedTracks(g_DiscModel);
    for (const SessionEntry* s = first; s; s = s->next) {
        const std::string type = Report_DiscTypeName(s->type, first->type);
        // The TOC's numbers are signed as the drive counts them: a lead-in start reads negative.
        for (const TrackEntry* t = s->firstTrack; t; t = t->next)
            out.Line("%s,%d,%d,%d,%s,%d,%d,%d,%d,%d,%d,0x%02X,%d,%d,,,,,,\r\n", type.c_str(),
                     int32_t(s->lastBlock), int32_t(s->blockLength), s->sessionNumber,
                     mixed ? Report_TrackKind(t) : "", t->trackNumber, int32_t(t->address), int32_t(t->size),
                     int32_t(s->pvdLbn), int32_t(s->leadIn), int32_t(s->leadOut), s->mode5Pointers,
                     int32_t(s->nextProgramArea), int32_t(s->recordingAreaLeadOut));
    }
}

// The first seven fields of an entry line. LBN and size are unsigned on the disc and written so.
void WriteEntryStart(Output& out, const FileEntry& e, uint32_t order, const char* category) {
    out.Line("%u,%u,%u,%s,", unsigned(e.directoryNumber), unsigned(e.parentNumber), order, category);
    out.Put(Field(e.name));
    out.Line(",%u,%u", e.lbn, e.size);
}

const char* Text(const std::optional<std::string>& text) {
    return text ? text->c_str() : nullptr;
}

void WriteMp3Groups(Output& out, ReportLoss* loss, const MpegInfo& info) {
    const char* album = nullptr;
    const char* title = nullptr;
    const char* artist = nullptr;
    std::string v1[3];
    if (info.id3v2 && (info.tagFlags & MP3_TAG_ID3V2)) {
        album = Text(info.id3v2Sjis.album);
        title = Text(info.id3v2Sjis.title);
        artist = Text(info.id3v2Sjis.artist);
        // ID3v1 fields are written as the bytes they are, so only ID3v2 texts can be written otherwise.
        for (auto field : {&Id3v2Texts::album, &Id3v2Texts::title, &Id3v2Texts::artist})
            NoteLoss(loss, &ReportLoss::texts, Text(info.id3v2Sjis.*field), Text(info.id3v2Text.*field));
    } else if (info.tagFlags & MP3_TAG_ID3V1) {
        // The ID3v1 fields are fixed-size and need not end in a zero.
        const Id3v1Tag& t = info.id3v1;
        v1[0].assign(t.album, strnlen(t.album, sizeof t.album));
        v1[1].assign(t.title, strnlen(t.title, sizeof t.title));
        v1[2].assign(t.artist, strnlen(t.artist, sizeof t.artist));
        album = v1[0].c_str();
        title = v1[1].c_str();
        artist = v1[2].c_str();
    }
    out.Put("," + Field(album) + "," + Field(title) + "," + Field(artist));

    const MpegHeaderInfo* m = &info.header;
    const uint8_t* h = m->headerBytes;
    out.Line(",%d,%02X %02X %02X %02X,%s,%s,%s,%02X %02X,%d,%d,%s,,\r\n", int32_t(m->headerPosition), h[0],
             h[1], h[2], h[3], Mp3_VersionName(m), Mp3_LayerName(m), (h[1] & 0x01) ? "None" : "Exist", h[4],
             h[5], int(Mp3_Bitrate(m)), int(Mp3_SamplingRate(m)), Mp3_ChannelName(m));
}

void WriteAsfGroups(Output& out, ReportLoss* loss, const AsfInfo& info) {
    std::string album;
    if (const AsfDescriptor* d = Wmf_FindAttribute(info, "WM/AlbumTitle")) {
        char text[1024] = {};
        Wmf_AttributeText(d, text, sizeof text);
        album = text;
        NoteLoss(loss, &ReportLoss::texts, text, Wmf_AttributeDisplayText(d).c_str());
    }
    const AsfContentDescription* c = info.contentDescription;
    if (c) {
        NoteLoss(loss, &ReportLoss::texts, c->title, c->titleText);
        NoteLoss(loss, &ReportLoss::texts, c->author, c->authorText);
    }
    out.Put("," + Report_CsvField(album) + "," + Field(c ? c->title : nullptr) + "," +
            Field(c ? c->author : nullptr) + ",,");
    const AsfCodecEntry* audio = info.codecEntries;
    while (audio && audio->type != 2)
        audio = audio->next;
    out.Put(audio && audio->name ? "," + Report_CsvField(audio->name) + ",,," : std::string(",,,,"));
    out.Put(audio && audio->description ? "," + Report_CsvField(audio->description) + ",,\r\n"
                                        : std::string(",,,\r\n"));
}

// A file of the report's tree `ordinal`, read from that session of `disc`.
void WriteFile(Output& out, const Disc& disc, int ordinal, FileEntry& e, uint32_t order, ReportLoss* loss) {
    Iso_SetFileKind(&e);
    WriteEntryStart(out, e, order, "File");
    const DiscEntryAt at = DiscEntry_In(disc, unsigned(ordinal - 1), e);
    if (MpegInfo mp3; (e.kind & KIND_MP3) && Mp3_AnalyzeEntry(at, mp3) == MP3_OK) {
        WriteMp3Groups(out, loss, mp3);
        return;
    }
    if (AsfRecords asf; !(e.kind & KIND_MP3) && (e.kind & KIND_WMF) && Wmf_AnalyzeEntry(at, asf) == WMF_OK) {
        WriteAsfGroups(out, loss, asf.info);
        return;
    }
    out.Put(",,,,,,,,,,,,,\r\n");
}

// One tree, depth first: an entry, then its children, then its next sibling. Held on an explicit stack, so
// no depth of directories can exhaust the call stack.
void WriteTree(Output& out, const Disc& disc, const SessionTree& tree, int ordinal,
               const ReportProgress& progress, ReportLoss* loss) {
    out.Line("\r\n[DISC Contents],Session[%d],Dir[%u],File[%u],,,,,,,,,,,,,,,,\r\n", ordinal,
             tree.directoryCount, tree.fileCount);
    out.Put(
        "PathTable Order,ParentDirectory No.,Play Order,Category,Identifier,LBN,Size,Album,Title,Artist,"
        "Header Position,Header(Data),MPEG Version,Layer,CRC,CRC(Data),Bitrate(kbps),SamplingFrequency(Hz),"
        "Channel,\r\n");
    uint32_t order = 1;
    uint32_t done = 0;
    std::vector<FileEntry*> pending;
    if (tree.root)
        pending.push_back(tree.root);
    while (!pending.empty() && out.ok()) {
        FileEntry* e = pending.back();
        pending.pop_back();
        if (e->nextSibling)
            pending.push_back(e->nextSibling);
        if (e->flags &
            ISO_TEXT) // a name that reads otherwise than its Shift-JIS form may have lost characters
            NoteLoss(loss, &ReportLoss::names, e->name, Iso_EntryName(disc, e));
        if (e->type == 'V' || e->type == 'D') {
            WriteEntryStart(out, *e, order, e->type == 'V' ? "<Volume>" : "<Directory>");
            out.Put(",,,,,,,,,,,,,\r\n");
            if (e->firstChild)
                pending.push_back(e->firstChild);
        } else if (e->type == 'F') {
            WriteFile(out, disc, ordinal, *e, order, loss);
            ++order;
            if (progress)
                progress(ordinal, ++done, tree.fileCount);
        }
    }
}

} // namespace

std::string Report_CsvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(text);
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

std::string Report_DefaultFileName(int number) {
    char name[32];
    std::snprintf(name, sizeof name, "MA%06d.csv", number);
    return name;
}

std::string Report_LossWarning(const ReportLoss& loss) {
    if (loss.names + loss.texts == 0)
        return {};
    const auto count = [](uint32_t n, const char* one, const char* many) {
        return std::to_string(n) + " " + (n == 1 ? one : many);
    };
    std::string what;
    if (loss.names)
        what = count(loss.names, "name", "names");
    if (loss.texts)
        what += (what.empty() ? "" : " and ") + count(loss.texts, "tag text", "tag texts");
    // The disc's text goes to a terminal: its control characters are shown, not sent.
    return what + (loss.names + loss.texts == 1 ? " holds" : " hold") +
           " characters Shift-JIS has no code for: the report writes \"" + Report_ValueText(loss.example) +
           "\" as \"" + Report_ValueText(loss.written) + "\"";
}

int Report_WriteDiscCsv(const DiscReportHeader& header, const ReportSink& sink,
                        const ReportProgress& progress, ReportLoss* loss) {
    Output out(sink);
    WriteHeader(out, header);
    WriteToc(out);
    Disc& disc = Iso_CurrentDisc();
    int ordinal = 0;
    for (SessionTree* t = disc.model ? disc.model->firstTree : nullptr; t && out.ok(); t = t->next) {
        // A tree's files are read from its own session, as the list reads them; the report keeps the
        // session's Joliet names where it records them, whatever names the list shows.
        WriteTree(out, disc, *Iso_ReportTree(disc, t), ++ordinal, progress, loss);
    }
    return out.Flush() ? REPORT_OK : REPORT_ERR_WRITE;
}

int Report_SaveDiscCsv(const std::string& path, const DiscReportHeader& header,
                       const ReportProgress& progress, std::string* error, ReportLoss* loss) {
    auto fail = [&](const std::string& what, int err) {
        if (error)
            *error = what + ": " + std::strerror(err);
        return REPORT_ERR_WRITE;
    };
    std::string temp = path + ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0)
        return fail("The file cannot be created", errno);
    // A new file gets the permissions any new file of the user gets, not mkstemp's private ones.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    int writeError = 0;
    const ReportSink sink = [&](std::string_view bytes) {
        writeError = bytes::WriteAll(fd, bytes.data(), bytes.size());
        return writeError == 0;
    };
    const int rc = Report_WriteDiscCsv(header, sink, progress, loss);
    if (rc == REPORT_OK && fsync(fd) != 0)
        writeError = errno;
    if (::close(fd) != 0 && !writeError)
        writeError = errno;
    if (rc == REPORT_OK && !writeError && std::rename(temp.c_str(), path.c_str()) == 0)
        return REPORT_OK;
    const int err = writeError ? writeError : errno;
    ::unlink(temp.c_str());
    return fail("The report could not be written", err);
}
