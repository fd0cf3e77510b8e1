#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/results/QueryRules.h"
#include "core/text/Gbk.h"

using text::G;

TEST(QueryRules, TextIsFoundInAnyCaseOfLatinLettersButNeverInsideAChineseCharacter) {
  EXPECT_TRUE(query::ContainsText(G("Anna 销售部"), "aNNa"));
  EXPECT_TRUE(query::ContainsText(G("Anna 销售部"), G("销售")));
  EXPECT_TRUE(query::ContainsText("13800138000", "0013"));
  EXPECT_FALSE(query::ContainsText("13800138000", "139"));
  // 丂 is 0x81 0x40 and 乼 0x81 0x74 in GBK: their second bytes are '@' and 't'.
  EXPECT_FALSE(query::ContainsText(G("丂"), "@"));
  EXPECT_FALSE(query::ContainsText(G("乼"), "T"));
  EXPECT_TRUE(query::ContainsText(G("乼t"), "T"));
  // A Chinese character is not folded: 丂 does not match its case-folded bytes.
  EXPECT_FALSE(query::ContainsText(G("丂"), std::string("\x81\x60", 2)));
}

TEST(QueryRules, TheSearchStartsAfterTheSelectedRowAndWrapsOnce) {
  const std::vector<std::vector<std::string>> rows = {
      {"138001", "a"}, {"139002", "B"}, {"138003", "c"}, {"137004", G("张三")}};
  EXPECT_EQ(query::FindWinnerRow(rows, 0, "138"), 2);
  EXPECT_EQ(query::FindWinnerRow(rows, 2, "138"), 0);    // wraps to the top
  EXPECT_EQ(query::FindWinnerRow(rows, 1, "b"), 1);      // only the selected row: itself
  EXPECT_EQ(query::FindWinnerRow(rows, -1, "13"), 0);    // nothing selected: from the top
  EXPECT_EQ(query::FindWinnerRow(rows, 0, G("张")), 3);  // any field
  EXPECT_EQ(query::FindWinnerRow(rows, 0, "x"), -1);
  EXPECT_EQ(query::FindWinnerRow(rows, 0, ""), -1);
  EXPECT_EQ(query::FindWinnerRow({}, 0, "1"), -1);
}

TEST(QueryRules, TheSearchOfEveryItemGoesOnToTheNextItemsAndRoundToTheStart) {
  using query::TWinnerHit;
  const std::vector<std::vector<std::vector<std::string>>> items = {
      {{"1", G("张三")}, {"2", G("李四")}}, {}, {{"7", G("王五")}, {"8", G("张三丰")}}};
  EXPECT_EQ(query::FindWinnerInItems(items, 0, 0, G("王五")), (TWinnerHit{2, 0}));
  EXPECT_EQ(query::FindWinnerInItems(items, 2, 0, G("张三")), (TWinnerHit{2, 1}));
  EXPECT_EQ(query::FindWinnerInItems(items, 2, 1, G("张三")), (TWinnerHit{0, 0}));  // round
  EXPECT_EQ(query::FindWinnerInItems(items, 0, 0, G("张三")), (TWinnerHit{2, 1}));
  // From an item without winners: on with the next item that has them.
  EXPECT_EQ(query::FindWinnerInItems(items, 1, -1, "1"), (TWinnerHit{0, 0}));
  EXPECT_EQ(query::FindWinnerInItems(items, 1, -1, "8"), (TWinnerHit{2, 1}));
  EXPECT_EQ(query::FindWinnerInItems(items, 0, 0, "2"), (TWinnerHit{0, 1}));
  EXPECT_EQ(query::FindWinnerInItems(items, 0, 1, "2"), (TWinnerHit{0, 1}));  // itself, last
  EXPECT_EQ(query::FindWinnerInItems(items, 0, 0, "x"), (TWinnerHit{}));
  EXPECT_EQ(query::FindWinnerInItems(items, 0, 0, ""), (TWinnerHit{}));
  EXPECT_EQ(query::FindWinnerInItems({}, 0, 0, "1"), (TWinnerHit{}));
}

TEST(QueryRules, TheProposedFileNameNamesTaskItemAndDate) {
  TLuckTask task;
  task.TaskName = G(" 年会: 抽奖/2027 ");
  TLuckItem item;
  item.ItemName = G("一等奖*");
  EXPECT_EQ(query::ExportFileName(task, nullptr, "20271231"), G("年会_ 抽奖_2027_20271231"));
  EXPECT_EQ(query::ExportFileName(task, &item, "20271231"), G("年会_ 抽奖_2027_一等奖__20271231"));
  EXPECT_EQ(query::AuditFileName(task, "20271231"), G("年会_ 抽奖_2027_审计包_20271231"));
  // 纜 is 0xC0 0x7C and 乗 0x81 0x5C in GBK: their second bytes '|' and '\' stay.
  task.TaskName = G("纜乗");
  EXPECT_EQ(query::ExportFileName(task, nullptr, "1"), G("纜乗_1"));
}
