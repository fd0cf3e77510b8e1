#include "core/check/Notice.h"

#include "core/check/ShowCheck.h"
#include "core/presets/PresetList.h"
#include "core/records/DrawDataFile.h"
#include "core/records/FileHash.h"
#include "core/records/ListTree.h"
#include "core/records/Loaders.h"
#include "core/records/Records.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"

namespace check {

using text::G;

namespace {

std::string Num(int64_t n) { return std::to_string(n); }

// The draw's rules in sentences: who may win, how often, the preset winners, the method.
std::vector<std::string> RuleSentences(const TLuckTask& task, const TArrLuckItem& items,
                                       const TRulesWords& words, bool checkinOnly,
                                       int64_t presets) {
  std::vector<std::string> out;
  if (words.None) {
    out.push_back(NoRulesText());
  } else {
    for (size_t i = 0; i < items.size() && i < words.Items.size(); ++i)
      if (!words.Items[i].empty())
        out.push_back(G("奖项[") + items[i].ItemName + G("]：") + words.Items[i]);
    if (out.empty()) out.push_back(G("抽奖规则不涉及任何奖项"));
  }
  if (checkinOnly) out.push_back(G("只有到场签到的人参加抽奖"));
  out.push_back(task.LuckAgain == 1 ? G("同一人可以多次中奖") : G("每人最多中奖一次"));
  // Preset winners are part of the rules; the check names them, so the notice does too.
  if (presets > 0)
    out.push_back(G("设有指定中奖") + Num(presets) + G("人，在各奖项中先于随机抽取"));
  out.push_back(
      G("中奖者由程序随机抽取：开抽前大屏幕显示名单指纹、人数和承诺值，现场可报一个号码参与"
        "随机数的生成，抽奖后任何人可用审计包复核全部结果"));
  return out;
}

std::vector<std::string> CheckSteps(const std::string& voucher, bool checkinOnly) {
  std::vector<std::string> out;
  out.push_back(G("开抽前，大屏幕上“抽奖凭证”一行显示“") + voucher +
                G("”，应与本单相同；请拍下这一行，连同其中的“承诺”和“本任务第N次开启”。"));
  if (checkinOnly) out.push_back(G("这一行还显示签到人数和签到名单指纹，它们在签到结束后才确定。"));
  out.push_back(
      G("抽奖后向主办方索取审计包，运行 tombolix-verify 审计包.zip：最后一行应为“验证通过”，"
        "“名单哈希树根值”应与本单的根值相同，“抽奖凭证”应与你拍下的相同。"));
  out.push_back(
      G("查自己在不在名单中：向主办方（或签到页面）索取你那一行的证明，运行 tombolix-verify "
        "--proof \"你的一行\" 行号 证明 根值，回答“是”即在名单中。"));
  out.push_back(G("名单本身不公开：根值只能证明某一行在名单中，不透露其他任何一行。"));
  return out;
}

}  // namespace

std::string ItemText(const TNoticeItem& item) {
  std::string s = item.Name + G("  ") + Num(item.Count) + G("名");
  if (!text::Trim(item.Award).empty()) s += G("  奖品：") + item.Award;
  return s;
}

bool MakeNotice(int32_t taskId, const TNoticeDate& date, TNotice& out, std::string& error) {
  out = TNotice();
  TLuckTask task;
  if (!LoadLuckTask(taskId, task, error)) return false;
  if (task.TaskId != taskId) {
    error = G("抽奖项目不存在");
    return false;
  }
  TArrLuckItem items;
  int32_t count = 0, sum = 0;
  if (!LoadLuckItems(taskId, items, count, sum, error)) return false;
  if (items.empty()) {
    error = G("还没有设置奖项，不能生成公示单，请先在抽奖配置中设置奖项");
    return false;
  }

  const std::string dataPath = DrawDataFileOf(task);
  if (text::Trim(dataPath).empty() || !paths::FileExists(dataPath)) {
    error = G("名单未导入，不能生成公示单，请先在抽奖配置中导入名单");
    return false;
  }
  // The lines as the draw reads them, so that the count is the Ready screen's.
  TArraySring lines;
  int32_t idMax = 0;
  std::string title;
  if (!ReadDrawDataFile(dataPath, sum, task.LuckAgain, lines, idMax, title, error)) {
    error = G("名单不能用于抽奖，不能生成公示单：") + error;
    return false;
  }
  if (lines.empty()) {
    error = G("名单中没有人，不能生成公示单");
    return false;
  }
  if (!Sha256File(dataPath, out.Fingerprint, error)) {
    error = G("名单无法读取，不能生成公示单：") + error;
    return false;
  }
  TRulesWords words;
  if (!RulesWords(task, items, lines, title, words, error)) {
    error += G("，不能生成公示单");
    return false;
  }
  bool checkinOnly = false;
  if (!LoadCheckinOnly(taskId, checkinOnly, error)) return false;
  int64_t presets = 0;
  for (const TLuckItem& it : items) {
    std::vector<std::string> entries;
    if (!ReadPresetLines(taskId, it.ItemId, entries, error)) {
      error = G("奖项[") + it.ItemName + G("]的预设名单无法读取，不能生成公示单：") + error;
      return false;
    }
    presets += static_cast<int64_t>(entries.size());
  }

  out.Title = G("公示单");
  out.TaskName = task.TaskName;
  for (const TLuckItem& it : items) out.Items.push_back({it.ItemName, it.LuckCount, it.AwardName});
  out.Rules = RuleSentences(task, items, words, checkinOnly, presets);
  out.Count = static_cast<int64_t>(lines.size());
  out.Root = listtree::TListTree(lines).RootHex();
  out.Voucher = G("名单 ") + out.Fingerprint.substr(0, 12) + "  " + Num(out.Count) + G("人");
  out.Date = Num(date.Year) + G("年") + Num(date.Month) + G("月") + Num(date.Day) + G("日");
  out.Steps = CheckSteps(out.Voucher, checkinOnly);
  return true;
}

std::vector<std::string> NoticeLines(const TNotice& n) {
  std::vector<std::string> out;
  out.push_back(n.TaskName + G(" ") + n.Title);
  out.push_back(G("奖项"));
  for (const TNoticeItem& it : n.Items) out.push_back(ItemText(it));
  out.push_back(G("抽奖规则"));
  for (const std::string& r : n.Rules) out.push_back(r);
  out.push_back(G("名单"));
  out.push_back(G("人数：") + Num(n.Count) + G("人"));
  out.push_back(G("名单指纹(SHA-256)：") + n.Fingerprint);
  out.push_back(G("名单哈希树根值：") + n.Root);
  out.push_back(G("大屏幕显示：") + n.Voucher);
  out.push_back(G("如何核对"));
  for (size_t i = 0; i < n.Steps.size(); ++i)
    out.push_back(Num(int64_t(i + 1)) + G(". ") + n.Steps[i]);
  out.push_back(G("公示日期：") + n.Date);
  return out;
}

}  // namespace check
