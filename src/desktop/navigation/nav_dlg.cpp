#include "desktop/navigation/nav_dlg.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>

#include "iso9660/iso9660.h"
#include "platform/ui/ui_text.h"

namespace {

std::vector<InfoField> AsInfo(const std::vector<NavField>& fields) {
    std::vector<InfoField> info;
    for (const NavField& f : fields)
        info.push_back({f.label, f.value, {}, {}});
    return info;
}

QTreeWidget* MakeTree(QWidget* parent) {
    auto* tree = new QTreeWidget(parent);
    tree->setHeaderHidden(true);
    tree->setRootIsDecorated(true); // buttons and lines, lines at the root
    tree->setSelectionMode(QAbstractItemView::SingleSelection);
    // Items as wide as their texts: the tree scrolls sideways rather than cut a group's line.
    tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tree->header()->setStretchLastSection(false);
    return tree;
}

// A form of many fields in a frame that scrolls when the screen is too low to show it whole.
QScrollArea* Scrolled(InfoForm* form, QWidget* parent) {
    auto* area = new QScrollArea(parent);
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setWidget(form);
    const QSize whole = form->sizeHint();
    area->setMinimumWidth(whole.width() + area->verticalScrollBar()->sizeHint().width());
    area->setMinimumHeight(std::min(whole.height(), form->fontMetrics().height() * 16));
    return area;
}

} // namespace

CNavViewerDlg::CNavViewerDlg(FileEntry* entry, NavViewerKind kind, QSize dialogUnits, QWidget* parent)
    : QDialog(parent), m_entry(entry), m_kind(kind) {
    setWindowTitle(Nav_ViewerTitle(kind));
    setModal(true);
    setSizeGripEnabled(true);
    // The dialog's size in dialog units (a quarter of the average character wide, an eighth of a line
    // high), kept on the screen.
    const QFontMetrics fm = fontMetrics();
    m_initialSize =
        QSize(dialogUnits.width() * fm.averageCharWidth() / 4, dialogUnits.height() * fm.height() / 8);
}

void CNavViewerDlg::FitToScreen() {
    QSize size = m_initialSize.expandedTo(sizeHint());
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
    resize(size.expandedTo(minimumSizeHint()));
}

InfoForm* CNavViewerDlg::AddForm(const std::vector<NavField>& fields) {
    auto* form = new InfoForm(this);
    form->SetRowSpacing(2);
    for (const InfoField& f : AsInfo(fields))
        form->AddRow(f);
    m_forms.push_back(form);
    return form;
}

void CNavViewerDlg::SetValues(InfoForm* form, const std::vector<NavField>& fields) {
    form->SetValues(AsInfo(fields));
}

QLineEdit* CNavViewerDlg::Field(const QString& label) const {
    for (InfoForm* form : m_forms)
        if (QLineEdit* edit = form->Field(label))
            return edit;
    return nullptr;
}

NavListView* CNavViewerDlg::AddList(QBoxLayout* layout, const NavList& shape, int visibleRows) {
    auto* list = new NavListView(shape, visibleRows, this);
    auto* label = new QLabel(QString::fromStdString(shape.title), this);
    label->setBuddy(list);
    layout->addWidget(label);
    layout->addWidget(list, visibleRows);
    return list;
}

void CNavViewerDlg::OnInitDialog(ckvd::ui::MessageSink& sink) {
    m_file = std::make_unique<NavFileImage>(*m_entry);
    if (m_file->Ok()) {
        Fill(m_file->Image());
    } else {
        m_file.reset();
        sink.Show(Nav_ReadErrorMessage(m_kind, m_entry->name));
    }
    FitToScreen();
}

void CNavViewerDlg::done(int result) {
    // The image goes with the dialog, whichever way it ends; nothing may refill from it afterwards.
    for (QWidget* w : findChildren<QWidget*>())
        w->blockSignals(true);
    m_file.reset();
    QDialog::done(result);
}

