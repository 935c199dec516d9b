// Save to Disc: one file of the loaded disc copied to a local file, read straight from the drive 32 sectors
// at a time. The copy loop is shared by the desktop program's progress window and `ckvd get`.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "appmodel/message_sink.h"
#include "iso9660/iso_model.h"

// Where the copied bytes go. A writer that fails stands in for a full disk in tests.
class SaveWriter {
  public:
    virtual ~SaveWriter() = default;
    virtual bool Write(const uint8_t* data, size_t length) = 0;
    // Flushes and closes; false when the last bytes could not be written.
    virtual bool Close() = 0;
    // Goes back to `offset` for the next write (a FLAC file's STREAMINFO, completed at the end); false where
    // the writer cannot.
    virtual bool Seek(uint64_t offset) {
        (void)offset;
        return false;
    }
};

// A local file opened for writing, created or emptied; nullptr (with the system's reason) when it cannot be.
std::unique_ptr<SaveWriter> SaveToDisc_OpenFile(const std::string& path, std::string* why = nullptr);
// A new file `name` in the directory open as `directoryFd`, for a copy of many files into a folder the user
// chose: whatever stands under that name and is no directory (a symbolic link to a file elsewhere, a hard
// link, an older copy) is removed first and the file created afresh, so no write goes through a link to
// anything outside the folder. nullptr, with the system's reason, when it cannot be made.
std::unique_ptr<SaveWriter> SaveToDisc_CreateAt(int directoryFd, const std::string& name, std::string* why);
// Removes what stands under `name` in the directory open as `directoryFd` (a link itself, never what it
// points to) so that the name can be made afresh; false, with errno (EISDIR for a directory), when it
// cannot be or is a directory.
bool SaveToDisc_FreeNameAt(int directoryFd, const std::string& name);

enum class SaveResult { Ok, NoMemory, ReadError, WriteError, Cancelled };
// "Sorry, Not Enough Memory...", "Sorry, Disc Read Error...", "Sorry, Disc Write Error..."; nullptr for Ok
// and Cancelled.
const char* SaveToDisc_Message(SaveResult result);

// Blocks `first` to `last` (both included).
struct BlockRange {
    uint32_t first = 0, last = 0;
};

struct SaveOutcome {
    SaveResult result = SaveResult::Ok;
    uint64_t written = 0;   // bytes written before the end (all of them on success)
    uint32_t failedLba = 0; // first block of the chunk that could not be read
    int code = 1;           // the read's result code
    std::string why;        // what is wrong with a compressed file's data (code ISO_ERR_ZISOFS)
    // An audio track's blocks that could not be read, every one of them, in order, and the drive's sense
    // of the first (key, additional sense code and qualifier; zeros when there was none).
    std::vector<BlockRange> unreadable;
    uint8_t sense[3] = {0, 0, 0};
};

// How an audio track is written: a WAV file (RIFF header, then the samples as read) or FLAC.
enum class AudioFormat { Wav, Flac };
// What a FLAC file's Vorbis comments say of its track; empty texts and a track of 0 are left out.
struct AudioTags {
    std::string title, artist, album, isrc;
    int track = 0;
};

class Disc;
// What a copy reads: the Disc whose entries it copies (only read, so that a copy may run on a worker while
// the window goes on), the session they lie in (its block length L) and the device the disc is in.
struct SaveSource {
    const Disc& disc;
    const SessionEntry* session = nullptr; // none: nothing can be read
    uint16_t device = 0;
};
// The current Disc's, for the GUI thread and ckvd: its current session (as Iso_SelectSession left it) and
// g_CurrentDevice.
SaveSource SaveToDisc_CurrentSource();

// The transfer buffer of one chunk for the session (32 x its block length), zero-filled; empty when memory
// runs out or the session has no usable block length. The second form for the current Disc's session.
std::vector<uint8_t> SaveToDisc_Buffer(const SaveSource& from);
std::vector<uint8_t> SaveToDisc_Buffer();

// What a copy reports to and asks of its caller between chunks.
struct SaveHooks {
    std::function<void(uint64_t written)> progress; // the bytes written so far, after every chunk
    std::function<bool()> stop;                     // true: stop before the next chunk (Cancelled)
    bool salvage = false;                           // read a failed chunk again block by block
    AudioFormat audio = AudioFormat::Wav;           // how an audio track is written
    AudioTags tags;                                 // a FLAC file's tags (SaveToDisc_TrackTags)
};
// The copy of one entry: a data file in chunks of 32 sectors and 32 x L bytes, the last one of the sectors
// and bytes that remain, `hooks.progress` told the bytes written after every chunk, a failed read keeping
// the chunks written before it (with `hooks.salvage` a chunk that cannot be read is read again block by
// block: the blocks before the first unreadable one are kept too, and `failedLba` is that block); one stored
// compressed, zisofs, is written uncompressed, a block at a time (`failedLba` then names the block whose read
// failed or that holds what is wrong with its data, and `why` says what); an audio track
// (SaveToDisc_IsAudioTrack) as a WAV file: the 44-byte RIFF header (PCM, 16-bit, stereo, 44,100 Hz, data size
// = sectors x 2352), then the track's sectors read with READ CD, 32 at a time, or as FLAC (`hooks.audio`)
// with `hooks.tags`. A chunk of a track that cannot be read is read again block by block, and the rest of the
// track after it is read too so that `unreadable` names every block that cannot be; nothing is written after
// the first (never silence in its place): the caller removes such a file. A track that runs past its
// session's lead-out is a read error before anything is read. The writer is closed at the end. The second
// form reads the current Disc (SaveToDisc_CurrentSource).
SaveOutcome SaveToDisc_Save(const SaveSource& from, const FileEntry& entry, SaveWriter& out,
                            std::vector<uint8_t>& buffer, const SaveHooks& hooks);
