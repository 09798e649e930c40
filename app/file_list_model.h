// The rows of the file digest list (`LvwFile`): the path as exact bytes and,
// once known, the second column (digest text or "Could not open file").
// Paths are decoded only for display. Rows keep the order they were added in
// and are found again by a RowId that no deletion invalidates, so a job can
// fill in a row while the user deletes others.
#pragma once

#include <QAbstractTableModel>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillora {

class FileListModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  using RowId = std::uint64_t;

  struct Row {
    RowId id;
    std::string path;                   // first column, exact bytes
    std::optional<std::string> digest;  // second column (digest text or "Could not open file"); nullopt: none yet
  };

  explicit FileListModel(QObject* parent = nullptr);

  // Appends a row with path as its first column and no second column.
  RowId AppendRow(std::string path);
  // Sets the second column of a row. False when the row is no longer there.
  bool SetDigest(RowId id, std::string text);
  // The row's current index, or -1 when it has been deleted.
  int IndexOf(RowId id) const;
  // Deletes the rows at the given indices (any order, duplicates allowed),
  // from the last to the first; the others keep their order.
  void RemoveRowsAt(std::vector<int> indices);

  const std::vector<Row>& Rows() const { return rows_; }
  int Count() const { return static_cast<int>(rows_.size()); }

  // QAbstractTableModel
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  std::vector<Row> rows_;  // ids ascend with the index: rows are only appended
  RowId next_id_ = 1;
};

}  // namespace quillora