// CONTENTS.LMX: the header and LCID lines at the left, the directory and playlist tables at the right, the
// file table chosen with the radio buttons across the bottom.
CContentsDlg::CContentsDlg(FileEntry* entry, QWidget* parent)
    : CNavViewerDlg(entry, NavViewerKind::Contents, {559, 447}, parent) {
    auto* top = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    m_header = AddForm(m_model.Header());
    left->addWidget(Scrolled(m_header, this), 1);
    m_lcid = new QListWidget(this);
    m_lcid->setObjectName("LCID entries");
    m_lcid->setFixedHeight(fontMetrics().height() * 4);
    left->addWidget(m_lcid);
    top->addLayout(left);
    auto* right = new QVBoxLayout;
    m_directories = AddList(right, m_model.Directories(), 5);
    m_playlists = AddList(right, m_model.Playlists(), 3);
    top->addLayout(right, 1);

    auto* radios = new QHBoxLayout;
    radios->addWidget(new QLabel(ckvd::ui::ShownCaption(m_model.Files().title), this));
    m_radios = new QButtonGroup(this);
    using T = CContentsDlgModel::FileTable;
    for (T table : {T::Audio, T::MenuImage, T::Image, T::Video}) {
        auto* radio = new QRadioButton(CContentsDlgModel::TableName(table), this);
        m_radios->addButton(radio, int(table));
        radios->addWidget(radio);
    }
    radios->addStretch(1);
    connect(m_radios, &QButtonGroup::idClicked, this, [this](int id) { OnTable(T(id)); });

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(radios);
    // The file table keeps its rows; the header and the tables above take the rest of the height.
    m_files = new NavListView(m_model.Files(), 6, this);
    layout->addWidget(m_files, 0);
    AddOkButton(this, layout);
}

QAbstractButton* CContentsDlg::Radio(CContentsDlgModel::FileTable table) const {
    return m_radios->button(int(table));
}

void CContentsDlg::OnTable(CContentsDlgModel::FileTable table) {
    m_model.SelectTable(table);
    Radio(table)->setChecked(true);
    m_files->SetRows(m_model.Files());
}

void CContentsDlg::Fill(const NavImage& image) {
    m_model.Fill(image);
    SetValues(m_header, m_model.Header());
    m_lcid->clear();
    for (const std::string& line : m_model.LcidLines())
        m_lcid->addItem(QString::fromStdString(line));
    m_directories->SetRows(m_model.Directories());
    m_playlists->SetRows(m_model.Playlists());
    OnTable(m_model.Checked());
}

// MENU.LMX: the header at the left, the menu tree at the right, the three lists below.
CMenuDlg::CMenuDlg(FileEntry* entry, QWidget* parent)
    : CNavViewerDlg(entry, NavViewerKind::Menu, {407, 395}, parent) {
    auto* top = new QHBoxLayout;
    m_header = AddForm(m_model.Header());
    top->addWidget(m_header, 1);
    auto* right = new QVBoxLayout;
    right->addWidget(new QLabel("Menu Structure", this));
    m_tree = MakeTree(this);
    m_tree->setObjectName("Menu Structure");
    right->addWidget(m_tree);
    top->addLayout(right, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 2);
    m_menuHeaders = AddList(layout, m_model.MenuHeaders(), 3);
    m_menuItems = AddList(layout, m_model.MenuItems(), 3);
    m_playlistItems = AddList(layout, m_model.PlaylistItems(), 3);
    AddOkButton(this, layout);
}

void CMenuDlg::Fill(const NavImage& image) {
    m_model.Fill(image);
    SetValues(m_header, m_model.Header());
    if (QTreeWidgetItem* root = Nav_FillTree(m_tree, m_model.Tree()))
        m_tree->setCurrentItem(root);
    m_menuHeaders->SetRows(m_model.MenuHeaders());
    m_menuItems->SetRows(m_model.MenuItems());
    m_playlistItems->SetRows(m_model.PlaylistItems());
}

// TEXT.LMX: the header, then the three lists.
CTextDlg::CTextDlg(FileEntry* entry, QWidget* parent)
    : CNavViewerDlg(entry, NavViewerKind::Text, {443, 451}, parent) {
    auto* layout = new QVBoxLayout(this);
    m_header = AddForm(m_model.Header());
    layout->addWidget(Scrolled(m_header, this));
    m_contents = AddList(layout, m_model.ContentsText(), 5);
    m_groups = AddList(layout, m_model.GroupText(), 3);
    m_extra = AddList(layout, m_model.ExtraText(), 3);
    AddOkButton(this, layout);
}

void CTextDlg::Fill(const NavImage& image) {
    m_model.Fill(image);
    SetValues(m_header, m_model.Header());
    m_contents->SetRows(m_model.ContentsText());
    m_groups->SetRows(m_model.GroupText());
    m_extra->SetRows(m_model.ExtraText());
}

