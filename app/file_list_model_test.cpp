#include "app/file_list_model.h"

#include <gtest/gtest.h>

#include "app/testing/window_testing.h"

namespace quillora {
namespace {

std::vector<std::string> Paths(const FileListModel& m) {
  std::vector<std::string> paths;
  for (const auto& row : m.Rows()) paths.push_back(row.path);
  return paths;
}

TEST(FileListModel, RowsKeepTheirOrderAndIdsSurviveDeletions) {
  FileListModel m;
  std::vector<FileListModel::RowId> ids;
  for (const char* p : {"a", "b", "c", "d", "e"}) ids.push_back(m.AppendRow(p));
  EXPECT_EQ(m.rowCount(), 5);

  // Rows 1, 3 and 4 of 5 selected (indices 0, 2, 3), given in any order.
  m.RemoveRowsAt({3, 0, 2, 2});
  EXPECT_EQ(Paths(m), (std::vector<std::string>{"b", "e"}));

  // A job still holding the id of "e" fills in the right row; one whose row
  // was deleted changes nothing.
  EXPECT_TRUE(m.SetDigest(ids[4], "d41d8cd98f00b204e9800998ecf8427e"));
  EXPECT_FALSE(m.SetDigest(ids[2], "lost"));
  EXPECT_EQ(m.IndexOf(ids[4]), 1);
  EXPECT_EQ(m.IndexOf(ids[0]), -1);
  EXPECT_EQ(m.Rows()[1].digest, "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_FALSE(m.Rows()[0].digest.has_value()) << "no second column until one is set";
  EXPECT_EQ(m.data(m.index(1, 1), Qt::DisplayRole).toString(), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(m.data(m.index(0, 1), Qt::DisplayRole).toString(), "");

  const FileListModel::RowId later = m.AppendRow("f");
  EXPECT_GT(later, ids[4]) << "ids are never reused";
  m.RemoveRowsAt({7, -1});
  EXPECT_EQ(m.rowCount(), 3) << "indices outside the list are ignored";
}

TEST(FileListModel, ManyScatteredDeletionsLeaveExactlyTheOthers) {
  FileListModel m;
  std::vector<FileListModel::RowId> ids;
  for (int i = 0; i < 1000; ++i) ids.push_back(m.AppendRow(std::to_string(i)));
  std::vector<int> every_third;
  for (int i = 0; i < 1000; i += 3) every_third.push_back(i);
  m.RemoveRowsAt(every_third);
  ASSERT_EQ(m.rowCount(), 666);
  for (int i = 0, row = 0; i < 1000; ++i) {
    if (i % 3 == 0) {
      EXPECT_EQ(m.IndexOf(ids[i]), -1);
    } else {
      EXPECT_EQ(m.Rows()[row].path, std::to_string(i));
      EXPECT_EQ(m.IndexOf(ids[i]), row++);
    }
  }
  EXPECT_TRUE(m.SetDigest(ids[998], "x"));
  EXPECT_EQ(m.Rows().back().digest, "x");
}

TEST(FileListModel, ShowsDecodedPathsButKeepsTheExactBytes) {
  FileListModel m;
  const std::string latin1 = "/tmp/caf\xE9.txt";  // not valid UTF-8
  m.AppendRow(latin1);
  m.AppendRow("/tmp/\xC3\xA9t\xC3\xA9.txt");
  EXPECT_EQ(m.Rows()[0].path, latin1);
  const QString shown = m.data(m.index(0, 0), Qt::DisplayRole).toString();
  EXPECT_TRUE(shown.startsWith("/tmp/caf"));
  EXPECT_TRUE(shown.endsWith(".txt"));
  EXPECT_EQ(m.data(m.index(1, 0), Qt::DisplayRole).toString(), QString::fromUtf8("/tmp/été.txt"));
}

TEST(FileListModel, HasTwoNamedColumnsAndNothingEditable) {
  FileListModel m;
  m.AppendRow("a");
  EXPECT_EQ(m.columnCount(), 2);
  EXPECT_EQ(m.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), "File");
  EXPECT_EQ(m.headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), "MD5 Checksum Value");
  for (int c = 0; c < 2; ++c) {
    const Qt::ItemFlags f = m.flags(m.index(0, c));
    EXPECT_TRUE(f & Qt::ItemIsSelectable);
    EXPECT_FALSE(f & Qt::ItemIsEditable);
  }
}

}  // namespace
}  // namespace quillora
