#include "core/draw/DrawRules.h"

#include <gtest/gtest.h>

#include "core/text/Gbk.h"

namespace {

using text::G;

TTaskRules Sample() {
  TTaskRules r;
  r.TicketsField = G("工龄");
  r.TaskQuota = {G("部门"), 5};
  r.ExcludeTasks = {7, 3, 7};
  TItemRules first{2, {}, {G("部门"), 2}};
  first.Conditions.push_back({G("分公司"), TConditionKind::NoneOf, {G("总部")}});
  TItemRules newcomer{1, {}, {}};
  newcomer.Conditions.push_back(
      {G("员工类型"), TConditionKind::OneOf, {G("试用"), G("实习"), G("试用")}});
  r.Items = {first, newcomer, TItemRules{9, {}, {}}};
  return r;
}

TEST(DrawRules, TextIsCanonicalAndReadsBack) {
  const std::string text = FormatRules(Sample());
  // Exclusions and values sorted bytewise and unique, items ascending, empty item rules dropped.
  EXPECT_EQ(text, G("TICKETS\t工龄\nTASKQUOTA\t部门\t5\nEXCLUDE\t3\nEXCLUDE\t7\n"
                    "ITEM\t1\tONEOF\t员工类型\t实习\t试用\n"  // GBK CAB5 < CAD4
                    "ITEM\t2\tNONEOF\t分公司\t总部\nITEMQUOTA\t2\t部门\t2\n"));
  TTaskRules back;
  std::string error;
  ASSERT_TRUE(ParseRules(text, back, error)) << error;
  TTaskRules expected = Sample();
  NormaliseRules(expected);
  EXPECT_EQ(back, expected);
  EXPECT_EQ(RulesHash(back), RulesHash(Sample()));
  ASSERT_NE(back.ItemRulesOf(2), nullptr);
  EXPECT_EQ(back.ItemRulesOf(2)->Quota.Max, 2);
  EXPECT_EQ(back.ItemRulesOf(9), nullptr);
}

TEST(DrawRules, NoRulesHaveNoTextAndNoHash) {
  TTaskRules none;
  none.Items = {TItemRules{4, {}, {}}};
  NormaliseRules(none);
  EXPECT_TRUE(none.Empty());
  EXPECT_EQ(FormatRules(none), "");
  EXPECT_EQ(RulesHash(none), "");
  TTaskRules parsed;
  std::string error;
  EXPECT_TRUE(ParseRules("\r\n", parsed, error));
  EXPECT_TRUE(parsed.Empty());
}

TEST(DrawRules, RefusesMalformedLinesNamingThem) {
  for (const char* bad : {"TASKQUOTA\tx\t0\n", "ITEMQUOTA\t1\tx\t-2\n", "ITEM\t1\tSOME\tx\ty\n",
                          "ITEM\t1\tONEOF\tx\n", "EXCLUDE\tabc\n", "TICKETS\ta b\n", "WHO\n"}) {
    TTaskRules r = Sample();
    std::string error;
    EXPECT_FALSE(ParseRules(std::string("TICKETS\tz\n") + bad, r, error)) << bad;
    EXPECT_EQ(error, G("抽奖规则第2行无法识别。")) << bad;
    EXPECT_EQ(r, Sample()) << "a refused text leaves the rules alone";
  }
}

}  // namespace

namespace {

std::string Fault(const char* utf8) { return text::GbkToUtf8(RulesTextFault(G(utf8))); }

}  // namespace

TEST(DrawRules, ATextNotInCanonicalFormIsToldWhatIsWrong) {
  EXPECT_EQ(Fault("EXCLUDE\t3\nITEM\t1\tONEOF\t部门\tA\tB\n"), "");
  EXPECT_EQ(Fault("ITEM\t1\tONEOF\t部门\tB\tA\n"),
            "抽奖规则第1行不是规范写法（按类型和奖项排序、取值排序且不重复），应为：ITEM 1 ONEOF "
            "部门 A B");
  EXPECT_EQ(Fault("EXCLUDE\t3\nEXCLUDE\t3\n"), "抽奖规则第2行多余（重复的规则或空行）");
  EXPECT_EQ(Fault("EXCLUDE\t3\r\n"), "抽奖规则的行尾不是规范写法：每行应以LF结尾，不用CR");
  EXPECT_EQ(Fault("EXCLUDE\tx\n"), "抽奖规则第1行无法识别。");
  // An item's list stands between its conditions and its quota.
  EXPECT_EQ(
      Fault("ITEMQUOTA\t4\t部门\t1\nITEMEXCLUDEIDS\t4\ta\n"),
      "抽奖规则第1行不是规范写法（按类型和奖项排序、取值排序且不重复），应为：ITEMEXCLUDEIDS 4 a");
  // One list line each: a second is refused.
  TTaskRules lists;
  std::string error;
  EXPECT_FALSE(ParseRules("EXCLUDEIDS\ta\nEXCLUDEIDS\tb\n", lists, error));
}

// The one reading of a ticket count that the configuration's checks and the draw share.
TEST(DrawRules, TicketsAreWholeNumbersUpToTheLargest64BitOne) {
  int64_t n = -1;
  EXPECT_TRUE(ParseTickets("0", n));
  EXPECT_EQ(n, 0);
  EXPECT_TRUE(ParseTickets("007", n));
  EXPECT_EQ(n, 7);
  EXPECT_TRUE(ParseTickets("9223372036854775807", n));
  EXPECT_EQ(n, INT64_MAX);
  for (const char* bad : {"9223372036854775808", "", "-1", "+3", "1.5", " 2", "1e3"}) {
    n = 5;
    EXPECT_FALSE(ParseTickets(bad, n)) << bad;
    EXPECT_EQ(n, 0) << bad;
  }
}
