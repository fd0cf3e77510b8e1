#include "core/draw/DrawTexts.h"

#include "core/text/Gbk.h"

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

std::string AbsentQuestion(std::string_view itemName, std::string_view winnerId) {
  return G("[") + std::string(itemName) + G("]的中奖者") + std::string(winnerId) +
         G("缺席,是否为该奖项抽取一名替补?");
}

std::string NoReplacement(std::string_view itemName) {
  return G("[") + std::string(itemName) + G("]已没有可抽取的替补号码,中奖名单不变");
}

std::string AbsentMark() { return G("缺席"); }

std::string ResumeQuestion(int32_t winners) {
  return G("上次抽奖尚未完成(已抽出") + std::to_string(winners) + G("名),是否继续上次的抽奖?");
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

}  // namespace drawtext

std::string ItemNameOf(const TArrLuckItem& items, int32_t itemId) {
  for (const TLuckItem& it : items)
    if (it.ItemId == itemId) return it.ItemName;
  return {};
}
