// The items as a draw left them, read back from its journal alone: an added item, a changed
// count and the next item chosen, in the order the engine drew them.
#include <gtest/gtest.h>

#include "DrawSetUp.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/draw/DrawnItems.h"
#include "core/export/ExcelExport.h"
#include "core/import/Zip.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"

using text::G;

namespace {

// 一等奖 1, 二等奖 2 one at a time, 三等奖 1; ten candidates.
class DrawnItems : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dm.DataModuleCreate());
    TaskDef def;
    def.items = {{G("一等奖"), 1, 1, ""}, {G("二等奖"), 2, 1, ""}, {G("三等奖"), 1, 1, ""}};
    for (int i = 0; i < 10; ++i) def.candidates.push_back(std::to_string(11 + i) + " p");
    m_ids = BuildTask(m_dm, def);
    m_run = StartDraw(7u);
  }

  void Batch() {
    TDataDraw& e = m_run->e;
    ASSERT_TRUE(e.BeginBatch());
    e.SelectBatchWinners();
    e.RollStep();
    e.RevealBatch();
    e.EndBatch();
  }

  // "name/count/drawn" of each item, in order.
  static std::string Names(const TArrLuckItem& items) {
    std::string s;
    for (const TLuckItem& it : items)
      s += text::GbkToUtf8(it.ItemName) + "/" + std::to_string(it.LuckCount) + "/" +
           std::to_string(it.DrawnCount) + " ";
    return s;
  }

  TempRoot m_root;
  TTombolixDataModule m_dm;
  std::vector<int32_t> m_ids;
  std::unique_ptr<TDrawRun> m_run;
};

}  // namespace

// 一等奖; 二等奖's first; 特别奖 added (drawn later); 三等奖 chosen next and drawn; 二等奖
// down to the one drawn; 特别奖 last.
TEST_F(DrawnItems, TheJournalGivesTheItemsInTheOrderDrawn) {
  TDataDraw& e = m_run->e;
  TDataDraw::BatchEnd end;
  std::string message;
  Batch();
  Batch();
  ASSERT_TRUE(e.AddItem({G("特别奖"), 2, 2, G("手机")}, false, "", end, message)) << message;
  ASSERT_TRUE(e.ChooseNext(m_ids[2], "", end, message)) << message;
  Batch();
  // 二等奖 with its one winner is complete: the draw goes on to 特别奖.
  ASSERT_TRUE(e.ChangeCount(m_ids[1], 1, "", end, message)) << message;
  Batch();
  ASSERT_EQ(e.state(), TDataDraw::State::Finished);
  EXPECT_EQ(Names(e.Session().Items), "一等奖/1/1 三等奖/1/1 二等奖/1/1 特别奖/2/2 ");

  TArrLuckItem items;
  int32_t count = 0, total = 0;
  std::string error;
  ASSERT_TRUE(LoadItemsAsDrawn(1001, items, count, total, error)) << error;
  EXPECT_EQ(Names(items), "一等奖/1/1 三等奖/1/1 二等奖/1/1 特别奖/2/2 ");
  EXPECT_EQ(count, 4);
  EXPECT_EQ(total, 5);
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(items[3].AwardName, G("手机"));
  EXPECT_EQ(items[3].ListCount, 2);
  EXPECT_EQ(items[3].TaskId, 1001);

  // The workbook of the results has a sheet for each, 特别奖 too, in that order.
  const std::string xlsx = m_root.path("winners.xlsx");
  ASSERT_TRUE(ExportWinnersExcel(items, e.Session().Task, -1, xlsx, error)) << error;
  sheet::ZipArchive zip;
  std::string workbook;
  ASSERT_TRUE(zip.OpenFile(xlsx, error)) << error;
  ASSERT_TRUE(zip.ReadPart("xl/workbook.xml", workbook, error)) << error;
  size_t at = 0;
  for (const char* name : {"一等奖", "三等奖", "二等奖", "特别奖"}) {
    at = workbook.find("name=\"" + std::string(name) + "\"", at);
    EXPECT_NE(at, std::string::npos) << name << " in " << workbook;
  }
}

// The chosen item goes before one whose batches had begun; a task never drawn keeps its plan.
TEST_F(DrawnItems, ANextChosenAfterAPartItemGoesBeforeIt) {
  TArrLuckItem items;
  int32_t count = 0, total = 0;
  std::string error;
  ASSERT_TRUE(LoadItemsAsDrawn(1001, items, count, total, error)) << error;
  EXPECT_EQ(Names(items), "一等奖/1/0 二等奖/2/0 三等奖/1/0 ");

  TDataDraw& e = m_run->e;
  TDataDraw::BatchEnd end;
  std::string message;
  Batch();
  Batch();  // 二等奖 1 of 2
  ASSERT_TRUE(e.ChooseNext(m_ids[2], "", end, message)) << message;
  Batch();
  Batch();
  ASSERT_EQ(e.state(), TDataDraw::State::Finished);
  EXPECT_EQ(Names(e.Session().Items), "一等奖/1/1 三等奖/1/1 二等奖/2/2 ");
  ASSERT_TRUE(LoadItemsAsDrawn(1001, items, count, total, error)) << error;
  EXPECT_EQ(Names(items), "一等奖/1/1 三等奖/1/1 二等奖/2/2 ");
}
