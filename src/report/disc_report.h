// The CSV disc report: a header with the management number, comment and time; the TOC of every session; the
// whole tree of every session with the MP3 and ASF findings of its files. Shift-JIS text, lines ended by
// "\r\n", written as it is made.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>

constexpr int REPORT_OK = 1;
constexpr int REPORT_ERR_WRITE = 0x7001; // the output could not be written (whole)
constexpr int REPORT_ERR_NO_DISC = 0x7002;

struct DiscReportHeader {
    int number = 0;      // management number, "MA%06d"
    std::string comment; // Shift-JIS
    std::tm time{};      // local time the report is written
};

// The names and tag texts (album, title, artist) the report writes otherwise than the disc records them, as
// Shift-JIS has no code for some of their characters ("?" or an ASCII look-alike stands in their place).
struct ReportLoss {
    uint32_t names = 0;
    uint32_t texts = 0;
    std::string example; // the first one met, as recorded (UTF-8)
    std::string written; // and as the report writes it
};
// "2 names hold characters Shift-JIS has no code for: the report writes "Čeština" as "?e?tina"" (with "and
// N tag texts" where there are), said once after a report; empty when nothing was written otherwise.
std::string Report_LossWarning(const ReportLoss& loss);

// Called after every file line of a session tree: the tree's ordinal (from 1), files written, its file count.
using ReportProgress = std::function<void(int tree, uint32_t done, uint32_t total)>;
// Takes the next piece of the report; false when it could not be written (the report stops).
using ReportSink = std::function<bool(std::string_view bytes)>;

// Writes the report of g_DiscModel. The MP3 and ASF analyzers run on the files of each tree with that tree's
// session current; the current session is restored afterwards. REPORT_OK or REPORT_ERR_WRITE. With `loss`,
// what was written otherwise than recorded is counted there.
int Report_WriteDiscCsv(const DiscReportHeader& header, const ReportSink& sink,
                        const ReportProgress& progress, ReportLoss* loss = nullptr);

// Writes the report into `path` whole or not at all: into a new file beside it, renamed over `path` once
// every byte is on the disk. REPORT_OK, or REPORT_ERR_WRITE with the reason in `error` (UTF-8); `path` is
// then as it was.
int Report_SaveDiscCsv(const std::string& path, const DiscReportHeader& header,
                       const ReportProgress& progress, std::string* error, ReportLoss* loss = nullptr);

// A field as the report writes it: as it is, or in double quotes with inner quotes doubled when it holds a
// comma, a double quote or a line break (which would otherwise shift or split the columns).
std::string Report_CsvField(std::string_view text);
// "MA%06d.csv", the report's default file name for a management number.
std::string Report_DefaultFileName(int number);
