// Reading and choosing rows of the message list (a view over content::SmsListModel) in tests.
#pragma once

#include "content/qt/sms_list_model.h"

#include <QItemSelectionModel>
#include <QTreeView>

#include <vector>

namespace sms_list {

inline int count(const QTreeView *l) { return l->model()->rowCount(); }

inline QModelIndex at(const QTreeView *l, int row, int column = 0) { return l->model()->index(row, column); }

// The row's text in a list column (sub-item k is column content::subItemColumn(k)).
inline QString text(const QTreeView *l, int row, int column) { return at(l, row, column).data().toString(); }

inline int32_t id(const QTreeView *l, int row)
{
    return text(l, row, content::subItemColumn(content::kIdSubItem)).toInt();
}

inline int image(const QTreeView *l, int row) { return at(l, row).data(content::kImageRole).toInt(); }

inline QString caption(const QTreeView *l, int column)
{
    return l->model()->headerData(column, Qt::Horizontal).toString();
}

inline std::vector<int32_t> ids(const QTreeView *l)
{
    std::vector<int32_t> out;
    for (int i = 0; i < count(l); ++i)
        out.push_back(id(l, i));
    return out;
}

// Makes the row current and the only one selected, as a click does.
inline void choose(QTreeView *l, int row)
{
    l->selectionModel()->setCurrentIndex(at(l, row), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

// Adds the rows to the selection, as ctrl-clicks do.
inline void alsoSelect(QTreeView *l, const std::vector<int> &rows)
{
    for (int r : rows)
        l->selectionModel()->select(at(l, r), QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

inline int selectedCount(const QTreeView *l) { return int(l->selectionModel()->selectedRows().size()); }

// Where the row's Tel cell is drawn, in viewport coordinates.
inline QRect rowRect(const QTreeView *l, int row) { return l->visualRect(at(l, row, content::subItemColumn(0))); }

} // namespace sms_list
