#include "desktop/dialogs/disc_info_dlg.h"

#include "desktop/mediainfo/info_dialog.h"
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>

#include "listing/lbn_size_style.h"

CDiscInfoDlg::CDiscInfoDlg(QWidget* parent) : QDialog(parent), m_list(new QTreeWidget(this)) {
    setWindowTitle("Disc Information");
    setModal(true);
    resize(1120, 240);
    m_list->setRootIsDecorated(false);
    m_list->setColumnCount(DISCINFO_COLUMNS);
    QStringList titles;
    for (const DiscInfoColumn& c : kDiscInfoColumns)
        titles << c.title;
    m_list->setHeaderLabels(titles);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    AddOkButton(this, layout);

    m_content.OnInitDialog(g_DiscModel, g_LbnSizeStyle);
    for (const DiscInfoRow& row : m_content.Rows()) {
        auto* item = new QTreeWidgetItem(m_list);
        for (int c = 0; c < DISCINFO_COLUMNS; ++c) {
            item->setText(c, QString::fromStdString(row[static_cast<size_t>(c)]));
            Qt::Alignment a = kDiscInfoColumns[c].align == DiscInfoAlign::Right    ? Qt::AlignRight
                              : kDiscInfoColumns[c].align == DiscInfoAlign::Centre ? Qt::AlignHCenter
                                                                                   : Qt::AlignLeft;
            item->setTextAlignment(c, a | Qt::AlignVCenter);
        }
    }
    FitToContents();
}

void CDiscInfoDlg::FitToContents() {
    // Every column starts at the fourteenth part of the list's width, as wide as its heading and values.
    m_list->header()->setStretchLastSection(false);
    const int share = (width() - 24) / DISCINFO_COLUMNS;
    int total = 0;
    for (int c = 0; c < DISCINFO_COLUMNS; ++c) {
        m_list->resizeColumnToContents(c);
        const int w =
            std::max({m_list->columnWidth(c), m_list->header()->sectionSizeHint(c), std::min(share, 40)});
        m_list->setColumnWidth(c, w);
        total += w;
    }
    // The dialog shows all columns where the screen is wide enough; never wider than the screen.
    QRect screen(0, 0, 1280, 800);
    if (const QScreen* s = (parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen()))
        screen = s->availableGeometry();
    const int frame = m_list->frameWidth() * 2 + m_list->verticalScrollBar()->sizeHint().width() + 24;
    const int rowsHeight = m_list->header()->sizeHint().height() +
                           std::max(6, m_list->topLevelItemCount()) * std::max(m_list->sizeHintForRow(0), 18);
    resize(std::min(total + frame, screen.width() - 16),
           std::min(std::max(height(), rowsHeight + 80), screen.height() - 48));
}
