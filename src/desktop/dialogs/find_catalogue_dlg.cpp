#include "desktop/dialogs/find_catalogue_dlg.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QVBoxLayout>
#include <algorithm>

#include "desktop/dialogs/open_catalogued_dlg.h"
#include "platform/text/grouped_number.h"

namespace {

constexpr int kTypingPauseMs = 150; // the search runs once the typing pauses this long

} // namespace

CFindCatalogueDlg::CFindCatalogueDlg(QWidget* parent)
    : QDialog(parent), m_tabs(new QTabWidget(this)), m_field(new QLineEdit), m_results(new QTreeWidget),
      m_status(new QLabel), m_discList(new QTreeWidget), m_discStatus(new QLabel),
      m_duplicates(new QTreeWidget), m_duplicatesStatus(new QLabel) {
    setWindowTitle(IDS_FIND_CATALOGUE_CAPTION);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(m_tabs, 1);
    auto* search = new QWidget;
    auto* layout = new QVBoxLayout(search);
    m_tabs->addTab(search, "Search");
    m_field->setPlaceholderText("Name, path, title, artist or album");
    m_field->setClearButtonEnabled(true);
    layout->addWidget(m_field);
    m_results->setRootIsDecorated(false);
    m_results->setHeaderLabels({"Disc", "Volume", "Path", "Title", "Artist", "Album"});
    m_results->setToolTip("Double-click an entry to open its disc");
    layout->addWidget(m_results, 1);
    m_status->setWordWrap(true);
    layout->addWidget(m_status);
    m_discList->setToolTip("Double-click a disc to browse it from the catalogue");
    AddTab(m_discList, m_discStatus, "Discs");
    m_duplicates->setToolTip("Double-click a copy to browse its disc from the catalogue");
    m_duplicates->setHeaderLabels({"Name / copy", "Disc", "Volume", "Size", "Wasted", "By"});
    AddTab(m_duplicates, m_duplicatesStatus, "Duplicates");
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    outer->addWidget(buttons);
    resize(900, 520);
    connect(m_tabs, &QTabWidget::currentChanged, this, [this](int tab) { ShowTab(tab); });
    connect(m_discList, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { Browse(item->data(0, Qt::UserRole).toInt(), 0, {}); });
    connect(m_duplicates, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        if (item->parent()) // a copy
            Browse(item->data(0, Qt::UserRole).toInt(), item->data(0, Qt::UserRole + 1).toInt(),
                   item->data(0, Qt::UserRole + 2).toString().toStdString());
    });
    m_typing.setSingleShot(true);
    m_typing.setInterval(kTypingPauseMs);
    connect(&m_typing, &QTimer::timeout, this, [this] { Search(); });
    connect(m_field, &QLineEdit::textEdited, this, [this] { m_typing.start(); });
    connect(m_field, &QLineEdit::returnPressed, this, [this] { Search(); });
    connect(m_results, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { Activate(item); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    m_field->setEnabled(m_model.Open()); // a catalogue that cannot be used says why below
    m_status->setText(QString::fromStdString(m_model.Status()));
}

void CFindCatalogueDlg::Search() {
    m_typing.stop();
    m_model.Search(m_field->text().toStdString());
    m_results->clear();
    for (const CatalogueHit& h : m_model.Rows()) {
        auto* item = new QTreeWidgetItem(
            m_results,
            {QString("%1").arg(h.number, 6, 10, QChar('0')), QString::fromStdString(h.volume),
             QString("(Session%1) %2").arg(h.entry.session).arg(QString::fromStdString(h.entry.path)),
             QString::fromStdString(h.entry.title), QString::fromStdString(h.entry.artist),
             QString::fromStdString(h.entry.album)});
        item->setToolTip(2, item->text(2));
    }
    for (int c = 0; c < m_results->columnCount(); ++c)
        m_results->resizeColumnToContents(c);
    m_results->setColumnWidth(2, std::min(m_results->columnWidth(2), 420));
    m_status->setText(QString::fromStdString(m_model.Status()));
}

void CFindCatalogueDlg::Activate(QTreeWidgetItem* item) {
    const int row = m_results->indexOfTopLevelItem(item);
    if (row < 0)
        return;
    const CFindCatalogueDlgModel::Action a = m_model.Activate(size_t(row));
    if (!a.image.empty() && onOpen && onOpen(a.image, a.session, a.path)) {
        accept();
        return;
    }
    if (!a.message.empty() && onMessage)
        onMessage(a.message);
}

void CFindCatalogueDlg::ShowTab(int tab) {
    if (tab == DiscsTab && !m_discsRead) {
        m_discsRead = true;
        m_discs.Open();
        FillCatalogueDiscList(m_discList, m_discs);
        m_discStatus->setText(QString::fromStdString(m_discs.Status()));
    }
    if (tab == DuplicatesTab && !m_duplicatesRead) {
        m_duplicatesRead = true;
        FillDuplicates();
    }
}

void CFindCatalogueDlg::AddTab(QTreeWidget* list, QLabel* status, const QString& name) {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(list, 1);
    status->setWordWrap(true);
    layout->addWidget(status);
    m_tabs->addTab(page, name);
}

void CFindCatalogueDlg::FillDuplicates() {
    m_model.ReadDuplicates();
    m_duplicates->clear();
    const auto number = [](uint64_t n) { return QString::fromStdString(ckvd::text::grouped(n)); };
    for (const CatalogueDuplicate& d : m_model.Duplicates()) {
        auto* file = new QTreeWidgetItem(m_duplicates, {QString::fromStdString(d.name),
                                                        {},
                                                        {},
                                                        number(d.size),
                                                        number(d.Wasted()),
                                                        QString::fromStdString(d.by)});
        if (!d.hash.empty())
            file->setToolTip(5, "SHA-1 " + QString::fromStdString(d.hash));
        for (const CatalogueCopy& c : d.copies) {
            auto* copy = new QTreeWidgetItem(
                file, {QString("(Session%1) %2").arg(c.session).arg(QString::fromStdString(c.path)),
                       QString("%1").arg(c.number, 6, 10, QChar('0')), QString::fromStdString(c.volume)});
            copy->setData(0, Qt::UserRole, c.number);
            copy->setData(0, Qt::UserRole + 1, c.session);
            copy->setData(0, Qt::UserRole + 2, QString::fromStdString(c.path));
            copy->setToolTip(0, copy->text(0));
        }
        for (int c : {3, 4})
            file->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    }
    m_duplicates->expandAll();
    for (int c = 0; c < m_duplicates->columnCount(); ++c)
        m_duplicates->resizeColumnToContents(c);
    m_duplicates->setColumnWidth(0, std::min(m_duplicates->columnWidth(0), 360));
    m_duplicatesStatus->setText(QString::fromStdString(m_model.DuplicatesStatus()));
}

void CFindCatalogueDlg::Browse(int number, int session, const std::string& path) {
    if (onBrowse && onBrowse(number, session, path))
        accept();
}
