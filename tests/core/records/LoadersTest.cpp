#include <gtest/gtest.h>

#include "TempRoot.h"
#include "core/db/TombolixDM.h"
#include "core/records/ExampleTasks.h"
#include "core/records/Loaders.h"
#include "core/text/Gbk.h"

using text::G;

namespace {

int64_t N(int64_t v) { return v; }

class Loaders : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_dm.DataModuleCreate()); }

  void Item(int itemId, const std::string& name, int taskId, int luck, int list, int index,
            const std::string& award = std::string(), const std::string& image = std::string()) {
    std::string err;
    ASSERT_TRUE(db::ExecSql(m_dm.ARryPub, db::sql::kInsertItem,
                            {N(itemId), name, N(taskId), N(luck), N(list), award, image, N(index)},
                            err))
        << err;
  }

  TempRoot m_root;
  TTombolixDataModule m_dm;
};

}  // namespace

TEST_F(Loaders, TaskRecordCarriesEveryColumnByteForByte) {
  std::string err;
  const db::Params p = {N(1001),
                        G("春节联欢"),
                        G("/图片/背景.jpg"),
                        N(1),
                        G("新春抽奖"),
                        N(48),
                        std::string("clLime"),
                        G("请按回车"),
                        N(3),
                        N(6),
                        std::string("abc123"),
                        N(0),
                        N(1),
                        G("/音乐/喜洋洋.mp3"),
                        N(1)};
  ASSERT_TRUE(db::ExecSql(m_dm.ARryPub, db::sql::kInsertTask, p, err)) << err;
  ASSERT_TRUE(
      db::ExecSql(m_dm.ARryPub, db::sql::kUpdateDataFilePath, {G("/数据/1001.txt"), N(1001)}, err));
  TLuckTask t;
  ASSERT_TRUE(LoadLuckTask(1001, t, err)) << err;
  EXPECT_EQ(err, "");
  EXPECT_EQ(t.TaskId, 1001);
  EXPECT_EQ(t.TaskName, G("春节联欢"));
  EXPECT_EQ(t.MainImageName, G("/图片/背景.jpg"));
  EXPECT_EQ(t.IdType, TIdType::NonNumeric);
  EXPECT_EQ(t.MainTitle, G("新春抽奖"));
  EXPECT_EQ(t.FontSize, 48);
  EXPECT_EQ(t.FontColor, "clLime");
  EXPECT_EQ(t.RemainText, G("请按回车"));
  EXPECT_EQ(t.HideBegin, 3);
  EXPECT_EQ(t.HideEnd, 6);
  EXPECT_EQ(t.PassWd, "abc123");
  EXPECT_EQ(t.OrderBy, TDrawType::FromData);
  EXPECT_EQ(t.DataFilePath, G("/数据/1001.txt"));
  EXPECT_EQ(t.LuckAgain, 1);
  EXPECT_EQ(t.MusicFilePath, G("/音乐/喜洋洋.mp3"));
  EXPECT_EQ(t.ShowLuck, 1);
}

TEST_F(Loaders, MissingTaskGivesItsTextAndKeepsTheRecord) {
  TLuckTask t;
  t.TaskName = "kept";
  std::string err;
  EXPECT_FALSE(LoadLuckTask(4711, t, err));
  EXPECT_EQ(err, G("不存在该抽奖任务,任务号=4711"));
  EXPECT_EQ(t.TaskName, "kept");
}

TEST_F(Loaders, ItemsComeInListIndexOrderWithTilingRanges) {
  // ItemIds run against the draw order on purpose.
  Item(1009, G("三等奖"), 1001, 2, 1, 3, G("水杯"));
  Item(1008, G("二等奖"), 1001, 1, 1, 2);
  Item(1007, G("一等奖"), 1001, 3, 2, 1, G("电脑"), G("/图/电脑.jpg"));
  Item(1010, "other task", 1002, 5, 5, 1);
  TArrLuckItem items;
  int32_t count = -1, sum = -1;
  std::string err;
  ASSERT_TRUE(LoadLuckItems(1001, items, count, sum, err)) << err;
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(sum, 6);
  EXPECT_EQ(items[0].ItemId, 1007);
  EXPECT_EQ(items[0].ItemName, G("一等奖"));
  EXPECT_EQ(items[0].AwardName, G("电脑"));
  EXPECT_EQ(items[0].AwardImageName, G("/图/电脑.jpg"));
  EXPECT_EQ(items[0].ListCount, 2);
  EXPECT_EQ(items[1].ItemId, 1008);
  EXPECT_EQ(items[2].ItemId, 1009);
  const int ranges[3][2] = {{0, 2}, {3, 3}, {4, 5}};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(items[i].FirstNumber, ranges[i][0]) << i;
    EXPECT_EQ(items[i].LastNumber, ranges[i][1]) << i;
    EXPECT_EQ(items[i].DrawnCount, 0);
    EXPECT_EQ(items[i].TaskId, 1001);
  }
}

