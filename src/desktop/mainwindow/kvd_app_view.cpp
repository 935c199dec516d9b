#include "desktop/mainwindow/kvd_app_view.h"

#include "iso9660/iso_model.h"

#include <QAction>
#include <QActionGroup>
#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <algorithm>

#include "appmodel/status_text.h"
#include "desktop/dialogs/save_to_disc_dlg.h"
#include "desktop/mediainfo/tag_information.h"
#include "desktop/navigation/nav_dlg.h"
#include "listing/lbn_size_style.h"
#include "platform/ui/ui_images.h"
#include "platform/ui/ui_text.h"
#include "res/app_strings.h"

FileListModel::FileListModel(CKVDAppViewModel& content, QObject* parent)
    : QAbstractTableModel(parent), m_content(content) {
    for (int i = 0; i < IMG_COUNT; ++i) {
        QIcon icon;
        icon.addPixmap(ckvd::ui::DrawImage(i, 16));
        icon.addPixmap(ckvd::ui::DrawImage(i, 32));
        m_images.push_back(icon);
    }
}

void FileListModel::Reload() {
    beginResetModel();
    endResetModel();
}

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_content.RowCount();
}

int FileListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : LIST_COLUMNS;
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    switch (role) {
    case Qt::DisplayRole: {
        QString text = QString::fromStdString(m_content.Text(index.row(), index.column()));
        // Right-aligned numbers need no padding of their own: it would only take room.
        return index.column() == 1 || index.column() == 2 ? text.trimmed() : text;
    }
    case Qt::SizeHintRole:
        return m_itemSize.isValid() ? QVariant(m_itemSize) : QVariant();
    case Qt::DecorationRole:
        if (index.column() == 0)
            return m_images[static_cast<size_t>(m_content.Image(index.row()))];
        return {};
    case Qt::ToolTipRole: {
        const std::string tip = m_content.ToolTip(index.row());
        return tip.empty() ? QVariant() : QVariant(QString::fromStdString(tip));
    }
    case Qt::TextAlignmentRole:
        if (m_centred)
            return QVariant::fromValue(Qt::AlignHCenter | Qt::AlignTop);
        return QVariant::fromValue(
            Qt::AlignVCenter | (kListColumns[index.column()].rightAligned ? Qt::AlignRight : Qt::AlignLeft));
    default:
        return {};
    }
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= LIST_COLUMNS)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return QString(kListColumns[section].heading);
    case Qt::DecorationRole:
        return section == 0 ? QVariant(m_images[IMG_CDDRIVE]) : QVariant();
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::AlignVCenter |
                                   (kListColumns[section].rightAligned ? Qt::AlignRight : Qt::AlignLeft));
    default:
        return {};
    }
}

CKVDAppView::CKVDAppView(CKVDAppViewModel& content, QWidget* parent)
    : QStackedWidget(parent), m_content(content), m_model(new FileListModel(content, this)),
      m_report(new QTreeView(this)), m_icons(new QListView(this)) {
    m_report->setModel(m_model);
    m_report->setRootIsDecorated(false);
    m_report->setUniformRowHeights(true); // a 10,000-row directory lays out without measuring every row
    m_report->setItemsExpandable(false);
    m_report->setSelectionMode(QAbstractItemView::ExtendedSelection); // Save to Disc takes several rows
    m_report->setIconSize(QSize(16, 16));
    m_report->setAllColumnsShowFocus(true);
    m_report->setTextElideMode(Qt::ElideMiddle); // a name column the user narrows keeps both ends
    m_report->header()->setStretchLastSection(false);
    m_report->header()->setSectionResizeMode(QHeaderView::Interactive);
    connect(m_report->header(), &QHeaderView::sectionResized, this, [this] {
        if (!m_fitting)
            m_userSized = true;
    });
    // A click on a heading sorts by that column, a second one the other way, a third gives the disc's order.
    m_report->header()->setSectionsClickable(true);
    connect(m_report->header(), &QHeaderView::sectionClicked, this,
            [this](int column) { SetSort(List_NextSort(m_content.Sort(), column)); });
    m_report->viewport()->installEventFilter(this);
    m_icons->viewport()->installEventFilter(this);
    m_icons->setModel(m_model);
    m_icons->setTextElideMode(Qt::ElideMiddle);
    m_icons->setSelectionModel(m_report->selectionModel());
    m_icons->setUniformItemSizes(true);
    m_icons->setSelectionMode(QAbstractItemView::ExtendedSelection);
    addWidget(m_report);
    addWidget(m_icons);
    for (QAbstractItemView* v :
         {static_cast<QAbstractItemView*>(m_report), static_cast<QAbstractItemView*>(m_icons)}) {
        v->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(v, &QWidget::customContextMenuRequested, this,
                [this, v](const QPoint& pos) { OnContextMenu(v->viewport()->mapToGlobal(pos)); });
        connect(v, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
            if (index.isValid())
                OnDoubleClick(index.row());
        });
        v->installEventFilter(this); // the keys of a double-click and of the context menu
    }
    connect(m_report->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current, const QModelIndex& previous) {
                if (current.isValid())
                    m_content.OnItemChanged(current.row(), 1);
                else
                    m_content.OnItemChanged(previous.row(), 0);
            });
    setCurrentWidget(m_report);
}

