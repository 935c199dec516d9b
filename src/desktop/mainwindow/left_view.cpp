#include "desktop/mainwindow/left_view.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <algorithm>

#include "iso9660/iso_model.h"
#include "platform/ui/ui_images.h"
#include "platform/ui/ui_text.h"
#include "res/resource.h"

namespace {

QIcon PairIcon(int normal, int selected) {
    QIcon icon;
    icon.addPixmap(ckvd::ui::DrawImage(normal, 16), QIcon::Normal);
    icon.addPixmap(ckvd::ui::DrawImage(selected, 16), QIcon::Selected);
    return icon;
}

} // namespace

TreeItemModel::TreeItemModel(CLeftViewModel& content, QObject* parent)
    : QAbstractItemModel(parent), m_content(content), m_sessionIcon(PairIcon(IMG_CD, IMG_CD)),
      m_folderIcon(PairIcon(IMG_FOLDER_CLOSED, IMG_FOLDER_OPEN)),
      m_errorIcon(PairIcon(IMG_ERROR, IMG_ERROR)) {}

void TreeItemModel::Reload() {
    beginResetModel();
    const auto& items = m_content.Items();
    m_row.assign(items.size(), 0);
    m_text.clear();
    m_text.reserve(items.size());
    for (const TreeItem& item : items) {
        // Volume names are padded with blanks; drawn they are nothing, measured they would take room.
        QString text = QString::fromStdString(item.text);
        while (text.endsWith(' '))
            text.chop(1);
        m_text.push_back(std::move(text));
        for (size_t r = 0; r < item.children.size(); ++r)
            m_row[static_cast<size_t>(item.children[r])] = static_cast<int>(r);
    }
    const auto& top = m_content.TopLevel();
    for (size_t r = 0; r < top.size(); ++r)
        m_row[static_cast<size_t>(top[r])] = static_cast<int>(r);
    endResetModel();
}

int TreeItemModel::ItemOf(const QModelIndex& index) const {
    if (!index.isValid())
        return -1;
    return static_cast<int>(index.internalId());
}

QModelIndex TreeItemModel::IndexOf(int item) const {
    if (item < 0 || item >= static_cast<int>(m_row.size()))
        return {};
    return createIndex(m_row[static_cast<size_t>(item)], 0, static_cast<quintptr>(item));
}

QModelIndex TreeItemModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0)
        return {};
    const std::vector<int>* list = &m_content.TopLevel();
    if (parent.isValid())
        list = &m_content.Items()[static_cast<size_t>(ItemOf(parent))].children;
    if (row >= static_cast<int>(list->size()))
        return {};
    return createIndex(row, 0, static_cast<quintptr>((*list)[static_cast<size_t>(row)]));
}

QModelIndex TreeItemModel::parent(const QModelIndex& child) const {
    int item = ItemOf(child);
    if (item < 0)
        return {};
    return IndexOf(m_content.Items()[static_cast<size_t>(item)].parent);
}

int TreeItemModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid())
        return static_cast<int>(m_content.TopLevel().size());
    if (parent.column() != 0)
        return 0;
    return static_cast<int>(m_content.Items()[static_cast<size_t>(ItemOf(parent))].children.size());
}

QVariant TreeItemModel::data(const QModelIndex& index, int role) const {
    int item = ItemOf(index);
    if (item < 0 || item >= static_cast<int>(m_text.size()))
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return m_text[static_cast<size_t>(item)];
    case Qt::DecorationRole:
        switch (m_content.Items()[static_cast<size_t>(item)].image) {
        case IMG_CD:
            return m_sessionIcon;
        case IMG_ERROR:
            return m_errorIcon;
        default:
            return m_folderIcon;
        }
    case Qt::ToolTipRole:
        // Why a directory marked unreadable could not be read.
        if (const char* why = Iso_UnreadableReason(m_content.Items()[static_cast<size_t>(item)].entry))
            return QString("unreadable: %1").arg(QString::fromUtf8(why));
        return {};
    default:
        return {};
    }
}

CLeftView::CLeftView(CLeftViewModel& content, CKVDAppDocModel& doc, QWidget* parent)
    : QTreeView(parent), m_content(content), m_doc(doc), m_model(new TreeItemModel(content, this)) {
    setModel(m_model);
    setHeaderHidden(true);
    setRootIsDecorated(true); // buttons and lines at the root
    setUniformRowHeights(true);
    setIconSize(QSize(16, 16));
    setSelectionMode(QAbstractItemView::SingleSelection);
    header()->setStretchLastSection(true);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { OnSelChanged(); });
    connect(this, &QTreeView::expanded, this, [this] { FitNames(); });
    connect(this, &QTreeView::collapsed, this, [this] { FitNames(); });
}

void CLeftView::FitNames() {
    // No name is cut: the column is at least as wide as the widest item shown, and a narrower tree scrolls
    // sideways.
    if (!m_reloading)
        header()->setMinimumSectionSize(std::max(sizeHintForColumn(0), 20));
}

void CLeftView::Reload() {
    m_reloading = true;
    m_model->Reload();
    const auto& items = m_content.Items();
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].expanded)
            setExpanded(m_model->IndexOf(static_cast<int>(i)), true);
    QModelIndex sel = m_model->IndexOf(m_content.Selected());
    if (sel.isValid())
        selectionModel()->setCurrentIndex(sel, QItemSelectionModel::ClearAndSelect);
    m_reloading = false;
    FitNames();
}

bool CLeftView::SelectEntry(const FileEntry* directory) {
    const auto& items = m_content.Items();
    for (size_t item = 0; directory && item < items.size(); ++item) {
        if (items[item].entry != directory)
            continue;
        const QModelIndex index = m_model->IndexOf(static_cast<int>(item));
        scrollTo(index); // expands the parents
        setCurrentIndex(index);
        return true;
    }
    return false;
}

const FileEntry* CLeftView::SelectParent() {
    const int item = m_content.Selected();
    if (item < 0 || static_cast<size_t>(item) >= m_content.Items().size())
        return nullptr;
    const TreeItem& child = m_content.Items()[static_cast<size_t>(item)];
    if (child.parent < 0)
        return nullptr;
    setCurrentIndex(m_model->IndexOf(child.parent));
    return child.entry;
}

void CLeftView::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Backspace && event->modifiers() == Qt::NoModifier) ||
        (event->key() == Qt::Key_Up && event->modifiers() == Qt::AltModifier)) {
        SelectParent();
        return;
    }
    QTreeView::keyPressEvent(event);
}

void CLeftView::OnSelChanged() {
    if (m_reloading)
        return;
    QModelIndexList selected = selectionModel()->selectedIndexes();
    if (selected.isEmpty())
        return; // a change with no new item
    uint32_t hint = 0;
    if (m_content.Select(m_model->ItemOf(selected.front()), &hint))
        m_doc.UpdateAllViews(true, hint);
}
