#include "desktop/mediainfo/pcm_format_dlg.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>

#include "analyzers/wav/wav_dlg_model.h"
#include "desktop/mediainfo/info_dialog.h"

CPcmFormatDlg::CPcmFormatDlg(QWidget* parent) : QDialog(parent), m_list(new QTreeWidget(this)) {
    setWindowTitle("PCM Format Classify");
    setModal(true);
    m_list->setRootIsDecorated(false);
    m_list->setHeaderLabels({"Code", "Format"});
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    AddOkButton(this, layout);
    OnInitDialog();
}

void CPcmFormatDlg::OnInitDialog() {
    m_list->clear();
    for (const auto& [code, name] : Wav_FormatRows())
        new QTreeWidgetItem(m_list, {QString::fromStdString(code), QString::fromStdString(name)});
    // Each column as wide as its widest text, so every name shows whole and the list needs no sideways
    // scrolling (a third and three quarters of the list's width would cut the longest names).
    const QFontMetrics fm = m_list->fontMetrics();
    m_list->resizeColumnToContents(0);
    m_list->resizeColumnToContents(1);
    const int codeWidth = std::max(m_list->columnWidth(0), fm.horizontalAdvance("Code")) + 24;
    const int formatWidth = m_list->columnWidth(1) + 24;
    const int listWidth = codeWidth + formatWidth;
    m_list->setColumnWidth(0, codeWidth);
    m_list->setColumnWidth(1, formatWidth);
    m_list->header()->setStretchLastSection(true);
    const int rows = std::min(m_list->topLevelItemCount(), 16);
    const int rowHeight = m_list->sizeHintForRow(0) > 0 ? m_list->sizeHintForRow(0) : fm.height() + 4;
    m_list->setMinimumSize(
        listWidth + m_list->verticalScrollBar()->sizeHint().width() + 2 * m_list->frameWidth(),
        m_list->header()->sizeHint().height() + rows * rowHeight + 2 * m_list->frameWidth());
}
