#include "core/config/RuleCheck.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/db/TombolixDM.h"
#include "core/draw/DrawJournal.h"
#include "core/import/ExcludeList.h"
#include "core/records/DrawDataFile.h"
#include "core/text/FileWrite.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"

using config::TRuleContext;
using text::G;

namespace {

// Eight staff: id, name, branch, type, seniority (the tickets).
TRuleContext Staff() {
  TRuleContext c;
  c.TaskId = 1001;
  c.List.Heads = {G("工号"), G("姓名"), G("分公司"), G("员工类型"), G("工龄")};
  c.List.Lines = {
      G("E01 张三 总部 正式 3"), G("E02 李四 总部 实习 0"), G("E03 王五 深圳 正式 5"),
      G("E04 赵六 深圳 试用 1"), G("E05 钱七 上海 正式 2"), G("E06 孙八 上海 实习 4"),
      G("E07 周九 深圳 正式 0"), G("E08 吴十 上海"),  // no type, no seniority
  };
  c.Items = {{2001, G("一等奖"), 3}, {2002, G("新人奖"), 2}};
  c.Tasks = {{1001, G("晚宴抽奖")}, {1002, G("午宴抽奖")}};
  return c;
}

TItemRules Condition(int32_t item, const char* field, TConditionKind kind,
                     std::vector<std::string> values) {
  TItemRules r;
  r.ItemId = item;
  r.Conditions.push_back({G(field), kind, std::move(values)});
  return r;
}

std::string Refusal(const TTaskRules& rules, const TRuleContext& c) {
  std::string error;
  EXPECT_FALSE(config::CheckRules(rules, c, error));
  return text::GbkToUtf8(error);
}

}  // namespace

// The windows show the values, their counts and the summary texts (RulesConfigTest); here
// what a window's list does not reach.
TEST(RuleCheck, FieldValuesSkipMissingFieldsAndAFieldOfIdsIsRefused) {
  const TRuleContext c = Staff();
  // E08 has no type: it is counted nowhere.
  const std::vector<config::TValueCount> types{{G("实习"), 2}, {G("试用"), 1}, {G("正式"), 4}};
  EXPECT_EQ(config::FieldValues(c.List, G("员工类型")), types);
  EXPECT_TRUE(config::FieldValues(c.List, G("部门")).empty());
  EXPECT_EQ(config::FieldOf(G("E08  吴十   上海"), 2), G("上海"));
  EXPECT_EQ(config::FieldOf(G("E08 吴十 上海"), 3), "");

  std::string note = "stale";
  config::TRuleList ids;
  ids.Heads = {G("工号")};
  for (int i = 0; i < 2001; ++i) ids.Lines.push_back("P" + std::to_string(10000 + i));
  EXPECT_EQ(config::ChecklistValues(ids, G("工号"), {}, note).size(), 0u);
  EXPECT_EQ(text::GbkToUtf8(note), "[工号]有2001个不同的值，不适合按值限定，请选择其他字段");
  // Ticked values stay to be unticked, present or not.
  const std::vector<config::TValueCount> kept{{"P10007", 1}, {"X", 0}};
  EXPECT_EQ(config::ChecklistValues(ids, G("工号"), {"P10007", "X"}, note), kept);
  ids.Lines.pop_back();
  EXPECT_EQ(config::ChecklistValues(ids, G("工号"), {}, note).size(), 2000u);
  EXPECT_EQ(note, "");
}

