// What the stage shows of a candidate line: the name by the list's 姓名 column, the columns the
// operator chose, the mask on any shown column.
#include <gtest/gtest.h>

#include "core/draw/StageColumns.h"
#include "core/text/Gbk.h"

using text::G;

namespace {

const std::string kHrTitle = G("工号 姓名 部门 分公司 手机");
const std::string kHrLine = G("E0012 张三丰 人力资源部 北京分公司 13812345678");

}  // namespace

TEST(StageColumns, TheNameIsTheNameColumnWhateverTheId) {
  // An id that is no number no longer takes the name's place when the list names its 姓名.
  const TWinnerCard c = TStageColumns(kHrTitle, "", false, 0, 0).Card(kHrLine);
  EXPECT_EQ(c.id, "E0012");
  EXPECT_EQ(c.name, G("张三丰"));
  EXPECT_EQ(c.rest, G("人力资源部 北京分公司 13812345678"));
  // The name column anywhere, also one titled 员工姓名 or 名字.
  const TWinnerCard later =
      TStageColumns(G("手机 部门 员工姓名"), "", true, 0, 0).Card(G("13812345678 销售 李四"));
  EXPECT_EQ(later.id, "13812345678");
  EXPECT_EQ(later.name, G("李四"));
  EXPECT_EQ(later.rest, G("销售"));
  EXPECT_EQ(NameColumnOf(G("编号 名字 部门")), 1);
  EXPECT_EQ(NameColumnOf(G("编号 名称")), -1);
  // The name first: the card has no id.
  const TWinnerCard first =
      TStageColumns(G("姓名 手机"), "", true, 0, 0).Card(G("王五 13900000000"));
  EXPECT_EQ(first.id, "");
  EXPECT_EQ(first.name, G("王五"));
  EXPECT_EQ(first.rest, "13900000000");
}

TEST(StageColumns, WithoutANameTitleTheOldRuleHolds) {
  const TStageColumns numeric(G("号码 称呼 部门"), "", true, 0, 0);
  const TWinnerCard n = numeric.Card(G("13800000000 张三 销售"));
  EXPECT_EQ(n.id, "13800000000");
  EXPECT_EQ(n.name, G("张三"));
  EXPECT_EQ(n.rest, G("销售"));
  const TWinnerCard t = TStageColumns(G("代号 部门"), "", false, 0, 0).Card(G("张三 销售 北京"));
  EXPECT_EQ(t.id, "");
  EXPECT_EQ(t.name, G("张三"));
  EXPECT_EQ(t.rest, G("销售 北京"));
}

TEST(StageColumns, HiddenColumnsGoAndMaskedOnesShowMasked) {
  // 手机 masked at positions 4 to 7, 部门 hidden; the id on the card stays whole.
  const TStageColumns c(kHrTitle, "SSHSM", false, 4, 7);
  const TWinnerCard card = c.Card(kHrLine);
  EXPECT_EQ(card.id, "E0012");
  EXPECT_EQ(card.name, G("张三丰"));
  EXPECT_EQ(card.rest, G("北京分公司 138XXXX5678"));
  EXPECT_EQ(c.ShortLine(kHrLine), G("E0012  张三丰"));
  // The winners list masks the id as it always did, and the masked column too.
  EXPECT_EQ(c.ListLine(kHrLine), G("E00XX 张三丰 北京分公司 138XXXX5678"));
  // Every column hidden but the name.
  const TStageColumns nameOnly(kHrTitle, "HSHHH", false, 4, 7);
  EXPECT_EQ(nameOnly.ShortLine(kHrLine), G("张三丰"));
  EXPECT_EQ(nameOnly.Card(kHrLine).rest, "");
  EXPECT_EQ(nameOnly.ListLine(kHrLine), G("张三丰"));
  // Without a choice the list line is the old masked line, spacing and all.
  EXPECT_EQ(TStageColumns(kHrTitle, "", false, 4, 7).ListLine(G("E0012  张三")), G("E00XXXX张三"));
}

TEST(StageColumns, AMaskCoversWholeCharactersOnCardsAndInTheList) {
  // 分公司 masked at 4 to 7: 武汉分公司 keeps three characters, never half of one.
  const TStageColumns c(kHrTitle, "SSSMS", true, 4, 7);
  const std::string line = G("E0012 张三丰 人力资源部 武汉分公司 13812345678");
  EXPECT_EQ(c.Card(line).rest, G("人力资源部 武汉分XX 13812345678"));
  EXPECT_EQ(c.ListLine(line), G("E00XX 张三丰 人力资源部 武汉分XX 13812345678"));
  EXPECT_EQ(c.Card(G("E0013 李四 市场部 北京总部 13900000000")).rest,
            G("市场部 北京总X 13900000000"));
}

TEST(StageColumns, TheStoredChoiceReadsBackAndUnknownLettersShow) {
  const std::vector<TColumnShow> shows = ParseColumnShows("SMHx");
  ASSERT_EQ(shows.size(), 4u);
  EXPECT_EQ(shows[1], TColumnShow::Masked);
  EXPECT_EQ(shows[2], TColumnShow::Hidden);
  EXPECT_EQ(shows[3], TColumnShow::Shown);
  EXPECT_EQ(FormatColumnShows({TColumnShow::Shown, TColumnShow::Masked, TColumnShow::Hidden,
                               TColumnShow::Shown, TColumnShow::Shown}),
            "SMH");
  EXPECT_EQ(FormatColumnShows({TColumnShow::Shown}), "");
}
