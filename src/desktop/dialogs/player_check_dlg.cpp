#include "desktop/dialogs/player_check_dlg.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "playercheck/player_text.h"

namespace {

// What is wrong first, then where; the rule last.
enum FindingColumn { kSeverity, kFolder, kTrack, kText, kPath, kRule };
constexpr int kSortRole = Qt::UserRole + 1;

// A row that sorts by its key of the column (severity rank, numbers as numbers), else by its text.
class SortedItem final : public QTreeWidgetItem {
  public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override {
        const int c = treeWidget() ? treeWidget()->sortColumn() : 0;
        const QVariant a = data(c, kSortRole), b = other.data(c, kSortRole);
        if (a.isValid() && b.isValid() && a != b)
            return a.toLongLong() < b.toLongLong();
        return text(c) == other.text(c) ? text(kPath) < other.text(kPath) : text(c) < other.text(c);
    }
};

QString Number(int n) {
    return n ? QString::number(n) : QString();
}

} // namespace

CPlayerCheckDlg::CPlayerCheckDlg(ckvd::ui::MessageSink& sink, QWidget* parent)
    : QDialog(parent), m_model(sink), m_profiles(new QComboBox(this)), m_summary(new QLabel(this)),
      m_tabs(new QTabWidget(this)), m_findings(new QTreeWidget), m_order(new QTreeWidget) {
    setWindowTitle(IDS_PLAYER_CHECK_CAPTION);
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    auto* label = new QLabel("&Player profile:", this);
    label->setBuddy(m_profiles);
    top->addWidget(label);
    for (const std::string& name : Player_ProfileNames())
        m_profiles->addItem(QString::fromStdString(name));
    top->addWidget(m_profiles, 1);
    auto* file = new QPushButton("Profile &File...", this);
    top->addWidget(file);
    layout->addLayout(top);
    m_summary->setWordWrap(true);
    layout->addWidget(m_summary);

    m_findings->setRootIsDecorated(false);
    m_findings->setHeaderLabels({"Severity", "Folder", "Track", "Finding", "Path", "Rule"});
    m_findings->setSortingEnabled(true);
    m_findings->sortByColumn(kSeverity, Qt::AscendingOrder);
    m_order->setRootIsDecorated(false);
    m_order->setHeaderLabels({"Folder", "Track", "Path"});
    m_tabs->addTab(m_findings, "&Findings");
    m_tabs->addTab(m_order, "Playback &Order");
    layout->addWidget(m_tabs, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    layout->addWidget(buttons);
    resize(900, 520);

    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(&m_poll, &QTimer::timeout, this, [this] { PollCheck(); });
    connect(m_profiles, &QComboBox::currentIndexChanged, this, [this] { Check(); });
    connect(file, &QPushButton::clicked, this, [this] {
        const QString path =
            QFileDialog::getOpenFileName(this, "Player Profile", {}, "Player profiles (*.ini)");
        if (!path.isEmpty())
            ChooseProfileFile(path);
    });
    // The path is the cell's text, or the data of a cell whose text says more.
    const auto select = [this](QTreeWidgetItem* item, int pathColumn) {
        const QVariant data = item ? item->data(pathColumn, Qt::UserRole) : QVariant();
        const QString path = data.isValid() ? data.toString() : item ? item->text(pathColumn) : QString();
        if (onSelect && m_model.Result().session > 0 && !path.isEmpty())
            onSelect(m_model.Result().session, path.toStdString());
    };
    connect(m_findings, &QTreeWidget::itemDoubleClicked, this,
            [select](QTreeWidgetItem* i) { select(i, kPath); });
    connect(m_order, &QTreeWidget::itemDoubleClicked, this, [select](QTreeWidgetItem* i) { select(i, 2); });
}

bool CPlayerCheckDlg::Check() {
    const std::string profile = m_profiles->currentText().toStdString();
    if (m_background) {
        if (!m_model.Start(profile)) {
            ShowFailed();
            return false;
        }
        m_summary->setText(QString::fromUtf8("Checking the disc against \u201c%1\u201d\u2026")
                               .arg(QString::fromStdString(profile)));
        m_poll.start(50);
        return true;
    }
    if (m_model.Run(profile)) {
        Fill();
        return true;
    }
    ShowFailed();
    return false;
}

void CPlayerCheckDlg::PollCheck() {
    if (!m_model.Ready())
        return;
    m_poll.stop();
    if (m_model.Finish())
        Fill();
    else
        ShowFailed();
}

void CPlayerCheckDlg::ShowFailed() {
    // The lists still hold the results of the profile checked before: the box and the summary name that one.
    if (!m_model.Source().empty()) {
        const QSignalBlocker quiet(m_profiles);
        m_profiles->setCurrentText(QString::fromStdString(m_model.Source()));
    }
    m_summary->setText(QString::fromStdString(m_model.SummaryText()));
}

void CPlayerCheckDlg::ChooseProfileFile(const QString& path) {
    const bool added = m_profiles->findText(path) < 0;
    if (added)
        m_profiles->addItem(path);
    if (m_profiles->currentText() == path)
        Check(); // the file shown, perhaps changed since
    else
        m_profiles->setCurrentText(path); // checks through currentIndexChanged
    if (added && m_profiles->currentText() != path)
        m_profiles->removeItem(m_profiles->findText(path));
}

void CPlayerCheckDlg::Fill() {
    const PlayerCheck& c = m_model.Result();
    // What the chosen profile holds, as a file of it would say.
    QString keys;
    for (const auto& [key, value] : Player_ProfileKeys(m_model.Profile()))
        keys += QString::fromStdString(key + " = " + value + "\n");
    m_profiles->setToolTip(keys.trimmed());
    m_summary->setText(QString::fromStdString(m_model.SummaryText()));
    m_findings->setSortingEnabled(false);
    m_findings->clear();
    const QStyle::StandardPixmap pictures[] = {QStyle::SP_MessageBoxCritical, QStyle::SP_MessageBoxWarning,
                                               QStyle::SP_MessageBoxInformation};
    for (const PlayerFinding& f : c.findings) {
        auto* item = new SortedItem(m_findings);
        item->setIcon(kSeverity, style()->standardIcon(pictures[int(f.severity)]));
        item->setText(kSeverity, Player_SeverityName(f.severity));
        item->setData(kSeverity, kSortRole, int(f.severity));
        item->setText(kRule, QString::fromStdString(f.rule));
        item->setText(kFolder, Number(f.folder));
        item->setData(kFolder, kSortRole, f.folder);
        item->setText(kTrack, Number(f.track));
        item->setData(kTrack, kSortRole, f.track);
        item->setText(kPath, QString::fromStdString(f.path));
        item->setToolTip(kPath, item->text(kPath));
        item->setText(kText, QString::fromStdString(f.text));
        item->setToolTip(kText, item->text(kText));
        item->setTextAlignment(kFolder, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(kTrack, Qt::AlignRight | Qt::AlignVCenter);
    }
    m_findings->setSortingEnabled(true);
    m_order->clear();
    for (const PlayerTrack& t : c.order) {
        auto* item = new QTreeWidgetItem(
            m_order, {QString::number(t.folder), QString::number(t.track),
                      QString::fromStdString(t.path) + (t.plays ? QString() : QString("  (will not play)"))});
        if (!t.plays) {
            item->setData(2, Qt::UserRole, QString::fromStdString(t.path));
            for (int col = 0; col < 3; ++col)
                item->setForeground(col, palette().brush(QPalette::Disabled, QPalette::Text));
        }
        item->setTextAlignment(0, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    }
    for (QTreeWidget* list : {m_findings, m_order})
        for (int col = 0; col < list->columnCount(); ++col)
            list->resizeColumnToContents(col);
    // Long texts give way to the columns beside them; the whole text is the cell's tool tip.
    m_findings->setColumnWidth(kText, std::min(m_findings->columnWidth(kText), 420));
    m_findings->setColumnWidth(kPath, std::min(m_findings->columnWidth(kPath), 320));
    m_tabs->setTabText(0, QString("&Findings (%1)").arg(c.findings.size()));
    m_tabs->setTabText(1, QString("Playback &Order (%1)").arg(c.order.size()));
}