TEST(RuleCheck, RefusesEachFaultNamingIt) {
  const TRuleContext c = Staff();
  TTaskRules r;
  r.Items = {Condition(2001, "部门", TConditionKind::OneOf, {G("A")})};
  EXPECT_EQ(Refusal(r, c), "奖项[一等奖]的中奖条件：抽奖数据中没有[部门]这一列");

  r.Items = {Condition(2002, "员工类型", TConditionKind::OneOf, {G("实习"), G("外包")})};
  EXPECT_EQ(Refusal(r, c), "奖项[新人奖]的中奖条件：抽奖数据中没有[员工类型]为“外包”的人");

  r.Items = {Condition(2002, "员工类型", TConditionKind::OneOf, {})};
  EXPECT_EQ(Refusal(r, c), "奖项[新人奖]的中奖条件：请勾选[员工类型]的值");

  r.Items = {TItemRules{2001, {}, {G("部门"), 2}}};
  EXPECT_EQ(Refusal(r, c), "奖项[一等奖]的名额限制：抽奖数据中没有[部门]这一列");
  r.Items = {TItemRules{2001, {}, {G("分公司"), 0}}};
  EXPECT_EQ(Refusal(r, c), "奖项[一等奖]的名额限制：每个[分公司]最多中奖人数不能小于1");

  r = {};
  r.TaskQuota = {G("分公司"), -3};
  EXPECT_EQ(Refusal(r, c), "全场名额限制：每个[分公司]最多中奖人数不能小于1");

  // The first line that is not a whole number is named, counted among the candidates.
  r = {};
  r.TicketsField = G("工龄");
  EXPECT_EQ(Refusal(r, c),
            "票数字段：第8名候选人（抽奖数据文件第12行）[E08]的[工龄]“”不是大于等于0的整数");
  TRuleContext odd = Staff();
  odd.List.Lines[2] = G("E03 王五 深圳 正式 -5");
  odd.List.Lines[3] = G("E04 赵六 深圳 试用 1.5");
  EXPECT_EQ(Refusal(r, odd),
            "票数字段：第3名候选人（抽奖数据文件第7行）[E03]的[工龄]“-5”不是大于等于0的整数");
  odd.List.Lines[2] = G("E03 王五 深圳 正式 9223372036854775808");
  EXPECT_EQ(Refusal(r, odd),
            "票数字段：第3名候选人（抽奖数据文件第7行）[E03]的[工龄]“9223372036854775808”过大("
            "最多9223372036854775807)");
  // One huge count is whole; with one more ticket they add up past what a pick can number.
  TRuleContext huge = Staff();
  huge.List.Lines.pop_back();
  huge.List.Lines[0] = G("E01 张三 总部 正式 9223372036854775807");
  huge.List.Lines[2] = G("E03 王五 深圳 正式 0");
  huge.List.Lines[3] = G("E04 赵六 深圳 试用 0");
  huge.List.Lines[4] = G("E05 钱七 上海 正式 0");
  huge.List.Lines[5] = G("E06 孙八 上海 实习 0");
  std::string error;
  EXPECT_TRUE(config::CheckRules(r, huge, error)) << text::GbkToUtf8(error);
  huge.List.Lines[4] = G("E05 钱七 上海 正式 1");
  EXPECT_EQ(Refusal(r, huge),
            "票数字段：票数总和到第5名候选人（抽奖数据文件第9行）[E05]超过了9223372036854775807");
  r.TicketsField = G("年龄");
  EXPECT_EQ(Refusal(r, c), "票数字段：抽奖数据中没有[年龄]这一列");

  r = {};
  r.ExcludeTasks = {1001};
  EXPECT_EQ(Refusal(r, c), "排除中奖者：不能排除本任务自己的中奖者");
  r.ExcludeTasks = {1002, 1009};
  EXPECT_EQ(Refusal(r, c), "排除中奖者：抽奖任务[1009]不存在");

  // Rules that need fields, on a task without imported data.
  TRuleContext empty = Staff();
  empty.List = {};
  r = {};
  r.Items = {TItemRules{2001, {}, {G("分公司"), 1}}};
  EXPECT_EQ(Refusal(r, empty), "请先导入抽奖数据，再设置中奖条件和名额限制");
}

