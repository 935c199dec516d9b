// Content of the drive dialog: the scanned CD-ROM devices, and starting the chosen one until it is ready.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "appmodel/message_sink.h"

struct DriveRow {
    // What the "Drive" column shows: the device path (/dev/sr0), or for an image drive the image's file name
    // with as many of its folders as tell it from another image of the same name ("a/disc.cue").
    std::string drive;
    std::string path; // device path without the trailing '/', empty when the device has none
    std::string id;   // "%d:%d" host adapter : target
    std::string vendor;
    std::string product;
    std::string revision; // INQUIRY's, trailing blanks trimmed
    std::string state; // the medium as `ckvd drives` words it: ready, no-disc, tray-open, becoming-ready...
};

struct DriveColumn {
    const char* heading;
    int widthDivisor;
};
extern const DriveColumn kDriveColumns[6];

// For each path, its shortest trailing part of whole names (the file name at least) that no other path
// shares.
std::vector<std::string> Drive_DistinctNames(const std::vector<std::string>& paths);

class CDriveDlgModel {
  public:
    enum class Result { Open, Ok, Cancel };

    explicit CDriveDlgModel(ckvd::ui::MessageSink& sink) : m_sink(sink) {}

    // Waits between readiness tests (500 ms); replaced in tests.
    std::function<void(int milliseconds)> sleep;
    // Called when the controls are disabled for the spin-up, so the dialog can repaint at once.
    std::function<void()> repaint;

    // Scans and fills the rows. False when the scan failed: the list stays empty and only Cancel closes.
    bool OnInitDialog();
    // Each drive's state again, by one TEST UNIT READY (asked again after a UNIT ATTENTION); never a start.
    // The dialog runs it every two seconds while no drive is being started.
    void RefreshStates();
    // Item-changed notification: a non-zero new state selects the row and starts it at once.
    void OnItemChanged(int row, unsigned newState);
    // Starts the selected drive and tests it up to ten times; ends with OK when it answered ready.
    void OnOK();
    void OnCancel() { m_result = Result::Cancel; }

    const std::vector<DriveRow>& Rows() const { return m_rows; }
    int Selected() const { return m_nSelected; }
    bool ControlsEnabled() const { return m_enabled; }
    Result DialogResult() const { return m_result; }
    int ReadinessTests() const { return m_tests; }

  private:
    void Report(const char* format, int line, int code);

    ckvd::ui::MessageSink& m_sink;
    std::vector<DriveRow> m_rows;
    int m_nSelected = -1;
    bool m_enabled = true;
    Result m_result = Result::Open;
    int m_tests = 0;
};
