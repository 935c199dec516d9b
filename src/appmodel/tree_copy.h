// Copies of several entries at once: files and whole directories of the loaded disc into a local directory,
// file by file as Save to Disc copies one, the recorded dates kept as the files' modification times. Shared
// by `ckvd get -r` and the window's Save to Disc on several rows or on a directory.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "appmodel/message_sink.h"
#include "appmodel/save_to_disc.h"
#include "iso9660/iso_model.h"

struct TreeCopyTotals {
    uint32_t files = 0;
    uint64_t bytes = 0; // of the local files (an audio track's WAV header and samples)
};

struct TreeCopyHooks {
    // A file or directory that could not be copied whole, or a date or mode not kept: one line, such as
    // "DEST/a/b: Sorry, Disc Read Error... at block 21 Code 0002 (what was read is kept)".
    std::function<void(const std::string& line)> note;
    // Files and bytes done so far, after every chunk and every file.
    std::function<void(const TreeCopyTotals& done)> progress;
    // True: stop before the next chunk; the file being written is removed, the ones finished stay.
    std::function<bool()> stop;
    // How audio tracks are written: TrackNN.wav or TrackNN.flac (tagged as SaveToDisc_TrackTags says).
    AudioFormat audio = AudioFormat::Wav;
};

struct TreeCopyResult {
    bool whole = true; // every entry copied whole
    bool cancelled = false;
    std::vector<std::string> notes; // every line given to hooks.note, in order
};

// Files and bytes of `entries` (of `disc`) and of everything below the directories among them.
TreeCopyTotals TreeCopy_Count(const Disc& disc, const std::vector<const FileEntry*>& entries);
// Copies `entries` (of the Disc and session `from` reads, and only read) and everything below the directories
// among them into `dest`, which is made when missing; everything below DEST is made relative to open
// directory descriptors and never through a link. A file that cannot be read keeps what was read and the copy
// goes on with the next; a name no local file may have ("", ".", "..", one with "/") or a second entry of one
// name in a directory is left out with its reason. An audio track becomes TrackNN.wav or TrackNN.flac
// (hooks.audio); one that cannot be read whole is removed and its unreadable sectors named.
TreeCopyResult TreeCopy_Entries(const SaveSource& from, const std::vector<const FileEntry*>& entries,
                                const std::string& dest, const TreeCopyHooks& hooks);
// The entries of the chain from `first` on.
std::vector<const FileEntry*> TreeCopy_Chain(const FileEntry* first);

// The entries of the list rows `rows` (the list shows the chain from `entries` on) that Save to Disc copies:
// a file's later extent stands for the file, each entry once, "." and ".." never, in row order.
std::vector<const FileEntry*> SaveToDisc_RowEntries(const FileEntry* entries, std::vector<int> rows);

// Content of the progress window CSaveTreeDlg: Save to Disc on several rows or on directories. The user
// chooses a folder, one progress bar counts the bytes of all files, Cancel stops between chunks, and a
// message at the end names what could not be read or written.
class CSaveTreeDlgModel {
  public:
    // `entries` of the current Disc, which the model shares (Iso_ShareCurrentDisc) for its copy.
    CSaveTreeDlgModel(ckvd::ui::MessageSink& sink, std::vector<const FileEntry*> entries);

    std::function<std::string()> chooseFolder; // the folder chosen, empty when cancelled
    std::function<void(const TreeCopyTotals& done)> progress;
    std::function<bool()> stop; // the Cancel button was pressed

    const TreeCopyTotals& Total() const { return m_total; }
    // The folder chosen (empty before, or when none was) and what was copied into it.
    const std::string& Folder() const { return m_folder; }
    const TreeCopyTotals& Done() const { return m_done; }
    // The copy: the folder, then every entry; the summary message when anything failed or it was cancelled.
    TreeCopyResult OnShowWindow();
    // The same in three steps, for a copy on a worker: Begin on the GUI thread (the folder asked for; false
    // when there is nothing to copy, the result then final), Copy on any thread (reads only the shared Disc;
    // `progressTo` told the files and bytes done, `stop` asked between chunks), End on the GUI thread (the
    // summary message, and the result).
    bool Begin();
    void Copy(const std::function<void(const TreeCopyTotals& done)>& progressTo,
              const std::function<bool()>& stop);
    TreeCopyResult End();
    const TreeCopyResult& Result() const { return m_result; }
    // The message after a copy: each note on a line of its own (the first kSummaryLines of them and a count
    // of the rest), after "Cancelled" when it was; empty when everything was copied.
    static std::string Summary(const TreeCopyResult& result, uint32_t filesDone, uint32_t files);
    static constexpr size_t kSummaryLines = 12;

  private:
    ckvd::ui::MessageSink& m_sink;
    std::shared_ptr<const Disc> m_disc;
    const SessionEntry* m_session = nullptr;
    uint16_t m_device = 0;
    std::vector<const FileEntry*> m_entries;
    TreeCopyTotals m_total;
    std::string m_folder;
    TreeCopyTotals m_done;
    TreeCopyResult m_result;
};
