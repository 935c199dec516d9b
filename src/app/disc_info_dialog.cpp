#include "app/disc_info_dialog.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "report/lbn_size_style.h"

DiscInfoDialog::DiscInfoDialog(QWidget* parent) : QDialog(parent), m_list(new QTreeWidget(this)) {
    setWindowTitle("Disc Information");
    setModal(true);
    resize(1120, 320);
    m_list->setRootIsDecorated(false);
    m_list->setColumnCount(DISCINFO_COLUMNS);
    QStringList titles;
    for (const DiscInfoColumn& c : kDiscInfoColumns)
        titles << c.title;
    m_list->setHeaderLabels(titles);
    auto* ok = new QPushButton("OK", this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);

    const int w = width() - 24;
    for (int c = 0; c < DISCINFO_COLUMNS; ++c)
        m_list->setColumnWidth(c, w / DISCINFO_COLUMNS);
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
}
