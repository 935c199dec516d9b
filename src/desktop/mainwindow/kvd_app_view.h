// CKVDAppView: the file list, a report (QTreeView) or icon/list (QListView) view over CKVDAppViewModel.
#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <QKeyEvent>
#include <QListView>
#include <QStackedWidget>
#include <QTreeView>
#include <array>
#include <functional>
#include <vector>

#include "appmodel/kvd_app_view_model.h"
#include "appmodel/message_sink.h"

class FileListModel final : public QAbstractTableModel {
  public:
    explicit FileListModel(CKVDAppViewModel& content, QObject* parent = nullptr);
    // The content's rows changed: all rows are read again on demand.
    void Reload();
    // In the icon and list styles every item is `size` big (the grid), so that each name shows whole or
    // elided in its own cell; an invalid size lets the view measure (the report style).
    // `centred`: the name under the icon (large icons).
    void SetItemSize(QSize size, bool centred = false) {
        m_itemSize = size;
        m_centred = centred;
    }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    CKVDAppViewModel& m_content;
    std::vector<QIcon> m_images;
    QSize m_itemSize;
    bool m_centred = false;
};

class CKVDAppView final : public QStackedWidget {
  public:
    enum class Style { LargeIcon, SmallIcon, List, Report };

    explicit CKVDAppView(CKVDAppViewModel& content, QWidget* parent = nullptr);
    void Reload();
    void SetStyle(Style style);
    Style CurrentStyle() const { return m_style; }
    // Arranges the icons on the grid (large and small icon views).
    void Arrange();

    QTreeView* ReportView() const { return m_report; }
    QListView* IconView() const { return m_icons; }
    FileListModel* ListModel() const { return m_model; }

    // Shows the context menu for the current row at `globalPos` (none for a directory row).
    void OnContextMenu(const QPoint& globalPos);
    // Sets the column widths from the window width w (w/3, w/6, w/6, w/3), then fits them.
    void OnInitialUpdate();
    // Report style: LBN, Size and Date as wide as their widest value (and heading), the name as wide as the
    // longest name or the rest of the view; icon and list styles: the grid cell as wide as the widest name,
    // up to a part of the view.
    void FitColumns();

    // The report columns' widths the user set (empty while the view fits them itself), and setting them as
    // the user would, so that they stay.
    std::vector<int> UserColumnWidths() const;
    void SetUserColumnWidths(const std::vector<int>& widths);

    // Where the view's commands show their messages (the frame's message boxes).
    void SetSink(ckvd::ui::MessageSink* sink) { m_sink = sink; }
    // Save to Disc (32781): on one file row the progress window that copies it; on several rows or a
    // directory the window that copies them all into a folder.
    void OnSaveToDisc();
    // The selected rows (the current row when none is selected).
    std::vector<int> SelectedRows() const;
    // Tag Information (32780) on the current file row: the analyzer chain from its kind, then the dialog of
    // the analyzer that accepted the file.
    void OnTagInformation();
    // The viewer of a navigation file (chosen by its name), run modally; a failed read shows its message.
    void OpenNavigationViewer(FileEntry* entry);
    // A double-click on a row: the viewer for a navigation file, Tag Information for another file, the
    // directory opened in the tree for a directory (through `openDirectory`, which the frame sets).
    void OnDoubleClick(int row);
    void SetOpenDirectory(std::function<void(const FileEntry*)> openDirectory) {
        m_openDirectory = std::move(openDirectory);
    }

    // Makes `row` the current, selected row of the list, scrolled into view.
    void SelectRow(int row);
    // Orders the rows (the headings' clicks), shown by the heading's arrow; the current row stays current.
    void SetSort(const ListSort& sort);
    // Backspace or Alt+Up: the frame shows the folder above.
    void SetOpenParent(std::function<void()> openParent) { m_openParent = std::move(openParent); }
    // What a Save to Disc did, in words for the status bar.
    void SetSaved(std::function<void(const std::string&)> saved) { m_saved = std::move(saved); }
    // Asked before a command reads the disc's sectors (Save to Disc, Tag Information, a navigation viewer):
    // false when they cannot be read, after it said why.
    void SetDiscBytes(std::function<bool()> discBytes) { m_discBytes = std::move(discBytes); }

    // LBN/Size commands of the context menu.
    void OnCommand(int command);
    // Whether `command` (ID_LBNSIZE_*) is the number base the list shows now.
    static bool IsCurrentBase(int command);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Enter, Shift+F10 and the Menu key on a view of the list: true when the key was taken.
    bool OnKey(QAbstractItemView* view, const QKeyEvent& key);
    // The rows whose texts in `column` are the longest: the only ones that can be the widest.
    std::vector<int> LongestRows(int column) const;
    // What each column needs to show its widest value (and heading) whole as the report view draws it, and
    // the widest name's text; kept until the rows or the style change, so a window resize measures nothing.
    void MeasureColumns();
    void FitIconGrid();
    void ShowSortIndicator();

    CKVDAppViewModel& m_content;
    ckvd::ui::MessageSink* m_sink = nullptr;
    std::function<void(const FileEntry*)> m_openDirectory;
    std::function<void()> m_openParent;
    std::function<void(const std::string&)> m_saved;
    std::function<bool()> m_discBytes;
    bool DiscBytes() const { return !m_discBytes || m_discBytes(); }
    FileListModel* m_model;
    QTreeView* m_report;
    QListView* m_icons;
    Style m_style = Style::Report;
    bool m_fitting = false;
    bool m_measured = false;
    std::array<int, LIST_COLUMNS> m_needed{};
    int m_nameText = 0;       // the widest name's text alone
    bool m_userSized = false; // the user resized a column: a window resize keeps the widths
};
