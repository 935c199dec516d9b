#include "desktop/dialogs/make_disc_dlg.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>
#include <algorithm>

#include "playercheck/player_profile.h"

namespace {

enum OrderColumn { kFolder, kTrack, kPath, kChanges, kFrom };

QString Text(const std::string& s) {
    return QString::fromStdString(s);
}

// The changes beyond the number before the name, which the summary says once for all.
QString Joined(const std::vector<std::string>& changes) {
    QStringList words;
    for (const std::string& c : changes)
        if (c.rfind("numbered ", 0) != 0)
            words << Text(c);
    return words.join("; ");
}

} // namespace

CMakeDiscDlg::CMakeDiscDlg(ckvd::ui::MessageSink& sink, QWidget* parent)
    : QDialog(parent), m_model(sink), m_folder(new QLineEdit(this)), m_profiles(new QComboBox(this)),
      m_summary(new QLabel(this)), m_tabs(new QTabWidget(this)), m_order(new QTreeWidget),
      m_left(new QTreeWidget), m_progress(new QProgressBar(this)), m_plan(new QPushButton("&Plan", this)),
      m_make(new QPushButton("&Make Image...", this)) {
    setWindowTitle(IDS_MAKE_DISC_CAPTION);
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    auto* folderRow = new QHBoxLayout;
    auto* folderLabel = new QLabel("Music &folder:", this);
    folderLabel->setBuddy(m_folder);
    auto* browse = new QPushButton("&Browse...", this);
    folderRow->addWidget(folderLabel);
    folderRow->addWidget(m_folder, 1);
    folderRow->addWidget(browse);
    layout->addLayout(folderRow);
    auto* profileRow = new QHBoxLayout;
    auto* profileLabel = new QLabel("Player p&rofile:", this);
    profileLabel->setBuddy(m_profiles);
    for (const std::string& name : Player_ProfileNames())
        m_profiles->addItem(Text(name));
    profileRow->addWidget(profileLabel);
    profileRow->addWidget(m_profiles, 1);
    profileRow->addWidget(m_plan);
    layout->addLayout(profileRow);
    m_summary->setWordWrap(true);
    m_summary->setText("Choose the folder of the music and the player it is for.");
    layout->addWidget(m_summary);
    m_order->setRootIsDecorated(false);
    m_order->setHeaderLabels({"Folder", "Track", "Path on the disc", "Changes", "From"});
    m_left->setRootIsDecorated(false);
    m_left->setHeaderLabels({"File", "Why", "Rule"});
    m_tabs->addTab(m_order, "Playback &Order");
    m_tabs->addTab(m_left, "&Left Out");
    layout->addWidget(m_tabs, 1);
    m_progress->setVisible(false);
    layout->addWidget(m_progress);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->addButton(m_make, QDialogButtonBox::ActionRole);
    m_make->setEnabled(false);
    layout->addWidget(buttons);
    resize(1000, 600);

    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(&m_poll, &QTimer::timeout, this, [this] { Poll(); });
    connect(m_plan, &QPushButton::clicked, this, [this] { PlanNow(); });
    connect(m_folder, &QLineEdit::returnPressed, this, [this] { PlanNow(); });
    connect(m_profiles, &QComboBox::currentIndexChanged, this, [this] {
        if (!m_folder->text().isEmpty())
            PlanNow();
    });
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString dir = QFileDialog::getExistingDirectory(this, "Music Folder", m_folder->text());
        if (!dir.isEmpty()) {
            m_folder->setText(dir);
            PlanNow();
        }
    });
    connect(m_make, &QPushButton::clicked, this, [this] {
        const QString suggested = Text(m_model.Plan().volume) + ".iso";
        const QString image =
            QFileDialog::getSaveFileName(this, "Disc Image", suggested, "Disc images (*.iso)");
        if (!image.isEmpty())
            MakeNow(image);
    });
}

bool CMakeDiscDlg::PlanNow() {
    const QString folder = m_folder->text().trimmed();
    if (folder.isEmpty())
        return false;
    const auto where = m_background ? BackgroundJob::Where::OwnThread : BackgroundJob::Where::Here;
    if (!m_model.StartPlan(folder.toStdString(), m_profiles->currentText().toStdString(), where))
        return false;
    m_summary->setText(QString::fromUtf8("Reading \u201c%1\u201d\u2026").arg(folder));
    ShowBusy(true);
    if (!m_background) {
        Done();
        return m_model.Planned();
    }
    m_poll.start(50);
    return true;
}

