#include "desktop/navigation/nav_widgets.h"

#include <QHeaderView>
#include <QResizeEvent>
#include <QScrollBar>
#include <algorithm>

void NavListModel::SetColumns(const std::vector<std::string>& columns) {
    beginResetModel();
    m_columns.clear();
    for (const std::string& c : columns)
        m_columns.push_back(QString::fromStdString(c));
    m_rows.clear();
    endResetModel();
}

void NavListModel::SetRows(const std::vector<std::vector<std::string>>& rows) {
    beginResetModel();
    m_rows.clear();
    m_rows.reserve(rows.size());
    for (const auto& row : rows) {
        std::vector<QString> cells;
        for (const std::string& cell : row)
            cells.push_back(QString::fromStdString(cell));
        m_rows.push_back(std::move(cells));
    }
    endResetModel();
}

int NavListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int NavListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_columns.size());
}

const QString& NavListModel::Cell(int row, int column) const {
    static const QString none;
    if (row < 0 || size_t(row) >= m_rows.size() || column < 0 || size_t(column) >= m_rows[size_t(row)].size())
        return none;
    return m_rows[size_t(row)][size_t(column)];
}

QVariant NavListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    return Cell(index.row(), index.column());
}

QVariant NavListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        size_t(section) >= m_columns.size())
        return {};
    return m_columns[size_t(section)];
}

NavListView::NavListView(const NavList& shape, int visibleRows, QWidget* parent)
    : QTreeView(parent), m_model(new NavListModel(this)), m_visibleRows(visibleRows) {
    setObjectName(QString::fromStdString(shape.title));
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(QHeaderView::Interactive);
    m_model->SetColumns(shape.columns);
    setModel(m_model);
    SetRows(shape);
}

void NavListView::SetRows(const NavList& list) {
    m_model->SetRows(list.rows);
    // Only the rows with the longest texts can be the widest: a few dozen are measured, however long the
    // list.
    constexpr size_t kMeasured = 48;
    const QFontMetrics fm = fontMetrics();
    const int pad = 3 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 12;
    m_needed.assign(size_t(m_model->columnCount()), 0);
    for (int c = 0; c < m_model->columnCount(); ++c) {
        std::vector<std::pair<int, int>> lengths; // text length, row
        for (int r = 0; r < m_model->rowCount(); ++r)
            lengths.emplace_back(int(m_model->Cell(r, c).size()), r);
        const size_t measured = std::min(kMeasured, lengths.size());
        std::partial_sort(lengths.begin(), lengths.begin() + std::ptrdiff_t(measured), lengths.end(),
                          [](const auto& a, const auto& b) { return a.first > b.first; });
        int width = header()->sectionSizeHint(c);
        for (size_t i = 0; i < measured; ++i)
            width = std::max(width, fm.horizontalAdvance(m_model->Cell(lengths[i].second, c)) + pad);
        m_needed[size_t(c)] = width;
    }
    Fit();
}

void NavListView::Fit() {
    const int columns = m_model->columnCount();
    if (columns == 0)
        return;
    // Every column starts at an equal share of the list's width and grows to show its values whole; the
    // list scrolls sideways rather than cut them.
    // The vertical scroll bar's room is kept whether it shows or not, so its coming never adds a sideways
    // one.
    const int room = width() - 2 * frameWidth() - verticalScrollBar()->sizeHint().width();
    const int share = std::max(0, room) / columns;
    for (int c = 0; c < columns; ++c)
        setColumnWidth(c, std::max(share, m_needed[size_t(c)]));
}

void NavListView::resizeEvent(QResizeEvent* event) {
    QTreeView::resizeEvent(event);
    Fit();
}

QSize NavListView::sizeHint() const {
    const int rowHeight = std::max(fontMetrics().height() + 4, sizeHintForRow(0));
    const int height = header()->sizeHint().height() + m_visibleRows * rowHeight + 2 * frameWidth() +
                       horizontalScrollBar()->sizeHint().height();
    return {QTreeView::sizeHint().width(), height};
}

QSize NavListView::minimumSizeHint() const {
    return {QTreeView::minimumSizeHint().width(), sizeHint().height()};
}

namespace {

void AddItems(QTreeWidgetItem* parent, const std::vector<NavTreeItem>& items) {
    for (const NavTreeItem& item : items) {
        auto* node = new QTreeWidgetItem(parent, {QString::fromStdString(item.text)});
        node->setData(0, Qt::UserRole, item.number);
        AddItems(node, item.children);
        node->setExpanded(item.expanded);
    }
}

} // namespace

QTreeWidgetItem* Nav_FillTree(QTreeWidget* tree, const std::vector<NavTreeItem>& items) {
    tree->clear();
    for (const NavTreeItem& item : items) {
        auto* node = new QTreeWidgetItem(tree, {QString::fromStdString(item.text)});
        node->setData(0, Qt::UserRole, item.number);
        AddItems(node, item.children);
        node->setExpanded(item.expanded);
    }
    return tree->topLevelItem(0);
}