void CKVDAppView::OnInitialUpdate() {
    m_measured = false;
    if (!m_userSized) // widths the user set in an earlier run stay
        FitColumns();
}

void CKVDAppView::Reload() {
    m_model->Reload();
    // Widths the user gave the columns stay for every folder shown after.
    m_measured = false;
    if (!m_userSized)
        FitColumns();
}

std::vector<int> CKVDAppView::UserColumnWidths() const {
    std::vector<int> widths;
    if (m_userSized)
        for (int c = 0; c < LIST_COLUMNS; ++c)
            widths.push_back(m_report->columnWidth(c));
    return widths;
}

void CKVDAppView::SetUserColumnWidths(const std::vector<int>& widths) {
    if (widths.size() != LIST_COLUMNS)
        return;
    m_fitting = true;
    for (int c = 0; c < LIST_COLUMNS; ++c)
        m_report->setColumnWidth(c, std::max(widths[static_cast<size_t>(c)], 16));
    m_fitting = false;
    m_userSized = true;
}

bool CKVDAppView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize && !m_userSized &&
        (watched == m_report->viewport() || watched == m_icons->viewport()))
        FitColumns();
    if (event->type() == QEvent::KeyPress && (watched == m_report || watched == m_icons))
        return OnKey(static_cast<QAbstractItemView*>(watched), *static_cast<QKeyEvent*>(event));
    return QStackedWidget::eventFilter(watched, event);
}

bool CKVDAppView::OnKey(QAbstractItemView* view, const QKeyEvent& key) {
    const QModelIndex current = view->currentIndex();
    // Backspace and Alt+Up go up to the folder above, as in a file manager.
    if ((key.key() == Qt::Key_Backspace && key.modifiers() == Qt::NoModifier) ||
        (key.key() == Qt::Key_Up && key.modifiers() == Qt::AltModifier)) {
        if (m_openParent)
            m_openParent();
        return true;
    }
    // Enter does what a double-click does.
    if ((key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) && key.modifiers() == Qt::NoModifier) {
        if (current.isValid())
            OnDoubleClick(current.row());
        return true;
    }
    // Shift+F10 and the Menu key open the context menu at the current row.
    if (key.key() == Qt::Key_Menu || (key.key() == Qt::Key_F10 && key.modifiers() == Qt::ShiftModifier)) {
        const QRect row = current.isValid() ? view->visualRect(current) : QRect();
        const QPoint at = row.isValid() ? row.center() : view->viewport()->rect().center();
        OnContextMenu(view->viewport()->mapToGlobal(at));
        return true;
    }
    return false;
}