bool CMakeDiscDlg::MakeNow(const QString& image) {
    const auto where = m_background ? BackgroundJob::Where::OwnThread : BackgroundJob::Where::Here;
    if (!m_model.StartMake(image.toStdString(), where))
        return false;
    ShowBusy(true);
    m_progress->setVisible(true);
    m_progress->setValue(0);
    m_summary->setText(QString::fromUtf8("Writing \u201c%1\u201d\u2026").arg(image));
    if (!m_background) {
        Done();
        return !m_model.Made().empty();
    }
    m_poll.start(50);
    return true;
}

void CMakeDiscDlg::Poll() {
    if (m_model.Making()) {
        const BackgroundJob::Progress p = m_model.Now();
        m_progress->setMaximum(p.total ? 1000 : 0);
        m_progress->setValue(p.total ? int(p.done * 1000 / p.total) : 0);
    }
    if (m_model.Ready()) {
        m_poll.stop();
        Done();
    }
}

void CMakeDiscDlg::Done() {
    const bool making = m_model.Making();
    const bool ok = m_model.Finish();
    ShowBusy(false);
    m_progress->setVisible(false);
    if (!ok) {
        m_summary->setText(Text(m_model.SummaryText()));
        return;
    }
    if (!making) {
        FillPlan();
        return;
    }
    QString text =
        Text(m_model.SummaryText()) + QString::fromUtf8("\nWrote \u201c%1\u201d.").arg(Text(m_model.Made()));
    for (const std::string& w : m_model.Warnings())
        text += "\n" + Text(w);
    m_summary->setText(text);
    if (onMade)
        onMade(m_model.Made(), m_profiles->currentText().toStdString());
}

void CMakeDiscDlg::ShowBusy(bool busy) {
    m_plan->setEnabled(!busy);
    m_make->setEnabled(!busy && m_model.Planned());
}

void CMakeDiscDlg::FillPlan() {
    const MakePlan& plan = m_model.Plan();
    m_summary->setText(Text(m_model.SummaryText()));
    m_order->clear();
    for (const MakeFolder& f : plan.folders)
        for (const MakeFile& x : f.files) {
            // A folder's own changes (split, moved up, renamed) are said on its first track's row.
            QString changes = Joined(x.changes);
            const QString folder = &x == &f.files.front() ? Joined(f.changes) : QString();
            if (!folder.isEmpty())
                changes = "folder: " + folder + (changes.isEmpty() ? "" : "; " + changes);
            auto* item = new QTreeWidgetItem(m_order, {QString::number(x.folder), QString::number(x.track),
                                                       Text(f.path + "/" + x.name), changes, Text(x.source)});
            item->setTextAlignment(kFolder, Qt::AlignRight | Qt::AlignVCenter);
            item->setTextAlignment(kTrack, Qt::AlignRight | Qt::AlignVCenter);
            for (int c : {kPath, kChanges, kFrom})
                item->setToolTip(c, item->text(c));
        }
    m_left->clear();
    for (const MakeLeftOut& l : plan.leftOut) {
        auto* item = new QTreeWidgetItem(m_left, {Text(l.source), Text(l.why), Text(l.rule)});
        item->setToolTip(0, item->text(0));
        item->setToolTip(1, item->text(1));
    }
    for (QTreeWidget* list : {m_order, m_left})
        for (int c = 0; c < list->columnCount(); ++c)
            list->resizeColumnToContents(c);
    // Long texts give way to the columns beside them; the whole text is the cell's tool tip.
    m_order->setColumnWidth(kPath, std::min(m_order->columnWidth(kPath), 420));
    m_order->setColumnWidth(kChanges, std::min(m_order->columnWidth(kChanges), 300));
    m_left->setColumnWidth(0, std::min(m_left->columnWidth(0), 480));
    m_tabs->setTabText(0, QString("Playback &Order (%1)").arg(plan.Tracks()));
    m_tabs->setTabText(1, QString("&Left Out (%1)").arg(plan.leftOut.size()));
    m_make->setEnabled(true);
}