TEST(RuleCheck, AcceptsWorkingRulesAndNoRulesOnAnyList) {
  TRuleContext c = Staff();
  TTaskRules r;
  r.Items = {Condition(2001, "分公司", TConditionKind::NoneOf, {G("总部")}),
             TItemRules{2002, {}, {G("分公司"), 1}}};
  r.TaskQuota = {G("员工类型"), 5};
  r.ExcludeTasks = {1002};
  std::string error = "stale";
  EXPECT_TRUE(config::CheckRules(r, c, error));
  EXPECT_EQ(error, "");
  // Only the lines in the list need whole tickets.
  c.List.Lines.pop_back();
  r.TicketsField = G("工龄");
  EXPECT_TRUE(config::CheckRules(r, c, error)) << text::GbkToUtf8(error);

  TRuleContext none = Staff();
  none.List = {};
  TTaskRules exclusionOnly;
  exclusionOnly.ExcludeTasks = {1002};
  EXPECT_TRUE(config::CheckRules(TTaskRules{}, none, error));
  EXPECT_TRUE(config::CheckRules(exclusionOnly, none, error));
}

TEST(RuleCheck, CountsTheEligibleByConditionsTicketsExclusionAndQuota) {
  TRuleContext c = Staff();
  TTaskRules r;
  TItemRules first = Condition(2001, "分公司", TConditionKind::NoneOf, {G("总部")});
  first.Quota = {G("分公司"), 2};
  TItemRules newcomer = Condition(2002, "员工类型", TConditionKind::OneOf, {G("实习"), G("试用")});
  r.Items = {first, newcomer};
  // Not 总部: E03..E08; 深圳 E03 E04 E07, 上海 E05 E06 E08; the quota lets 2 + 2 through.
  EXPECT_EQ(config::EligibleCount(r, 2001, c), 6);
  EXPECT_EQ(config::QuotaReach(r, 2001, c), 4);
  EXPECT_EQ(config::EligibleCount(r, 2002, c), 3);  // E02 E04 E06
  EXPECT_EQ(config::EligibleCount(r, 2099, c), 8);  // an item without rules: everybody
  EXPECT_EQ(config::TooFewText(r, c), "");          // 4 >= 3 and 3 >= 2

  // A ticket that is no number is refused by CheckRules, and the draw would not start:
  // the counts, which are the draw's, see nobody.
  r.TicketsField = G("工龄");
  EXPECT_EQ(config::EligibleCount(r, 2001, c), 0);  // E08 has none
  // Tickets of 0 (E02, E07, E08) leave them out; E06 won at lunch.
  c.List.Lines[7] = G("E08 吴十 上海 正式 0");
  c.ExcludedIds = {G("E06")};
  EXPECT_EQ(config::EligibleCount(r, 2001, c), 3);  // E03 E04 E05
  EXPECT_EQ(config::QuotaReach(r, 2001, c), 3);     // 深圳 2 (of E03 E04), 上海 1
  EXPECT_EQ(config::EligibleCount(r, 2002, c), 1);  // E04
  EXPECT_EQ(text::GbkToUtf8(config::TooFewText(r, c)),
            "奖项[新人奖]符合条件的只有1人，少于中奖个数2，抽完这些人后该奖项即结束");

  c.Items[0].LuckCount = 5;
  r.TicketsField.clear();
  c.ExcludedIds.clear();
  EXPECT_EQ(text::GbkToUtf8(config::TooFewText(r, c)),
            "奖项[一等奖]"
            "符合条件的有6人，按名额限制最多抽出4人，少于中奖个数5，抽完这些人后该奖项即结束");
}