// Playlist files: the header with the group tree beside it; the selected group's counts, transitions and
// entries below; the file's name at the bottom.
CPlaylistDlg::CPlaylistDlg(FileEntry* entry, QWidget* parent)
    : CNavViewerDlg(entry, NavViewerKind::Playlist, {487, 255}, parent) {
    auto* top = new QHBoxLayout;
    m_header = AddForm(m_model.Header());
    top->addWidget(m_header);
    m_tree = MakeTree(this);
    m_tree->setObjectName("Groups");
    top->addWidget(m_tree, 1);

    const std::vector<NavField>& group = m_model.GroupFields();
    m_counts = AddForm({group[0], group[1], group[2]});
    m_transitions = AddForm({group[3], group[4]});
    auto* counts = new QHBoxLayout;
    counts->addWidget(m_counts);
    auto* transitions = new QVBoxLayout;
    transitions->addStretch(1); // on the level of the last count
    transitions->addWidget(m_transitions);
    counts->addLayout(transitions);
    counts->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(new QLabel("Playlist", this));
    layout->addLayout(counts);
    m_files = new NavListView(m_model.Files(), 4, this);
    layout->addWidget(m_files, 1);
    m_name = AddForm(Nav_Fields({"Playlist File Name"}));
    layout->addWidget(m_name);
    AddOkButton(this, layout);
    // Before the read, so a failed read still names the file.
    m_model.SetFileName(entry ? Iso_EntryName(entry) : "");
    SetValues(m_name, {{"Playlist File Name", m_model.FileName()}});
    connect(m_tree, &QTreeWidget::currentItemChanged, this, [this] { OnSelectionChanged(); });
}

void CPlaylistDlg::Fill(const NavImage& image) {
    m_model.Fill(image);
    SetValues(m_header, m_model.Header());
    m_tree->blockSignals(true);
    m_tree->setCurrentItem(Nav_FillTree(m_tree, m_model.Tree()));
    m_tree->blockSignals(false);
    ShowGroupPart();
}

void CPlaylistDlg::OnSelectionChanged() {
    const QTreeWidgetItem* item = m_tree->currentItem();
    m_model.Select(item ? item->data(0, Qt::UserRole).toInt() : -1);
    ShowGroupPart();
}

void CPlaylistDlg::ShowGroupPart() {
    const std::vector<NavField>& group = m_model.GroupFields();
    SetValues(m_counts, {group[0], group[1], group[2]});
    SetValues(m_transitions, {group[3], group[4]});
    m_files->SetRows(m_model.Files());
}

// LSN.LMX: the header and the list of entries.
CLsnDlg::CLsnDlg(FileEntry* entry, QWidget* parent)
    : CNavViewerDlg(entry, NavViewerKind::Lsn, {170, 175}, parent) {
    auto* layout = new QVBoxLayout(this);
    m_header = AddForm(m_model.Header());
    layout->addWidget(m_header);
    m_entries = AddList(layout, m_model.Entries(), 8);
    AddOkButton(this, layout);
}

void CLsnDlg::Fill(const NavImage& image) {
    m_model.Fill(image);
    SetValues(m_header, m_model.Header());
    m_entries->SetRows(m_model.Entries());
}

std::unique_ptr<CNavViewerDlg> App_NavigationViewer(FileEntry* entry, ckvd::ui::MessageSink& sink,
                                                    QWidget* parent) {
    if (!entry || entry->type != 'F')
        return nullptr;
    std::unique_ptr<CNavViewerDlg> dlg;
    switch (Nav_ViewerFor(entry->name)) {
    case NavViewerKind::Contents:
        dlg = std::make_unique<CContentsDlg>(entry, parent);
        break;
    case NavViewerKind::Menu:
        dlg = std::make_unique<CMenuDlg>(entry, parent);
        break;
    case NavViewerKind::Text:
        dlg = std::make_unique<CTextDlg>(entry, parent);
        break;
    case NavViewerKind::Lsn:
        dlg = std::make_unique<CLsnDlg>(entry, parent);
        break;
    case NavViewerKind::Playlist:
        dlg = std::make_unique<CPlaylistDlg>(entry, parent);
        break;
    }
    dlg->OnInitDialog(sink);
    return dlg;
}
