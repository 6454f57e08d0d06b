#include "content/qt/sms_list_model.h"

#include <algorithm>

namespace content {

namespace {

QString qs(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

// Fewer separate runs than this are taken out one run at a time (the view keeps its current
// row and scroll position); more are one reset, as each run costs a pass over the selection.
constexpr size_t kMaxRemovedRuns = 64;

} // namespace

void SmsListModel::setStore(const TSMSManage *store)
{
    beginResetModel();
    store_ = store;
    endResetModel();
}

void SmsListModel::setListing(SmsIdList listing)
{
    beginResetModel();
    ids_ = std::move(listing.ids);
    ids_.shrink_to_fit();
    for (int i = 0; i < kColumns; ++i)
        captions_[i] = size_t(i) < listing.columns.size() && i < subItemColumn(kIdSubItem)
                           ? qs(listing.columns[size_t(i)])
                           : QString();
    endResetModel();
    emit headerDataChanged(Qt::Horizontal, 0, kColumns - 1);
}

void SmsListModel::clear()
{
    if (ids_.empty())
        return;
    beginResetModel();
    ids_.clear();
    ids_.shrink_to_fit();
    endResetModel();
}

QString SmsListModel::textAt(int row, int column) const
{
    return data(index(row, column), Qt::DisplayRole).toString();
}

void SmsListModel::removeListRows(std::vector<int> rows)
{
    std::erase_if(rows, [&](int r) { return r < 0 || size_t(r) >= ids_.size(); });
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    if (rows.empty())
        return;
    // Runs of neighbouring rows, from the last, so each run's numbers stay valid.
    std::vector<std::pair<int, int>> runs;
    for (int r : rows) {
        if (!runs.empty() && runs.back().second + 1 == r)
            runs.back().second = r;
        else
            runs.push_back({r, r});
    }
    if (runs.size() > kMaxRemovedRuns) {
        beginResetModel();
        std::vector<int32_t> kept;
        kept.reserve(ids_.size() - rows.size());
        size_t next = 0;
        for (size_t i = 0; i < ids_.size(); ++i) {
            if (next < rows.size() && size_t(rows[next]) == i)
                ++next;
            else
                kept.push_back(ids_[i]);
        }
        ids_ = std::move(kept);
        endResetModel();
        return;
    }
    for (auto it = runs.rbegin(); it != runs.rend(); ++it) {
        beginRemoveRows({}, it->first, it->second);
        ids_.erase(ids_.begin() + it->first, ids_.begin() + it->second + 1);
        endRemoveRows();
    }
}

void SmsListModel::rowChanged(int row)
{
    if (row >= 0 && size_t(row) < ids_.size())
        emit dataChanged(index(row, 0), index(row, kColumns - 1));
}

QVariant SmsListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.parent().isValid() || size_t(index.row()) >= ids_.size() ||
        index.column() >= kColumns)
        return {};
    const int32_t id = ids_[size_t(index.row())];
    const int column = index.column();
    if (column == subItemColumn(kIdSubItem))
        return role == Qt::DisplayRole ? QVariant(QString::number(id)) : QVariant();
    // Only these cells need the store (a type-ahead search asks column 0 of every row for text).
    const bool picture = column == 0 && (role == Qt::DecorationRole || role == kImageRole || role == kStateImageRole);
    if (!picture && (column == 0 || role != Qt::DisplayRole))
        return {};
    SmsRowTexts t;
    if (!store_ || !store_->RowTexts(id, t))
        return {};
    if (picture) {
        if (role == kImageRole || role == kStateImageRole)
            return t.image;
        if (t.image >= 0 && t.image < images_.size())
            return images_[t.image];
        return {};
    }
    switch (column) {
    case subItemColumn(0):
        return qs(t.Tel);
    case subItemColumn(1):
        return qs(t.body);
    case subItemColumn(2):
        return qs(t.time);
    default:
        return {};
    }
}

QVariant SmsListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kColumns)
        return QAbstractTableModel::headerData(section, orientation, role);
    return captions_[section];
}

bool SmsListModel::setHeaderData(int section, Qt::Orientation orientation, const QVariant &value, int role)
{
    if (orientation != Qt::Horizontal || (role != Qt::EditRole && role != Qt::DisplayRole) || section < 0 ||
        section >= kColumns)
        return false;
    captions_[section] = value.toString();
    emit headerDataChanged(orientation, section, section);
    return true;
}

Qt::ItemFlags SmsListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

} // namespace content
