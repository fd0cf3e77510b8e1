#include <gtest/gtest.h>

#include <QTableWidget>

#include "TempRoot.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "gui/ui/GridHelpers.h"
#include "gui/ui/WinnerGrid.h"

namespace {
void WriteWinners(const std::string& content) {
  WriteAll(paths::NativePath(paths::WinnerFilePath(1001, 2001)), content);
}
}  // namespace

TEST(WinnerGrid, ColumnsGrowToTheHeadButNeverShrink) {
  TempRoot root;
  WriteWinners(text::G("号码 姓名 部门") + "\r\n138 a x y z\r\n");
  QTableWidget wide(1, 5);
  std::string err;
  int rows = -1;
  ASSERT_TRUE(LoadWinnerFile(1001, 2001, &wide, err, rows));
  EXPECT_EQ(wide.columnCount(), 5);
  EXPECT_EQ(rows, 1);
  EXPECT_EQ(GridCell(&wide, 1, 4), QStringLiteral("z"));

  QTableWidget narrow(1, 1);
  narrow.setColumnWidth(0, 70);
  ASSERT_TRUE(LoadWinnerFile(1001, 2001, &narrow, err, rows));
  EXPECT_EQ(narrow.columnCount(), 3);
  EXPECT_EQ(narrow.columnWidth(0), 70);
  EXPECT_EQ(narrow.columnWidth(1), 160);
  EXPECT_EQ(narrow.columnWidth(2), 160);
  EXPECT_EQ(GridCell(&narrow, 0, 1), QStringLiteral("姓名"));
  // Data rows do not add columns: the fourth and fifth fields have nowhere to go.
  EXPECT_EQ(GridCell(&narrow, 1, 2), QStringLiteral("x"));
  EXPECT_EQ(narrow.rowCount(), 2);
}

TEST(WinnerGrid, ThousandRowsAtMostAndAMissingFileTouchesNothing) {
  TempRoot root;
  QTableWidget grid(3, 2);
  SetGridCell(&grid, 2, 0, QStringLiteral("kept"));
  std::string err;
  int rows = 42;
  ASSERT_TRUE(LoadWinnerFile(1001, 2001, &grid, err, rows));
  EXPECT_EQ(rows, 42);
  EXPECT_EQ(grid.rowCount(), 3);
  EXPECT_EQ(GridCell(&grid, 2, 0), QStringLiteral("kept"));

  std::string content = "id name\r\n";
  for (int i = 0; i < 1001; ++i) content += std::to_string(i) + " n\r\n";
  WriteWinners(content);
  ASSERT_TRUE(LoadWinnerFile(1001, 2001, &grid, err, rows));
  EXPECT_EQ(rows, 1000);
  EXPECT_EQ(grid.rowCount(), 1001);
  EXPECT_EQ(GridCell(&grid, 1000, 0), QStringLiteral("999"));
  EXPECT_EQ(err, text::G("由于中奖个数太多,无法全部显示,您可以把抽奖结果导出到文件"));
}