TEST(RuleCheck, PresetsThatBreakTheItemsRulesAreNamed) {
  const TRuleContext c = Staff();
  TTaskRules r;
  TItemRules first = Condition(2001, "分公司", TConditionKind::NoneOf, {G("总部")});
  first.Quota = {G("分公司"), 1};
  r.Items = {first};
  r.TicketsField = G("工龄");
  const config::TRuleItem item{2001, G("一等奖"), 3};
  std::string message;
  EXPECT_TRUE(config::PresetKeepsRules(r, item, c.List.Heads, c.List.Lines[2], {}, {}, message));
  EXPECT_EQ(message, "");

  EXPECT_FALSE(config::PresetKeepsRules(r, item, c.List.Heads, c.List.Lines[0], {}, {}, message));
  EXPECT_EQ(text::GbkToUtf8(message),
            "[E01]不能指定为奖项[一等奖]的中奖者：不符合中奖条件（分公司不是其中任何一个：总部）");
  EXPECT_FALSE(config::PresetKeepsRules(r, item, c.List.Heads, c.List.Lines[6], {}, {}, message));
  EXPECT_EQ(text::GbkToUtf8(message), "[E07]不能指定为奖项[一等奖]的中奖者：票数[工龄]为0");
  EXPECT_FALSE(
      config::PresetKeepsRules(r, item, c.List.Heads, c.List.Lines[2], {}, {G("E03")}, message));
  EXPECT_EQ(text::GbkToUtf8(message),
            "[E03]不能指定为奖项[一等奖]的中奖者：已在排除的抽奖任务中中奖");
  // E03 of 深圳 is listed already: E04 of 深圳 is one too many, E05 of 上海 is not.
  const std::vector<std::string> listed{c.List.Lines[2]};
  EXPECT_FALSE(
      config::PresetKeepsRules(r, item, c.List.Heads, c.List.Lines[3], listed, {}, message));
  EXPECT_EQ(text::GbkToUtf8(message),
            "[E04]不能指定为奖项[一等奖]的中奖者：每个[分公司]最多1名，“深圳”已指定1名");
  EXPECT_TRUE(
      config::PresetKeepsRules(r, item, c.List.Heads, c.List.Lines[4], listed, {}, message));
  // Another item's rules do not apply.
  EXPECT_TRUE(config::PresetKeepsRules(r, {2002, G("新人奖"), 2}, c.List.Heads, c.List.Lines[0],
                                       listed, {}, message));
}

TEST(RuleCheck, ReadsTheListAndTheExcludedTasksWinners) {
  TempRoot root;
  TTombolixDataModule dm;
  ASSERT_TRUE(dm.DataModuleCreate());
  TaskDef lunch;
  lunch.taskId = 1002;
  lunch.items = {{G("午宴一等奖"), 1, 1, G("手机")}, {G("午宴二等奖"), 2, 1, G("耳机")}};
  const std::vector<int> items = BuildTask(dm, lunch);
  std::string error;
  ASSERT_TRUE(files::WriteFileAtomic(paths::WinnerFilePath(1002, items[0]),
                                     G("工号 姓名\r\nE05 钱七 上海 正式 2\r\n"), error));
  ASSERT_TRUE(files::WriteFileAtomic(paths::WinnerFilePath(1002, items[1]),
                                     G("工号 姓名\r\nE03 王五\r\n\r\nE01 张三\r\n"), error));
  std::vector<std::string> ids;
  ASSERT_TRUE(config::LoadExcludedIds({1002, 1003}, ids, error)) << error;
  EXPECT_EQ(ids, (std::vector<std::string>{"E01", "E03", "E05"}));

  TaskDef evening;
  evening.items = {{G("一等奖"), 3, 1, G("电脑")}};
  BuildTask(dm, evening);
  TTaskRules rules;
  rules.ExcludeTasks = {1002};
  TRuleContext c;
  c.List.Heads = {G("工号")};
  ASSERT_TRUE(config::LoadRuleContext(1001, rules, c, error)) << error;
  ASSERT_EQ(c.Items.size(), 1u);
  EXPECT_EQ(c.Items[0].LuckCount, 3);
  EXPECT_EQ(c.Tasks.size(), 2u);
  EXPECT_EQ(c.ExcludedIds, ids);
  EXPECT_EQ(c.List.Heads.size(), 1u);  // the list is the caller's

  const std::string data = root.path("DATA_FILE/1001.txt");
  ASSERT_TRUE(WriteDrawDataFile(data, G("工号 姓名 分公司"),
                                {G("E01 张三 总部"), G("E02 李四 深圳")}, 3, error));
  config::TRuleList list;
  ASSERT_TRUE(config::ReadRuleList(data, list, error)) << error;
  EXPECT_EQ(list.Heads, (std::vector<std::string>{G("工号"), G("姓名"), G("分公司")}));
  EXPECT_EQ(list.Lines, (std::vector<std::string>{G("E01 张三 总部"), G("E02 李四 深圳")}));
  EXPECT_FALSE(config::ReadRuleList(root.path("DATA_FILE/1009.txt"), list, error));
  EXPECT_EQ(text::GbkToUtf8(error), "文件不存在，请重新导入文件");
  EXPECT_TRUE(list.Heads.empty());
}

