#include "app/kvd_app_view.h"

#include <QAction>
#include <QHeaderView>
#include <QMenu>

#include "platform/ui/ui_images.h"
#include "platform/ui/ui_text.h"
#include "report/lbn_size_style.h"
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
    case Qt::DisplayRole:
        return ckvd::ui::SjisToQString(m_content.Text(index.row(), index.column()));
    case Qt::DecorationRole:
        if (index.column() == 0)
            return m_images[static_cast<size_t>(m_content.Image(index.row()))];
        return {};
    case Qt::TextAlignmentRole:
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
    m_report->setSelectionMode(QAbstractItemView::SingleSelection);
    m_report->setIconSize(QSize(16, 16));
    m_report->setAllColumnsShowFocus(true);
    m_icons->setModel(m_model);
    m_icons->setSelectionModel(m_report->selectionModel());
    m_icons->setUniformItemSizes(true);
    m_icons->setSelectionMode(QAbstractItemView::SingleSelection);
    addWidget(m_report);
    addWidget(m_icons);
    for (QAbstractItemView* v :
         {static_cast<QAbstractItemView*>(m_report), static_cast<QAbstractItemView*>(m_icons)}) {
        v->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(v, &QWidget::customContextMenuRequested, this,
                [this, v](const QPoint& pos) { OnContextMenu(v->viewport()->mapToGlobal(pos)); });
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
    int w = width();
    for (int c = 0; c < LIST_COLUMNS; ++c)
        m_report->setColumnWidth(c, w / kListColumns[c].widthDivisor);
}

void CKVDAppView::Reload() {
    m_model->Reload();
}

void CKVDAppView::SetStyle(Style style) {
    m_style = style;
    if (style == Style::Report) {
        setCurrentWidget(m_report);
        return;
    }
    m_icons->setViewMode(style == Style::LargeIcon ? QListView::IconMode : QListView::ListMode);
    m_icons->setIconSize(style == Style::LargeIcon ? QSize(32, 32) : QSize(16, 16));
    m_icons->setFlow(style == Style::List ? QListView::TopToBottom : QListView::LeftToRight);
    m_icons->setWrapping(true);
    m_icons->setResizeMode(QListView::Adjust);
    m_icons->setGridSize(style == Style::LargeIcon ? QSize(96, 64) : QSize());
    m_icons->setMovement(style == Style::List ? QListView::Static : QListView::Snap);
    setCurrentWidget(m_icons);
}

void CKVDAppView::Arrange() {
    if (m_style == Style::LargeIcon || m_style == Style::SmallIcon)
        m_icons->doItemsLayout();
}

void CKVDAppView::OnContextMenu(const QPoint& globalPos) {
    int menuId = m_content.ContextMenu();
    if (menuId == 0)
        return;
    QMenu menu(this);
    auto add = [&](const MenuItemDef& def) {
        QAction* a = menu.addAction(def.text);
        a->setEnabled(CKVDAppViewModel::CommandEnabled(def.command));
        if (const char* prompt = App_CommandPrompt(def.command))
            a->setStatusTip(QString(prompt).section('\n', 0, 0));
        int command = def.command;
        connect(a, &QAction::triggered, this, [this, command] { OnCommand(command); });
    };
    if (menuId == IDR_MENU_LBNSIZE) {
        window()->raise();
        for (const MenuItemDef& def : kLbnSizeMenu)
            add(def);
    } else {
        for (const MenuItemDef& def : kFileContextMenu)
            add(def);
    }
    menu.exec(globalPos);
}

void CKVDAppView::OnCommand(int command) {
    switch (command) {
    case ID_LBNSIZE_BASE10:
        m_content.SetStyle(LBNSIZE_BASE10);
        break;
    case ID_LBNSIZE_BASE16:
        m_content.SetStyle(LBNSIZE_BASE16);
        break;
    case ID_LBNSIZE_MSF:
        m_content.SetStyle(LBNSIZE_MSF);
        break;
    default:
        return;
    }
    // The content refilled its rows (no current row any more): show them again.
    Reload();
}
