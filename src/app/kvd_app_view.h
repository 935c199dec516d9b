// CKVDAppView: the file list, a report (QTreeView) or icon/list (QListView) view over CKVDAppViewModel.
#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <QListView>
#include <QStackedWidget>
#include <QTreeView>
#include <functional>
#include <vector>

#include "app/list_view_model.h"

class FileListModel final : public QAbstractTableModel {
  public:
    explicit FileListModel(CKVDAppViewModel& content, QObject* parent = nullptr);
    // The content's rows changed: all rows are read again on demand.
    void Reload();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    CKVDAppViewModel& m_content;
    std::vector<QIcon> m_images;
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
    // Sets the first column widths from the window width w: w/3, w/6, w/6, w/3.
    void OnInitialUpdate();

    // LBN/Size commands of the context menu.
    void OnCommand(int command);

  private:
    CKVDAppViewModel& m_content;
    FileListModel* m_model;
    QTreeView* m_report;
    QListView* m_icons;
    Style m_style = Style::Report;
};