// The task's quota caps each item and all items together, in the words of the item quota;
// the lists of ids leave their people out of the counts.
TEST(RuleCheck, ATaskQuotaThatLetsFewerWinIsWarnedAndListsAreCounted) {
  TRuleContext c = Staff();
  TTaskRules r;
  r.TaskQuota = {G("分公司"), 1};  // 总部, 深圳, 上海: three at most
  r.Items = {TItemRules{2001, {}, {}, {G("E01"), G("E03")}}};
  r.ExcludeIds = {G("E05")};
  EXPECT_EQ(config::EligibleCount(r, 2001, c), 5);  // E02 E04 E06 E07 E08
  EXPECT_EQ(config::QuotaReach(r, 2001, c), 3);
  EXPECT_EQ(text::GbkToUtf8(config::TooFewText(r, c)),
            "全场名额限制最多抽出3人，少于各奖项中奖个数之和5，抽完这些人后抽奖即结束");
  c.Items[0].LuckCount = 4;
  EXPECT_EQ(text::GbkToUtf8(config::TooFewText(r, c, 2001)),
            "奖项[一等奖]"
            "符合条件的有5人，按名额限制最多抽出3人，少于中奖个数4，抽完这些人后该奖项即结束");
}

TEST(RuleCheck, SavingOtherRulesOverAnUnfinishedDrawAsksFirst) {
  TempRoot root;
  TTaskRules stored, edited;
  edited.ExcludeIds = {"E01"};
  EXPECT_EQ(config::RulesChangeQuestion(1001, stored, edited), "");  // no draw left
  std::string error;
  ASSERT_TRUE(files::MakeFolders(paths::LuckFileDir(), error));
  TJournalHead head;
  head.TaskId = 1001;
  head.Commit = std::string(64, 'a');
  head.Secret = std::string(64, 'b');
  head.Items = {{2001, 2, 2}};
  TJournalBatch batch;
  batch.ItemId = 2001;
  batch.Drawn = 2;
  batch.Rolls = 3;
  batch.Winners = {3, 4};
  ASSERT_TRUE(files::WriteFileAtomic(
      paths::JournalPath(1001),
      FormatJournalHead(head) + FormatJournalStart({}) + FormatJournalBatch(batch), error));
  EXPECT_EQ(
      text::GbkToUtf8(config::RulesChangeQuestion(1001, stored, edited)),
      "该抽奖项目有一次未完成的抽奖（已抽出2人）。保存修改后的抽奖规则后，这次抽奖将无法继续，"
      "已抽出的中奖者会转入历史记录。是否仍要保存？");
  EXPECT_EQ(config::RulesChangeQuestion(1001, stored, stored), "");
}

TEST(RuleCheck, AnExclusionListIsReadFromAFileByTheImportsReaders) {
  TempRoot root;
  std::string error;
  ASSERT_TRUE(files::WriteFileAtomic(
      root.path("last.csv"), G("工号,姓名\r\nE03 王五,x\r\n,\r\nE01\r\nE99\r\nE01\r\n"), error));
  config::TExcludeList list;
  ASSERT_TRUE(
      config::ReadExcludeList(root.path("last.csv"), G("工号"), Staff().List.Lines, list, error))
      << error;
  EXPECT_TRUE(list.HeadSkipped);
  EXPECT_EQ(list.Ids, (std::vector<std::string>{"E01", "E03", "E99"}));
  EXPECT_EQ(text::GbkToUtf8(config::ExcludeListSummary(list)),
            "排除名单：读到3个号码，其中2人在抽奖名单中");
  ASSERT_TRUE(files::WriteFileAtomic(root.path("empty.csv"), G("工号\r\n"), error));
  EXPECT_FALSE(config::ReadExcludeList(root.path("empty.csv"), G("工号"), {}, list, error));
  EXPECT_EQ(list.Ids.size(), 3u);  // left as it was
}
