// The configuration window's check of a named award: the ids as typed or pasted, and the
// item as typed judged by the draw's own rule, in its own words.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/config/NamedAwardCheck.h"
#include "core/db/TombolixDM.h"
#include "core/records/NamedAwardFile.h"
#include "core/text/Gbk.h"

using text::G;

namespace {

// Task 1001: 一等奖 (2001) 1, 荣誉奖 (2002) 2; candidates 11 … 15.
class NamedAwardCheck : public ::testing::Test {
 protected:
  void Build(int luckAgain) {
    ASSERT_TRUE(m_dm.DataModuleCreate());
    TaskDef def;
    def.luckAgain = luckAgain;
    def.items = {{G("一等奖"), 1, 1, ""}, {G("荣誉奖"), 2, 1, ""}};
    for (int i = 11; i <= 15; ++i) m_lines.push_back(std::to_string(i) + " " + G("某人"));
    def.candidates = m_lines;
    BuildTask(m_dm, def);
  }
  // The check of 荣誉奖 as typed with `ids`; the text it refuses with, "" when it holds.
  std::string Check(const std::vector<std::string>& ids, int32_t luckCount = 2,
                    int32_t itemId = 2002) {
    MessageKind kind = MessageKind::Information;
    std::string error;
    if (config::CheckNamedAward(1001, itemId, G("荣誉奖"), luckCount, ids, m_lines, kind, error))
      return {};
    return error;
  }

  TempRoot m_root;
  TTombolixDataModule m_dm;
  std::vector<std::string> m_lines;
};

}  // namespace

TEST(NamedIds, TypedOrPastedIdsAreSplitAtBlanksCommasAndTheirFullWidthForms) {
  EXPECT_EQ(config::SplitNamedIds("13\r\n 14\t15,16;17"),
            (std::vector<std::string>{"13", "14", "15", "16", "17"}));
  EXPECT_EQ(config::SplitNamedIds(G("A1，B2、C3；D4　E5")),
            (std::vector<std::string>{"A1", "B2", "C3", "D4", "E5"}));
  // A Chinese id keeps its bytes, also a character whose second byte is a Latin letter
  // (昇 is 0x95 0x4E), and the full-width comma after it is still found.
  EXPECT_EQ(config::SplitNamedIds(G("刘昇，朱镕基")),
            (std::vector<std::string>{G("刘昇"), G("朱镕基")}));
  EXPECT_EQ(config::SplitNamedIds(" , \r\n"), std::vector<std::string>{});
  EXPECT_EQ(config::SplitNamedIds("13 13"), (std::vector<std::string>{"13", "13"}));
}

TEST_F(NamedAwardCheck, TheWindowRefusesInTheSetUpsOwnWords) {
  ASSERT_NO_FATAL_FAILURE(Build(0));
  EXPECT_EQ(Check({"13", "14"}), "");
  EXPECT_EQ(Check({"13", "99"}), G("奖项[荣誉奖]指定颁奖的号码[99]不在名单中"));
  EXPECT_EQ(Check({"13", "13"}), G("奖项[荣誉奖]指定颁奖的号码[13]重复"));
  EXPECT_EQ(Check({"13"}), G("奖项[荣誉奖]指定颁奖1人,与中奖人数2不符,请重新配置奖项"));
  // The count as typed, not as stored.
  EXPECT_EQ(Check({"13", "14", "15"}, 3), "");
  // Named for 一等奖 already: refused when winners may not win again, a new item too.
  std::string error;
  ASSERT_TRUE(SaveNamedIds(1001, 2001, {"14"}, error)) << error;
  EXPECT_EQ(Check({"13", "14"}),
            G("号码[14]在奖项[一等奖]和[荣誉奖]中都被指定颁奖,但本任务不允许重复中奖"));
  EXPECT_EQ(Check({"13", "14"}, 2, 0),
            G("号码[14]在奖项[一等奖]和[荣誉奖]中都被指定颁奖,但本任务不允许重复中奖"));
  EXPECT_EQ(Check({"13", "15"}), "");
}

TEST_F(NamedAwardCheck, WinnersWhoMayWinAgainMayBeNamedTwice) {
  ASSERT_NO_FATAL_FAILURE(Build(1));
  std::string error;
  ASSERT_TRUE(SaveNamedIds(1001, 2001, {"14"}, error)) << error;
  EXPECT_EQ(Check({"13", "14"}), "");
}