TEST_F(Loaders, ZeroCountItemHasAnEmptyRangeAndShiftsNothing) {
  Item(1, "a", 1001, 2, 1, 1);
  Item(2, "b", 1001, 0, 0, 2);
  Item(3, "c", 1001, 4, 1, 3);
  TArrLuckItem items;
  int32_t count = 0, sum = 0;
  std::string err;
  ASSERT_TRUE(LoadLuckItems(1001, items, count, sum, err));
  EXPECT_EQ(items[1].FirstNumber, 2);
  EXPECT_EQ(items[1].LastNumber, 1);
  EXPECT_EQ(items[2].FirstNumber, 2);
  EXPECT_EQ(items[2].LastNumber, 5);
  EXPECT_EQ(sum, 6);
}

TEST_F(Loaders, TaskWithoutItemsEmptiesTheArrayAndKeepsCountAndSum) {
  Item(1, "a", 1001, 2, 1, 1);
  TArrLuckItem items;
  int32_t count = 0, sum = 0;
  std::string err;
  ASSERT_TRUE(LoadLuckItems(1001, items, count, sum, err));
  ASSERT_EQ(items.size(), 1u);
  EXPECT_FALSE(LoadLuckItems(1002, items, count, sum, err));
  EXPECT_EQ(err, G("该抽奖项目尚未配置抽奖奖项,请配置抽奖奖项,任务号=1002"));
  EXPECT_TRUE(items.empty());
  EXPECT_EQ(count, 1);
  EXPECT_EQ(sum, 2);
}

TEST_F(Loaders, DatabaseErrorEmptiesTheArrayAndGivesTheEngineText) {
  Item(1, "a", 1001, 2, 1, 1);
  TArrLuckItem items(3);
  int32_t count = 9, sum = 9;
  std::string err;
  ASSERT_TRUE(db::ExecRaw(m_dm.ADOConnection1, "drop table TaskItem", err));
  EXPECT_FALSE(LoadLuckItems(1001, items, count, sum, err));
  EXPECT_NE(err.find("TaskItem"), std::string::npos);
  EXPECT_TRUE(items.empty());
}

TEST(ExampleTaskRecords, LoadAsADataDrawAndAProbabilityDraw) {
  TempRoot root;
  TTombolixDataModule dm(SeedExampleTasks);
  ASSERT_TRUE(dm.DataModuleCreate());
  TLuckTask t;
  TArrLuckItem items;
  int32_t count = 0, sum = 0;
  std::string err;
  ASSERT_TRUE(LoadLuckTask(1001, t, err));
  EXPECT_EQ(t.OrderBy, TDrawType::FromData);
  ASSERT_TRUE(LoadLuckItems(1001, items, count, sum, err));
  ASSERT_EQ(count, 3);
  EXPECT_EQ(sum, 14);
  for (const TLuckItem& it : items) {
    EXPECT_GE(it.ListCount, 1);
    EXPECT_LE(it.ListCount, it.LuckCount);
  }
  ASSERT_TRUE(LoadLuckTask(1002, t, err));
  EXPECT_EQ(t.OrderBy, TDrawType::ByProbability);
  EXPECT_EQ(t.RemainText, G("谢谢您的参与"));
  ASSERT_TRUE(LoadLuckItems(1002, items, count, sum, err));
  EXPECT_LT(sum, t.HideBegin);  // the probability value must exceed the winning numbers
  for (const TLuckItem& it : items) EXPECT_EQ(it.ListCount, it.LuckCount);
}

TEST_F(Loaders, DrawTypeAndIdTypeReadAsTheDrawHasAlwaysReadThem) {
  // OrderBy 0 draws from the data, anything else by probability; IdType 0 is numeric,
  // anything else not.
  struct Case {
    int orderBy, idType;
    TDrawType type;
    TIdType ids;
  };
  const Case cases[] = {{0, 0, TDrawType::FromData, TIdType::Numeric},
                        {1, 1, TDrawType::ByProbability, TIdType::NonNumeric},
                        {2, 7, TDrawType::ByProbability, TIdType::NonNumeric},
                        {-1, -3, TDrawType::ByProbability, TIdType::NonNumeric}};
  for (const Case& c : cases) {
    std::string err;
    const db::Params p = {N(1001),       G("任务"),    std::string(), N(c.idType),   std::string(),
                          N(36),         "clWhite",    std::string(), N(0),          N(0),
                          std::string(), N(c.orderBy), N(0),          std::string(), N(0)};
    ASSERT_TRUE(db::ExecSql(m_dm.ARryPub, "delete from LuckTask", {}, err)) << err;
    ASSERT_TRUE(db::ExecSql(m_dm.ARryPub, db::sql::kInsertTask, p, err)) << err;
    TLuckTask t;
    ASSERT_TRUE(LoadLuckTask(1001, t, err)) << err;
    EXPECT_EQ(t.OrderBy, c.type) << c.orderBy;
    EXPECT_EQ(t.IdType, c.ids) << c.idType;
  }
  // What a save writes back.
  EXPECT_EQ(ColumnOf(TDrawType::FromData), 0);
  EXPECT_EQ(ColumnOf(TDrawType::ByProbability), 1);
  EXPECT_EQ(ColumnOf(TIdType::Numeric), 0);
  EXPECT_EQ(ColumnOf(TIdType::NonNumeric), 1);
}
