#include <gtest/gtest.h>

#include "core/draw/StageText.h"
#include "core/draw/WinnerSummary.h"
#include "core/text/Gbk.h"

using text::G;

TEST(StagePunctuation, TheSystemsTextsTakeFullWidthMarksWithTheirWordsUnchanged) {
  EXPECT_EQ(StagePunctuation(G("[一等奖]已经抽取2名, 请继续抽取(还剩3名)")),
            G("[一等奖]已经抽取2名，请继续抽取（还剩3名）"));
  EXPECT_EQ(StagePunctuation(G("一等奖奖品:精美水杯")), G("一等奖奖品：精美水杯"));
  EXPECT_EQ(StagePunctuation(G("所有奖项已经全部抽取完毕!")), G("所有奖项已经全部抽取完毕！"));
  EXPECT_EQ(StagePunctuation(G("上次抽奖尚未完成(已抽出5名),是否继续上次的抽奖?")),
            G("上次抽奖尚未完成（已抽出5名），是否继续上次的抽奖？"));
  EXPECT_EQ(StagePunctuation(G("a;  b")), G("a；b"));
}

TEST(StagePunctuation, NumbersAndDoubleByteCharactersStayAsTheyAre) {
  // Thousands and times keep their marks; a mark after a digit at the end still converts.
  EXPECT_EQ(StagePunctuation(G("奖金1,000元 10:30开始")), G("奖金1,000元 10:30开始"));
  EXPECT_EQ(StagePunctuation(G("共3,")), G("共3，"));
  // Already full-width text and plain words are untouched.
  EXPECT_EQ(StagePunctuation(G("奖项未全部抽取完毕，是否要退出？")),
            G("奖项未全部抽取完毕，是否要退出？"));
  EXPECT_EQ(StagePunctuation("iPhone 15 Pro"), "iPhone 15 Pro");
  EXPECT_EQ(StagePunctuation(""), "");
  // A lead byte at the very end is kept, not read past.
  EXPECT_EQ(StagePunctuation(std::string("ab\xB0")), std::string("ab\xB0"));
}

TEST(WinnerCard, TheIdTheNameAndTheRestOfTheLine) {
  const TWinnerCard c = WinnerCard(G("13900000001  张三丰 研发中心 北京总部"));
  EXPECT_EQ(c.id, "13900000001");
  EXPECT_EQ(c.name, G("张三丰"));
  EXPECT_EQ(c.rest, G("研发中心 北京总部"));
  const TWinnerCard only = WinnerCard(" 13900000002 ");
  EXPECT_EQ(only.id, "13900000002");
  EXPECT_TRUE(only.name.empty());
  EXPECT_TRUE(only.rest.empty());
  EXPECT_TRUE(WinnerCard("").id.empty());
}

TEST(WinnerSummary, EachItemListsItsWinnersWholeLinesMasked) {
  TArrLuckItem items(2);
  items[0].ItemId = 11;
  items[0].ItemName = G("一等奖");
  items[0].AwardName = G("电脑");
  items[1].ItemId = 12;
  items[1].ItemName = G("二等奖");
  TArrLuckId winners = {{12, 1, 0, G("13900000000 李四 市场部")},
                        {11, 1, 1, G("13911112222 张三 研发部")}};
  const std::vector<TItemSummary> s = WinnerSummary(items, winners, 4, 7);
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(s[0].caption, G("一等奖 电脑 1名"));
  EXPECT_EQ(s[0].winners, std::vector<std::string>{G("139XXXX2222 张三 研发部")});
  EXPECT_EQ(s[1].caption, G("二等奖 1名"));
  EXPECT_EQ(s[1].winners, std::vector<std::string>{G("139XXXX0000 李四 市场部")});
  EXPECT_TRUE(s[0].absent.empty());

  // An absent winner follows its own item, marked; the item still counts its winners only.
  TArrAbsentId absent(1);
  absent[0].ItemId = 12;
  absent[0].CandidateLine = G("13955556666 王五 财务部");
  const std::vector<TItemSummary> t = WinnerSummary(items, winners, 4, 7, absent);
  EXPECT_TRUE(t[0].absent.empty());
  EXPECT_EQ(t[1].caption, G("二等奖 1名"));
  EXPECT_EQ(t[1].absent, std::vector<std::string>{G("139XXXX6666 王五 财务部 缺席")});
}
