// The message list's model: the ids of a box's messages, in list order, and nothing else of them.
// A row's texts and picture are read from the message store when the view asks for them, so a box
// of a million messages costs its ids, not a copy of every text, and listing it is one reset.
//
//   content::SmsListModel model(&sms);
//   view->setModel(&model);
//   model.setListing(sms.ListIds(content::kBoxLocal));
//   const int32_t id = model.idAt(row);
//
// Columns: 0 the picture (Qt::DecorationRole from the picture list, kImageRole and
// kStateImageRole its number), then sub-item k in column subItemColumn(k): Tel, body, time, and
// the message id as text in subItemColumn(kIdSubItem), a column the view hides. A row whose
// message has gone from the store shows nothing until the box is listed again.
//
// User-interface thread only.
#pragma once

#include "content/sms_manage.h"

#include <QAbstractTableModel>
#include <QIcon>
#include <QList>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace content {

// Roles shared by the content lists and trees.
inline constexpr int kBoxIdRole = Qt::UserRole;
inline constexpr int kImageRole = Qt::UserRole + 1;
inline constexpr int kStateImageRole = Qt::UserRole + 2;
// The message list's column of sub-item k.
constexpr int subItemColumn(int k) { return k + 1; }
inline constexpr int kIdSubItem = 3;

class SmsListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    // Columns: the picture, three texts, the hidden id.
    static constexpr int kColumns = 5;

    explicit SmsListModel(QObject *parent = nullptr) : QAbstractTableModel(parent) {}

    // The store the texts are read from (null: rows show nothing). Must outlive the model or be
    // unset first.
    void setStore(const TSMSManage *store);
    void setImages(QList<QIcon> images) { images_ = std::move(images); }

    // Replaces the rows and the captions of the shown columns (a reset).
    void setListing(SmsIdList listing);
    void clear();

    // The message id of a row; -1 outside the list.
    int32_t idAt(int row) const { return row >= 0 && size_t(row) < ids_.size() ? ids_[size_t(row)] : -1; }
    // The text of a row's column, as the view shows it.
    QString textAt(int row, int column) const;
    // Takes the rows out (any order, repeats ignored); the rest keep their order.
    void removeListRows(std::vector<int> rows);
    // The row's message changed in the store: its cells are read again.
    void rowChanged(int row);

    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : int(ids_.size()); }
    int columnCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : kColumns; }
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    const TSMSManage *store_ = nullptr;
    QList<QIcon> images_;
    QStringList captions_{QString(), QString(), QString(), QString(), QString()};
    std::vector<int32_t> ids_;
};

} // namespace content
