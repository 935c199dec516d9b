#include "appmodel/save_disc_info_dlg_model.h"

#include "listing/disc_text.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "listing/disc_text.h"

namespace {

constexpr const char* kWriteFailed = "Sorry, Cannot Write the DiscInformation...";

// At most `limit` bytes of Shift-JIS text, never cutting a double-byte character in two.
std::string CutSjis(const std::string& text, size_t limit) {
    size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        const size_t len = ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)) ? 2 : 1;
        if (i + len > limit)
            break;
        i += len;
    }
    return text.substr(0, std::min(i, text.size()));
}

} // namespace

int Report_ParseNumber(const std::string& text) {
    const std::string digits = text.substr(0, REPORT_NUMBER_CHARS);
    errno = 0;
    const long long n = std::strtoll(digits.c_str(), nullptr, 10);
    if (n > INT_MAX)
        return INT_MAX;
    if (n < INT_MIN)
        return INT_MIN;
    return static_cast<int>(n);
}

std::string CSaveDiscInfoDlgModel::OnYesPlease() {
    m_state = ReportDlgState::Ready;
    if (numbers.next)
        m_frameNumber = numbers.next();
    char text[16];
    std::snprintf(text, sizeof text, "%06d", m_frameNumber);
    return text;
}

void CSaveDiscInfoDlgModel::OnNo() {
    Close(ReportDlgResult::Cancel);
}

void CSaveDiscInfoDlgModel::OnSave(const std::string& numberText, const std::string& commentSjis,
                                   const ReportProgress& progress) {
    const int typed = Report_ParseNumber(numberText);
    m_number = typed;
    std::string error;
    int stored = 0;
    if (numbers.take && !numbers.take(typed, typed == m_frameNumber, &m_number, &stored, &error)) {
        m_sink.ShowUtf8(std::string(kWriteFailed) + "\n\n" + error + ".");
        Close(ReportDlgResult::Failed);
        return;
    }
    if (m_number != typed) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "Number %06d was taken by another report in the meantime: this report is number %06d.",
                      typed, m_number);
        m_sink.ShowUtf8(text);
    }
    // A number taken for a report that is not written goes back, unless others have taken numbers since.
    auto giveBack = [this, stored] {
        if (numbers.giveBack)
            numbers.giveBack(m_number, stored);
    };
    m_path = chooseFile ? chooseFile(Report_DefaultFileName(m_number)) : std::string();
    if (m_path.empty()) {
        giveBack();
        Close(ReportDlgResult::Cancel);
        return;
    }
    m_state = ReportDlgState::Writing;
    DiscReportHeader header;
    header.number = m_number;
    header.comment = CutSjis(commentSjis, REPORT_COMMENT_BYTES);
    if (now) {
        header.time = now();
    } else {
        const std::time_t t = std::time(nullptr);
        localtime_r(&t, &header.time);
    }
    ReportLoss loss;
    if (Report_SaveDiscCsv(m_path, header, progress, &error, &loss) == REPORT_OK) {
        if (const std::string warning = Report_LossWarning(loss); !warning.empty())
            m_sink.ShowUtf8(warning + ".");
        // The report's disc goes into the catalogue under its number; the report stands whatever becomes of
        // it.
        std::string message;
        if (addToCatalogue && !addToCatalogue(m_number, Report_SjisToUtf8(header.comment.c_str()), message))
            m_sink.ShowUtf8("The disc was not added to the catalogue.\n" + message);
        Close(ReportDlgResult::Ok);
        return;
    }
    // Nothing was written under the chosen name, so no number is used up.
    giveBack();
    m_sink.ShowUtf8(std::string(kWriteFailed) + "\n" + m_path + "\n\n" + error + ".");
    Close(ReportDlgResult::Failed);
}