std::vector<int> CKVDAppView::LongestRows(int column) const {
    // Measuring every row of a 10,000-entry directory would cost more than showing it: only the rows with
    // the longest texts (blanks of the padding aside) can be the widest, and a few dozen of them are
    // measured.
    constexpr size_t kMeasured = 48;
    std::vector<std::pair<size_t, int>> lengths;
    lengths.reserve(static_cast<size_t>(m_content.RowCount()));
    for (int r = 0; r < m_content.RowCount(); ++r) {
        const std::string text = m_content.Text(r, column);
        lengths.emplace_back(text.size() - std::min(text.size(), text.find_first_not_of(' ')), r);
    }
    const size_t measured = std::min(kMeasured, lengths.size());
    std::partial_sort(lengths.begin(), lengths.begin() + static_cast<std::ptrdiff_t>(measured), lengths.end(),
                      [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<int> rows;
    for (size_t i = 0; i < measured; ++i)
        rows.push_back(lengths[i].second);
    return rows;
}

void CKVDAppView::MeasureColumns() {
    for (int c = 0; c < LIST_COLUMNS; ++c) {
        int width = c == 0 ? 0 : m_report->header()->sectionSizeHint(c);
        for (int row : LongestRows(c))
            width = std::max(width, m_report->sizeHintForIndex(m_model->index(row, c)).width());
        m_needed[static_cast<size_t>(c)] = width;
    }
    m_nameText = 0;
    for (int row : LongestRows(0))
        m_nameText = std::max(
            m_nameText, m_icons->fontMetrics().horizontalAdvance(m_model->index(row, 0).data().toString()));
    m_measured = true;
}

void CKVDAppView::FitColumns() {
    if (m_fitting)
        return;
    m_fitting = true;
    if (!m_measured)
        MeasureColumns();
    if (m_style == Style::Report) {
        const auto widths = List_FitColumns(m_report->viewport()->width(), m_needed);
        for (int c = 0; c < LIST_COLUMNS; ++c)
            m_report->setColumnWidth(c, widths[static_cast<size_t>(c)]);
    } else {
        FitIconGrid();
    }
    m_fitting = false;
}

void CKVDAppView::FitIconGrid() {
    const bool large = m_style == Style::LargeIcon;
    const int icon = large ? 32 : 16;
    const QFontMetrics fm = m_icons->fontMetrics();
    const int viewWidth = std::max(m_icons->viewport()->width(), 120);
    // Large icons: a fixed cell, the name wrapped under the icon. Small icons and list: the widest name, the
    // icon and the margins, up to half the view (small icons) or all of it (list).
    const QSize cell =
        large ? QSize(std::max(104, fm.averageCharWidth() * 14), icon + fm.lineSpacing() * 3 + 14)
              : QSize(std::min(icon + m_nameText + 16, viewWidth / (m_style == Style::List ? 1 : 2)),
                      std::max(icon, fm.height()) + 6);
    m_model->SetItemSize(cell, large);
    m_icons->setGridSize(cell);
    m_icons->doItemsLayout();
}

void CKVDAppView::SetStyle(Style style) {
    m_style = style;
    m_userSized = false;
    m_model->SetItemSize({});
    m_measured = false; // measured without the icon views' cell size
    if (style == Style::Report) {
        setCurrentWidget(m_report);
        FitColumns();
        return;
    }
    m_icons->setViewMode(style == Style::LargeIcon ? QListView::IconMode : QListView::ListMode);
    m_icons->setIconSize(style == Style::LargeIcon ? QSize(32, 32) : QSize(16, 16));
    m_icons->setFlow(style == Style::List ? QListView::TopToBottom : QListView::LeftToRight);
    m_icons->setWrapping(true);
    m_icons->setResizeMode(QListView::Adjust);
    m_icons->setWordWrap(style == Style::LargeIcon);
    m_icons->setMovement(style == Style::List ? QListView::Static : QListView::Snap);
    setCurrentWidget(m_icons);
    FitColumns();
}

std::vector<int> CKVDAppView::SelectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : m_report->selectionModel()->selectedRows())
        rows.push_back(index.row());
    if (rows.empty() && m_content.CurrentItem() >= 0)
        rows.push_back(m_content.CurrentItem());
    return rows;
}

void CKVDAppView::OnSaveToDisc() {
    const std::vector<int> rows = SelectedRows();
    if (!m_sink || rows.empty() || !DiscBytes())
        return;
    // One file: the save-file dialog; several rows or a directory: a folder for all of them. The copies find
    // a row's entry (a later extent's file) along the disc's order, whatever the list's order.
    const FileEntry* entry = rows.size() == 1 ? m_content.Entry(rows[0]) : nullptr;
    if (entry && entry->type == 'F') {
        CSaveToDiscDlg dlg(*m_sink, m_content.Entries() ? m_content.Entries() : entry,
                           m_content.Entries() ? m_content.DiscRow(rows[0]) : 0);
        dlg.exec();
        if (m_saved)
            m_saved(Status_SavedFile(dlg.Model().Path(), dlg.Outcome()));
        return;
    }
    std::vector<int> discRows;
    for (int row : rows)
        discRows.push_back(m_content.DiscRow(row));
    std::vector<const FileEntry*> entries = SaveToDisc_RowEntries(m_content.Entries(), discRows);
    if (entries.empty())
        return;
    CSaveTreeDlg dlg(*m_sink, std::move(entries), this);
    dlg.exec();
    if (m_saved)
        m_saved(Status_SavedFiles(dlg.Model().Folder(), dlg.Model().Done(), dlg.Model().Total().files,
                                  dlg.Result()));
}

void CKVDAppView::OnTagInformation() {
    FileEntry* entry = const_cast<FileEntry*>(m_content.Entry(m_content.CurrentItem()));
    if (!m_sink || !entry || !DiscBytes())
        return;
    if (std::unique_ptr<QDialog> dlg = App_TagInfoDialog(entry, *m_sink, this))
        dlg->exec();
}

void CKVDAppView::OpenNavigationViewer(FileEntry* entry) {
    if (!m_sink || !entry || entry->type != 'F' || !DiscBytes())
        return;
    if (std::unique_ptr<CNavViewerDlg> dlg = App_NavigationViewer(entry, *m_sink, this))
        dlg->exec();
}

