#include "app/file_list_model.h"

#include <algorithm>

#include "app/display_text.h"

namespace quillora {

namespace {
// Above this many separate runs of deleted rows, one reset is cheaper than
// a removal signal per run.
constexpr std::size_t kMaxRunsRemovedOneByOne = 64;
}  // namespace

FileListModel::FileListModel(QObject* parent) : QAbstractTableModel(parent) {}

FileListModel::RowId FileListModel::AppendRow(std::string path) {
  const int at = Count();
  beginInsertRows(QModelIndex(), at, at);
  const RowId id = next_id_++;
  rows_.push_back(Row{id, std::move(path), std::nullopt});
  endInsertRows();
  return id;
}

int FileListModel::IndexOf(RowId id) const {
  const auto it = std::lower_bound(rows_.begin(), rows_.end(), id,
                                   [](const Row& row, RowId wanted) { return row.id < wanted; });
  if (it == rows_.end() || it->id != id) return -1;
  return static_cast<int>(it - rows_.begin());
}

bool FileListModel::SetDigest(RowId id, std::string text) {
  const int at = IndexOf(id);
  if (at < 0) return false;
  rows_[at].digest = std::move(text);
  const QModelIndex cell = index(at, 1);
  emit dataChanged(cell, cell, {Qt::DisplayRole});
  return true;
}

void FileListModel::RemoveRowsAt(std::vector<int> indices) {
  std::sort(indices.begin(), indices.end());
  indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
  indices.erase(std::remove_if(indices.begin(), indices.end(),
                               [this](int i) { return i < 0 || i >= Count(); }),
                indices.end());
  if (indices.empty()) return;

  // Runs of consecutive indices, last run first.
  std::vector<std::pair<int, int>> runs;
  for (int i : indices) {
    if (!runs.empty() && runs.back().second + 1 == i)
      runs.back().second = i;
    else
      runs.emplace_back(i, i);
  }

  if (runs.size() > kMaxRunsRemovedOneByOne) {
    beginResetModel();
    std::vector<bool> doomed(rows_.size(), false);
    for (int i : indices) doomed[i] = true;
    std::size_t keep = 0;
    for (std::size_t i = 0; i < rows_.size(); ++i)
      if (!doomed[i]) rows_[keep++] = std::move(rows_[i]);
    rows_.resize(keep);
    endResetModel();
    return;
  }
  for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
    beginRemoveRows(QModelIndex(), run->first, run->second);
    rows_.erase(rows_.begin() + run->first, rows_.begin() + run->second + 1);
    endRemoveRows();
  }
}

int FileListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : Count();
}

int FileListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 2; }

QVariant FileListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= Count() || role != Qt::DisplayRole) return {};
  const Row& row = rows_[index.row()];
  if (index.column() == 0) return DisplayText(row.path);
  if (row.digest) return DisplayText(*row.digest);
  return QString();
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  if (section == 0) return QStringLiteral("File");
  if (section == 1) return QStringLiteral("MD5 Checksum Value");
  return {};
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

}  // namespace quillora