SaveOutcome SaveToDisc_Save(const FileEntry& entry, SaveWriter& out, std::vector<uint8_t>& buffer,
                            const SaveHooks& hooks);
// A "TrackNN.cda" entry of an audio track, wherever the disc holds it (its LBN the track's start, its size
// the track's length in sectors, from the TOC). The forms without a Disc ask the current one.
bool SaveToDisc_IsAudioTrack(const Disc& disc, const FileEntry& entry);
bool SaveToDisc_IsAudioTrack(const FileEntry& entry);
// The name a copy is given (an audio track's with ".wav" or ".flac" for ".cda") and the bytes it will hold
// (a FLAC file's as a WAV file's: what its progress counts).
std::string SaveToDisc_LocalName(const Disc& disc, const FileEntry& entry,
                                 AudioFormat audio = AudioFormat::Wav);
// The name the save-file dialog proposes: the local name, an audio track's from its CD-TEXT ("03 Artist -
// Title.wav") where the disc records a title; never a path ('/' made '_').
std::string SaveToDisc_ProposedName(const FileEntry& entry);
uint64_t SaveToDisc_LocalSize(const Disc& disc, const FileEntry& entry);
// The samples' bytes of an audio track (sectors x 2352), 0 when it runs past its session's lead-out.
uint64_t SaveToDisc_AudioBytes(const Disc& disc, const FileEntry& entry);
// FLAC for a local name ending in ".flac" (in any case), else WAV.
AudioFormat SaveToDisc_FormatOf(const std::string& path);
// The tags of an audio track a FLAC file is given: its number in the TOC.
AudioTags SaveToDisc_TrackTags(const Disc& disc, const FileEntry& entry);
AudioTags SaveToDisc_TrackTags(const FileEntry& entry);
// An audio track saved as SaveToDisc_Save says (the writer not yet closed).
SaveOutcome SaveToDisc_SaveAudio(const SaveSource& from, const FileEntry& entry, SaveWriter& out,
                                 const SaveHooks& hooks);
// The words of an audio track's failed read: "Track02.cda (track 2, sectors 1,000-1,499): sectors
// 1,234-1,240, 1,300 could not be read (Code 0002, sense 03/11/00)"; at most kListedRanges ranges, then how
// many more.
std::string SaveToDisc_UnreadableText(const Disc& disc, const FileEntry& entry, const SaveOutcome& outcome);
constexpr size_t kListedRanges = 20;
constexpr uint32_t kWavHeaderBytes = 44;

// Content of the progress window CSaveToDiscDlg: the copy it carries out when shown, and its messages.
class CSaveToDiscDlgModel {
  public:
    // `entries` is the list's first entry and `row` the file's row in it, of the current Disc, which the
    // model shares (Iso_ShareCurrentDisc) so that its copy reads a whole Disc wherever it runs.
    CSaveToDiscDlgModel(ckvd::ui::MessageSink& sink, const FileEntry* entries, int row);

    // The save-file dialog: given the proposed name, the chosen path, or empty when cancelled.
    std::function<std::string(const std::string& proposedName)> chooseFile;
    // Opens the chosen path (SaveToDisc_OpenFile unless replaced).
    std::function<std::unique_ptr<SaveWriter>(const std::string& path)> openFile;
    // The progress bar: its range is set from 1 to the size, then it gets the bytes written after each chunk.
    std::function<void(uint64_t maximum)> setRange;
    std::function<void(uint64_t written)> progress;

    const FileEntry* Entry() const { return m_entry; }
    bool AudioTrack() const;
    // The copy at once, from finding the entry to freeing the buffer (Begin, Copy, End); the window then
    // closes after 500 ms.
    SaveOutcome OnShowWindow();
    // The same in three steps, for a copy on a worker. Begin, on the GUI thread: the checks, the file asked
    // for and opened; false when there is nothing to copy (the outcome is then final). Copy, on any thread:
    // reads only the shared Disc, `stop` asked before every chunk; a copy cancelled, like an audio track that
    // could not be read whole, is removed, as either would pass for the file. End, on the GUI thread: the
    // messages, and the outcome.
    bool Begin();
    void Copy(const std::function<void(uint64_t written)>& progressTo, const std::function<bool()>& stop);
    SaveOutcome End();
    const SaveOutcome& Outcome() const { return m_outcome; }
    // The file chosen (empty before, or when none was).
    const std::string& Path() const { return m_path; }

  private:
    SaveSource Source() const { return {*m_disc, m_session, m_device}; }

    ckvd::ui::MessageSink& m_sink;
    std::shared_ptr<const Disc> m_disc;
    const FileEntry* m_entry = nullptr;
    const SessionEntry* m_session = nullptr;
    uint16_t m_device = 0;
    std::string m_path;
    std::unique_ptr<SaveWriter> m_out;
    std::vector<uint8_t> m_buffer;
    SaveOutcome m_outcome;
    bool m_removed = false;
};

constexpr const char* IDS_SAVE_NO_MEMORY = "Sorry, Not Enough Memory...";
constexpr const char* IDS_SAVE_READ_ERROR = "Sorry, Disc Read Error...";
constexpr const char* IDS_SAVE_WRITE_ERROR = "Sorry, Disc Write Error...";
constexpr const char* IDS_SAVE_CANNOT_CREATE = "Sorry, Cannot Create the File...";
constexpr int SAVE_CLOSE_DELAY_MS = 500;
