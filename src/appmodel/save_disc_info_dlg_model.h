// Content of CSaveDiscInfoDlg, "Are You Save DiscInformation?": the offer of a disc report with its
// management number and comment, and the save that writes the report.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

#include "appmodel/message_sink.h"
#include "report/disc_report.h"

// The dialog's states: asked (only "Yes...Please" and "No..." usable), ready (number, comment and "Save..."
// usable), writing (the whole dialog disabled), closed.
enum class ReportDlgState { Asked, Ready, Writing, Closed };
// How it closed: Ok after a written report, Cancel ("No...", or no file chosen), Failed when the report could
// not be written (after its message; no number is used up).
enum class ReportDlgResult { Open, Ok, Cancel, Failed };

constexpr int REPORT_NUMBER_CHARS = 15;   // characters of the number edit read back
constexpr int REPORT_COMMENT_BYTES = 255; // bytes of the comment read back

// Where the dialog's management numbers come from: the number to show, and taking one for a report (the
// number typed, or when that is the one shown and other reports took it since, the next free one), and
// giving one back when no report came of it. Without them the frame's number is shown and used as typed.
struct ReportNumbers {
    std::function<int()> next;
    std::function<bool(int wanted, bool orStored, int* used, int* stored, std::string* error)> take;
    std::function<void(int used, int stored)> giveBack;
};

class CSaveDiscInfoDlgModel {
  public:
    // `number`: the frame's management number.
    CSaveDiscInfoDlgModel(int number, ckvd::ui::MessageSink& sink)
        : m_frameNumber(number), m_number(number), m_sink(sink) {}

    void OnInitDialog() { m_state = ReportDlgState::Asked; }
    // "Yes...Please": the controls become usable; the number edit's new text, "%06d" of the next number (the
    // stored one at this moment, or the frame's).
    std::string OnYesPlease();
    // "No...".
    void OnNo();
    // "Save...": the number edit's text and the comment (Shift-JIS) as typed. Proposes "MA%06d.csv" through
    // `chooseFile` (empty answer: cancelled), then writes the report there, `progress` after every file.
    void OnSave(const std::string& numberText, const std::string& commentSjis,
                const ReportProgress& progress);

    // Asks for the report's path with the proposed file name; empty when the user cancelled.
    std::function<std::string(const std::string& proposedName)> chooseFile;
    // The local time written into the header (the clock by default).
    std::function<std::tm()> now;
    ReportNumbers numbers;

    ReportDlgState State() const { return m_state; }
    ReportDlgResult Result() const { return m_result; }
    // The number the report used (the typed one after "Save...", or the next free one when other reports took
    // the one shown).
    int Number() const { return m_number; }
    const std::string& Path() const { return m_path; }
    // Adds the disc of a written report to the catalogue under its number (App_AddToCatalogue in the program;
    // empty in tests that leave the catalogue alone): false with the reason.
    std::function<bool(int number, const std::string& commentUtf8, std::string& message)> addToCatalogue;

  private:
    void Close(ReportDlgResult result) {
        m_state = ReportDlgState::Closed;
        m_result = result;
    }

    int m_frameNumber;
    int m_number;
    ckvd::ui::MessageSink& m_sink;
    ReportDlgState m_state = ReportDlgState::Asked;
    ReportDlgResult m_result = ReportDlgResult::Open;
    std::string m_path;
};

// The number edit's text as a number: its first 15 characters in base 10; text that is no number gives 0,
// one beyond the 32-bit range its nearest end.
int Report_ParseNumber(const std::string& text);