void CKVDAppView::OnDoubleClick(int row) {
    const FileEntry* entry = m_content.Entry(row);
    if (!entry)
        return;
    if (entry->type == 'F' && Nav_IsNavigationFile(*entry)) {
        OpenNavigationViewer(const_cast<FileEntry*>(entry));
    } else if (entry->type == 'F') {
        OnTagInformation();
    } else if (entry->type == 'D' && m_openDirectory) {
        m_openDirectory(entry);
    }
}

void CKVDAppView::SetSort(const ListSort& sort) {
    // The row the user stood on stays current in its new place.
    const FileEntry* current = m_content.Entry(m_content.CurrentItem());
    m_content.SetSort(sort);
    ShowSortIndicator();
    Reload();
    for (int row = 0; current && row < m_content.RowCount(); ++row)
        if (m_content.Entry(row) == current) {
            SelectRow(row);
            break;
        }
}

void CKVDAppView::ShowSortIndicator() {
    const ListSort& sort = m_content.Sort();
    m_report->header()->setSortIndicatorShown(sort.column >= 0);
    if (sort.column >= 0)
        m_report->header()->setSortIndicator(sort.column,
                                             sort.descending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void CKVDAppView::SelectRow(int row) {
    const QModelIndex index = m_model->index(row, 0);
    m_report->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                           QItemSelectionModel::Rows);
    m_report->scrollTo(index);
    m_icons->scrollTo(index);
}

void CKVDAppView::Arrange() {
    if (m_style == Style::LargeIcon || m_style == Style::SmallIcon)
        m_icons->doItemsLayout();
}

namespace {

// The number base an LBN/Size command shows.
uint16_t BaseOf(int command) {
    return command == ID_LBNSIZE_BASE16 ? LBNSIZE_BASE16
           : command == ID_LBNSIZE_MSF  ? LBNSIZE_MSF
                                        : LBNSIZE_BASE10;
}

} // namespace

bool CKVDAppView::IsCurrentBase(int command) {
    return g_LbnSizeStyle == BaseOf(command);
}

void CKVDAppView::OnContextMenu(const QPoint& globalPos) {
    int menuId = m_content.ContextMenu();
    // Save to Disc takes directory rows and several rows too; Tag Information only one file.
    const bool oneFile = menuId == IDR_MENU_FILE && SelectedRows().size() == 1;
    if (menuId == 0 && m_content.CurrentItem() >= 0)
        menuId = IDR_MENU_FILE;
    if (menuId == 0)
        return;
    QMenu menu(this);
    auto add = [&](const MenuItemDef& def) {
        QAction* a = menu.addAction(def.text);
        a->setEnabled(CKVDAppViewModel::CommandEnabled(def.command) &&
                      (oneFile || def.command != ID_TAG_INFORMATION));
        if (const char* prompt = App_CommandPrompt(def.command))
            a->setStatusTip(QString(prompt).section('\n', 0, 0));
        int command = def.command;
        connect(a, &QAction::triggered, this, [this, command] { OnCommand(command); });
    };
    // The number base is there on empty space and on rows alike, the current one checked.
    const auto addBases = [&] {
        auto* group = new QActionGroup(&menu);
        for (const MenuItemDef& def : kLbnSizeMenu) {
            add(def);
            QAction* a = menu.actions().back();
            a->setCheckable(true);
            a->setChecked(IsCurrentBase(def.command));
            group->addAction(a);
        }
    };
    if (menuId == IDR_MENU_LBNSIZE) {
        window()->raise();
        addBases();
    } else {
        for (const MenuItemDef& def : kFileContextMenu)
            add(def);
        const FileEntry* entry = m_content.Entry(m_content.CurrentItem());
        if (oneFile && entry && Nav_IsNavigationFile(*entry)) {
            menu.addSeparator();
            add(kNavigationViewerItem);
        }
        menu.addSeparator();
        addBases();
    }
    menu.exec(globalPos);
}

void CKVDAppView::OnCommand(int command) {
    switch (command) {
    case ID_LBNSIZE_BASE10:
    case ID_LBNSIZE_BASE16:
    case ID_LBNSIZE_MSF:
        m_content.SetStyle(BaseOf(command));
        break;
    case ID_SAVE_TO_DISC:
        OnSaveToDisc();
        return;
    case ID_TAG_INFORMATION:
        OnTagInformation();
        return;
    case ID_NAVIGATION_VIEWER:
        OpenNavigationViewer(const_cast<FileEntry*>(m_content.Entry(m_content.CurrentItem())));
        return;
    default:
        return;
    }
    // The content refilled its rows (no current row any more): show them again, widths fitted anew.
    Reload();
}
