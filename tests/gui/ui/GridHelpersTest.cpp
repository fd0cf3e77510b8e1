#include <gtest/gtest.h>

#include <QTableWidget>

#include "core/text/Gbk.h"
#include "gui/ui/GridHelpers.h"

namespace {

QStringList Row(const QTableWidget& g, int r) {
  QStringList out;
  for (int c = 0; c < g.columnCount(); ++c) out << GridCell(&g, r, c);
  return out;
}

void Fill(QTableWidget& g, const QList<QStringList>& rows) {
  g.setRowCount(static_cast<int>(rows.size()));
  for (int r = 0; r < rows.size(); ++r)
    for (int c = 0; c < rows[r].size(); ++c) SetGridCell(&g, r, c, rows[r][c]);
}

}  // namespace

TEST(GridDeleteRow, HeadRowStaysAndLastDataRowIsEmptiedNotRemoved) {
  QTableWidget g(0, 2);
  Fill(g, {{"号码", "姓名"}, {"1", "a"}});
  GridDeleteRow(&g, 0);
  EXPECT_EQ(g.rowCount(), 2);
  EXPECT_EQ(Row(g, 0), (QStringList{"号码", "姓名"}));
  GridDeleteRow(&g, 1);
  EXPECT_EQ(g.rowCount(), 2);
  EXPECT_EQ(Row(g, 1), (QStringList{"", ""}));
}

TEST(GridDeleteRow, LaterRowsMoveUp) {
  QTableWidget g(0, 2);
  Fill(g, {{"h", "h"}, {"1", "a"}, {"2", "b"}, {"3", "c"}});
  GridDeleteRow(&g, 3);  // the last row
  EXPECT_EQ(g.rowCount(), 3);
  EXPECT_EQ(Row(g, 2), (QStringList{"2", "b"}));
  GridDeleteRow(&g, 1);
  EXPECT_EQ(g.rowCount(), 2);
  EXPECT_EQ(Row(g, 1), (QStringList{"2", "b"}));
  GridDeleteRow(&g, 5);  // past the end: nothing
  EXPECT_EQ(g.rowCount(), 2);
}

TEST(GridAppendLine, FillsAnEmptyLastRowOtherwiseAddsOne) {
  QTableWidget g(0, 3);
  Fill(g, {{"号码", "姓名", "部门"}, {"", "", ""}});
  GridAppendLine(text::G("  13800000001   张三  市场部 "), ' ', &g);
  EXPECT_EQ(g.rowCount(), 2);
  EXPECT_EQ(Row(g, 1), (QStringList{"13800000001", "张三", "市场部"}));
  GridAppendLine(text::G("13800000002 李四"), ' ', &g);
  EXPECT_EQ(g.rowCount(), 3);
  EXPECT_EQ(Row(g, 2), (QStringList{"13800000002", "李四", ""}));
}

TEST(GridAppendLine, ColumnCountNeverChangesAndFirstFieldHasItsOwnSeparator) {
  QTableWidget g(0, 2);
  Fill(g, {{"a", "b"}});
  GridAppendLine("x y z w", ' ', &g);
  EXPECT_EQ(g.columnCount(), 2);
  EXPECT_EQ(Row(g, 1), (QStringList{"x", "y"}));
  GridAppendLine("key=value rest", '=', &g);
  EXPECT_EQ(Row(g, 2), (QStringList{"key", "value"}));
}
