#include "core/draw/DrawTexts.h"

#include <algorithm>

#include "core/text/Gbk.h"
#include "core/text/Text.h"

using text::G;

namespace drawtext {

std::string Ready(const TArrLuckItem& items) {
  return G("请点击[开始]抽取") + (items.empty() ? std::string() : items[0].ItemName);
}

std::string Prize(const TLuckItem& item) {
  return item.AwardName.empty() ? std::string() : item.ItemName + G("奖品:") + item.AwardName;
}

std::string Selecting() { return G("正在初始化数据......"); }
std::string Rolling() { return G("请按回车键抽取中奖号码"); }

std::string ItemGoesOn(const TLuckItem& item) {
  return G("[") + item.ItemName + G("]已经抽取") + std::to_string(item.DrawnCount) +
         G("名, 请继续抽取(还剩") + std::to_string(item.LuckCount - item.DrawnCount) + G("名)");
}

std::string NextItem(const TLuckItem& done, const TLuckItem& next, int32_t left) {
  return G("[") + done.ItemName + G("]已经抽取完毕,请继续抽取[") + next.ItemName + G("],还剩") +
         std::to_string(left) + G("个奖项");
}

std::string AllDrawn() { return G("所有奖项已经全部抽取完毕!"); }
std::string FinishMessage() { return G("所有奖项已经全部抽取完毕"); }

std::string Exhausted(std::string_view itemName) {
  return G("[") + std::string(itemName) + G("]可抽取的号码已不足,无法继续抽取");
}

namespace {

std::string ValuesText(const std::vector<std::string>& values) {
  std::string out;
  for (size_t i = 0; i < values.size() && i < 3; ++i)
    out += (i ? G("、") : std::string()) + values[i];
  if (values.size() > 3) out += G("等") + std::to_string(values.size()) + G("项");
  return out;
}

}  // namespace

std::string RulesLine(const TTaskRules& rules, int32_t itemId,
                      const std::vector<std::string>& excludedNames, int64_t listedPeople,
                      bool showExcludeList) {
  std::vector<std::string> parts;
  const TItemRules* item = rules.ItemRulesOf(itemId);
  if (item && !item->Conditions.empty()) {
    std::string only = G("仅限：");
    for (size_t i = 0; i < item->Conditions.size(); ++i) {
      const TRuleCondition& c = item->Conditions[i];
      only += (i ? G("，") : std::string()) + c.Field +
              G(c.Kind == TConditionKind::OneOf ? "是" : "不是") + ValuesText(c.Values);
    }
    parts.push_back(only);
  }
  if (item && item->Quota.IsSet())
    parts.push_back(G("每") + item->Quota.Field + G("最多") + std::to_string(item->Quota.Max) +
                    G("名"));
  if (rules.TaskQuota.IsSet())
    parts.push_back(G("每") + rules.TaskQuota.Field + G("全场最多") +
                    std::to_string(rules.TaskQuota.Max) + G("名"));
  if (!excludedNames.empty()) parts.push_back(G("不含") + ValuesText(excludedNames) + G("中奖者"));
  if (listedPeople > 0 && showExcludeList)
    parts.push_back(G("排除名单") + std::to_string(listedPeople) + G("人"));
  if (!rules.TicketsField.empty()) parts.push_back(G("按") + rules.TicketsField + G("计票"));
  std::string line;
  for (size_t i = 0; i < parts.size(); ++i) line += (i ? G("　") : std::string()) + parts[i];
  return line;
}

std::string TooFewForRules(std::string_view itemName, int64_t eligible, int64_t reach,
                           int64_t luckCount) {
  if (reach >= luckCount) return {};
  std::string out = G("奖项[") + std::string(itemName) + G("]符合条件的") +
                    (eligible < luckCount ? G("只有") : G("有")) + std::to_string(eligible) +
                    G("人");
  if (reach < eligible) out += G("，按名额限制最多抽出") + std::to_string(reach) + G("人");
  return out + G("，少于中奖个数") + std::to_string(luckCount) + G("，抽完这些人后该奖项即结束");
}

std::string TooFewForTaskQuota(int64_t reach, int64_t luckCounts) {
  if (reach >= luckCounts) return {};
  return G("全场名额限制最多抽出") + std::to_string(reach) + G("人，少于各奖项中奖个数之和") +
         std::to_string(luckCounts) + G("，抽完这些人后抽奖即结束");
}

std::string CandidatePlace(size_t k) {
  return G("第") + std::to_string(k + 1) + G("名候选人（抽奖数据文件第") + std::to_string(k + 5) +
         G("行）");
}

std::string TicketsFault(std::string_view value) {
  return G("票数[") + std::string(value) +
         (text::IsAllDigits(value) ? G("]过大(最多9223372036854775807)") : G("]不是0或正整数"));
}

std::string PresetsAgainstRules(std::string_view itemName, int32_t count) {
  return G("[") + std::string(itemName) + G("]的指定中奖名单中有") + std::to_string(count) +
         G("人不符合抽奖规则,不会被抽出");
}

std::string PresetsSkipped(std::string_view itemName, int32_t count) {
  return G("[") + std::string(itemName) + G("]跳过了") + std::to_string(count) +
         G("名不符合抽奖规则的指定中奖者");
}

std::string ExcludedUnreadable(int32_t taskId, std::string_view error) {
  return G("无法读取被排除的抽奖任务") + std::to_string(taskId) + G("的中奖名单：") +
         std::string(error);
}

std::string AbsentQuestion(std::string_view itemName, std::string_view person) {
  return G("[") + std::string(itemName) + G("]中奖者") + std::string(person) +
         G("暂未到场,是否为该奖项抽取一名替补?");
}

std::string NoReplacement(std::string_view itemName) {
  return G("[") + std::string(itemName) + G("]已没有可抽取的替补号码,中奖名单不变");
}

std::string ReplacementRolling(std::string_view itemName) {
  return G("[") + std::string(itemName) + G("] 替补");
}

std::string AbsentMark() { return G("缺席"); }

std::string ResumeQuestion(int32_t winners) {
  return G("上次抽奖尚未完成(已抽出") + std::to_string(winners) + G("人),是否继续上次的抽奖?");
}

std::string PendingDamaged() {
  return G("上次未完成的抽奖记录已损坏,无法准确继续,已移至历史记录,将重新开始抽奖");
}

std::string PendingMismatch() {
  return G(
      "上次未完成的抽奖与当前的抽奖数据或奖项设置不一致,无法继续,已移至历史记录,将重新开始抽奖");
}

std::string ResultsQuestion() {
  return G("该抽奖任务已有中奖结果,重新抽奖后原结果将移至历史记录,是否继续?");
}

std::string LeaveQuestion() {
  // The draw is kept: its journal holds every winner revealed, and opening the task again
  // offers to go on with it.
  return G(
      "奖项未全部抽取完毕。已抽出的中奖者都已记录，下次打开本任务时可以继续抽奖。是否现在退出？");
}

}  // namespace drawtext

std::string ItemNameOf(const TArrLuckItem& items, int32_t itemId) {
  for (const TLuckItem& it : items)
    if (it.ItemId == itemId) return it.ItemName;
  return {};
}
