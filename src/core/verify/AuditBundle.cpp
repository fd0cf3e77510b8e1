#include "core/verify/AuditBundle.h"

#include <algorithm>
#include <memory>

#include "Version.h"
#include "core/draw/DrawJournal.h"
#include "core/draw/DrawOpenings.h"
#include "core/draw/DrawProof.h"
#include "core/draw/PlanRecords.h"
#include "core/import/Zip.h"
#include "core/records/CheckinFile.h"
#include "core/records/ClaimFile.h"
#include "core/records/DrawDataFile.h"
#include "core/records/FileHash.h"
#include "core/records/ListTree.h"
#include "core/records/NamedAwardFile.h"
#include "core/records/VoidFile.h"
#include "core/text/FileWrite.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"
#include "core/verify/Openings.h"

using text::G;

namespace {

bool FinishedJournal(const TLuckTask& task, TJournal& j, std::string& error) {
  const std::string path = paths::FinishedJournalPath(task.TaskId);
  std::string ignored;
  if (ReadJournal(path, j, ignored) != JournalRead::Ok) {
    error = G("该抽奖任务没有已完成的抽奖记录,无法导出抽奖凭证");
    return false;
  }
  if (j.Head.Commit.empty() || !j.Started) {
    error = G("该抽奖任务的抽奖由旧版本完成,没有抽奖凭证");
    return false;
  }
  return true;
}

// An added item's own rules as the report lists them: ", 仅限部门为市场、销售, 排除 100 104";
// empty for an item anyone may win.
std::string OwnRulesText(const TItemRules& rules) {
  std::string s;
  for (const TRuleCondition& c : rules.Conditions) {
    s += G(", 仅限") + c.Field + G(c.Kind == TConditionKind::OneOf ? "为" : "不为");
    for (size_t i = 0; i < c.Values.size(); ++i) s += (i ? G("、") : std::string()) + c.Values[i];
  }
  if (!rules.ExcludeIds.empty()) {
    s += G(", 排除");
    for (const std::string& id : rules.ExcludeIds) s += " " + id;
  }
  return s;
}

}  // namespace

bool AuditReport(const TLuckTask& task, TAuditRows& rows, std::string& error) {
  rows.clear();
  TJournal j;
  if (!FinishedJournal(task, j, error)) return false;
  const TJournalHead& h = j.Head;
  int64_t candidates = 0;
  std::string listRoot;
  TArraySring lines;
  {
    int32_t idMax = 0;
    std::string title, ignored;
    if (ReadDrawDataFile(DrawDataFileOf(task), 0, 1, lines, idMax, title, ignored)) {
      candidates = static_cast<int64_t>(lines.size());
      listRoot = listtree::TListTree(lines).RootHex();
    }
  }
  // A winner marked absent gave the place to a replacement: the places are the winners, and
  // the absent ones are counted beside them.
  int64_t places = 0;
  for (const TJournalBatch& b : j.Batches) places += static_cast<int64_t>(b.Winners.size());
  std::string items;
  for (const TJournalItem& it : h.Items) {
    if (!items.empty()) items += ',';
    items += std::to_string(it.ItemId) + "/" + std::to_string(it.LuckCount) + "/" +
             std::to_string(it.ListCount);
  }
  rows = {
      {G("抽奖任务"), std::to_string(task.TaskId) + " " + task.TaskName},
      {G("程序版本"), G(kProductName) + " " + kVersionText},
      {G("名单文件"), paths::DrawDataPath("", task.TaskId)},
      {G("名单指纹(SHA-256)"), h.DataHash},
      {G("候选人数"), std::to_string(candidates)},
      {G("名单哈希树根值"), listRoot},
      {G("指定中奖指纹(SHA-256)"), h.PresetHash},
      {G("重复中奖"), h.LuckAgain == 1 ? G("允许") : G("不允许")},
      {G("奖项(编号/人数/每次)"), items},
      {G("承诺值(SHA-256)"), h.Commit},
      {G("密钥"), h.Secret},
      {G("现场号码"), j.Start.Audience.empty() ? G("(无)") : j.Start.Audience},
      {G("随机数种子"), std::to_string(j.Start.Seed)},
      {G("批次"), std::to_string(j.Batches.size())},
      {G("中奖人数"), std::to_string(places)},
      {G("验证"), G("tombolix-verify 审计包.zip (规则见 docs/verify.md)")},
  };
  if (!j.Absences.empty())
    rows.insert(rows.end() - 1,
                std::make_pair(G("缺席（已抽替补）"), std::to_string(j.Absences.size()) + G("人")));
  // Each change of the plan and each void, as the journal holds it.
  for (const TJournalOther& o : j.Others) {
    TPlanRecord r;
    if (ParsePlanRecord(o.Line, r) != PlanParse::Ok) continue;
    if (r.Kind == TPlanKind::Named) {
      // A row per named winner, marked as the exports mark it.
      for (int32_t k : r.Winners)
        rows.insert(
            rows.end() - 1,
            std::make_pair(NamedMark(),
                           G("奖项") + std::to_string(r.ItemId) + " " +
                               (k >= 0 && static_cast<size_t>(k) < lines.size()
                                    ? std::string(text::FirstField(lines[static_cast<size_t>(k)]))
                                    : "#" + std::to_string(k))));
      continue;
    }
    std::string id;
    if (r.Kind == TPlanKind::Void)
      id = r.Voided >= 0 && static_cast<size_t>(r.Voided) < lines.size()
               ? std::string(text::FirstField(lines[static_cast<size_t>(r.Voided)]))
               : "#" + std::to_string(r.Voided);
    rows.insert(rows.end() - 1,
                std::make_pair(r.Kind == TPlanKind::Void ? G("作废") : G("改动"),
                               plantext::Band(r, G("奖项") + std::to_string(r.ItemId), id) +
                                   OwnRulesText(r.Rules) +
                                   (r.Kind == TPlanKind::Void ? " " + r.Time : std::string())));
  }
  // A draw with rules: each rule as journalled (fields split by blanks), their fingerprint
  // and that of the excluded ids, before the line on checking.
  if (!h.Rules.empty()) {
    TAuditRows ruleRows;
    for (size_t from = 0; from < h.Rules.size();) {
      size_t end = h.Rules.find('\n', from);
      if (end == std::string::npos) end = h.Rules.size();
      std::string line = h.Rules.substr(from, end - from);
      std::replace(line.begin(), line.end(), '\t', ' ');
      ruleRows.push_back({G("抽奖规则"), line});
      from = end + 1;
    }
    ruleRows.push_back({G("抽奖规则指纹(SHA-256)"), h.RulesHash});
    ruleRows.push_back(
        {G("排除的中奖者"),
         std::to_string(h.Excluded.size()) + G("人, 指纹(SHA-256) ") + ExcludedHashOf(h.Excluded)});
    rows.insert(rows.end() - 1, ruleRows.begin(), ruleRows.end());
  }
  // A draw of those checked in: how many and their fingerprint.
  if (h.CheckinOnly)
    rows.insert(
        rows.end() - 1,
        TAuditRows::value_type{G("仅抽取已签到人员"), std::to_string(h.Present.size()) +
                                                          G("人, 指纹(SHA-256) ") + h.PresentHash});
  // Which opening of the task's draw this was, beside the seed; the other heads travel in
  // the bundle.
  if (h.Opening > 0) {
    const auto seed = std::find_if(rows.begin(), rows.end(),
                                   [](const auto& row) { return row.first == G("随机数种子"); });
    rows.insert(seed + 1, TAuditRows::value_type{G("开启次数"), OpeningText(h)});
  }
  return true;
}

std::string AuditReportText(const TAuditRows& rows) {
  std::string s;
  for (const auto& [label, value] : rows) s += label + ": " + value + "\r\n";
  return s;
}

bool WriteAuditBundle(const TLuckTask& task, std::string_view gbkZipPath, std::string& error) {
  if (gbkZipPath.empty()) {
    error = G("文件名为空，请选择文件名");
    return false;
  }
  TAuditRows rows;
  if (!AuditReport(task, rows, error)) return false;
  TJournal j;
  if (!FinishedJournal(task, j, error)) return false;
  // Name in the bundle, file it comes from, whether it must exist.
  struct Entry {
    std::string name;
    std::string path;
    bool required;
  };
  std::vector<Entry> entries = {
      {paths::DrawDataPath("", task.TaskId), DrawDataFileOf(task), true},
  };
  for (const TJournalItem& it : j.Head.Items)
    entries.push_back({paths::PresetFilePath("", task.TaskId, it.ItemId),
                       paths::PresetFilePath(task.TaskId, it.ItemId), false});
  entries.push_back(
      {paths::FinishedJournalPath("", task.TaskId), paths::FinishedJournalPath(task.TaskId), true});
  for (const TJournalItem& it : j.Head.Items)
    entries.push_back({paths::WinnerFilePath("", task.TaskId, it.ItemId),
                       paths::WinnerFilePath(task.TaskId, it.ItemId), true});
  // Items added during the draw have their winner files too.
  std::vector<int32_t> itemIds;
  for (const TJournalItem& it : j.Head.Items) itemIds.push_back(it.ItemId);
  for (const TJournalOther& o : j.Others) {
    TPlanRecord r;
    if (ParsePlanRecord(o.Line, r) == PlanParse::Ok && r.Kind == TPlanKind::Add) {
      itemIds.push_back(r.ItemId);
      entries.push_back({paths::WinnerFilePath("", task.TaskId, r.ItemId),
                         paths::WinnerFilePath(task.TaskId, r.ItemId), true});
    }
  }
  // Absent and voided winners, where the draw had any.
  for (const int32_t itemId : itemIds) {
    entries.push_back({paths::AbsentFilePath("", task.TaskId, itemId),
                       paths::AbsentFilePath(task.TaskId, itemId), false});
    entries.push_back(
        {VoidFilePath("", task.TaskId, itemId), VoidFilePath(task.TaskId, itemId), false});
  }
  // The check-in file, for a draw of those checked in.
  if (j.Head.CheckinOnly)
    entries.push_back(
        {checkin::CheckinFilePath("", task.TaskId), checkin::CheckinFilePath(task.TaskId), false});

  // The prizes claimed, for the check that each went to a winner of this draw.
  const std::string drawKey = claims::JournalDrawKey(paths::FinishedJournalPath(task.TaskId));
  if (!drawKey.empty())
    entries.push_back({claims::ClaimFilePath("", task.TaskId, drawKey),
                       claims::ClaimFilePath(task.TaskId, drawKey), false});

  std::vector<std::unique_ptr<std::string>> contents;  // alive until the zip is closed
  sheet::ZipWriter zip;
  if (!zip.Ok()) {
    error = G("无法创建压缩文件");
    return false;
  }
  for (const Entry& e : entries) {
    auto bytes = std::make_unique<std::string>();
    if (!paths::FileExists(e.path)) {
      if (!e.required) continue;
      error = G("文件不存在：") + e.path;
      return false;
    }
    std::string why;
    if (!files::ReadWholeFile(e.path, *bytes, why)) {
      error = G("无法读取文件") + e.path;
      return false;
    }
    if (!zip.Add(e.name, *bytes)) {
      error = G("无法创建压缩文件");
      return false;
    }
    contents.push_back(std::move(bytes));
  }
  contents.push_back(std::make_unique<std::string>(AuditReportText(rows)));
  bool added = zip.Add(kAuditReportEntry, *contents.back());
  // The rules and the excluded ids exactly as their fingerprints were taken.
  if (!j.Head.Rules.empty()) {
    contents.push_back(std::make_unique<std::string>(j.Head.Rules));
    added = added && zip.Add(kAuditRulesEntry, *contents.back());
    auto ids = std::make_unique<std::string>();
    for (const std::string& id : j.Head.Excluded) *ids += id + "\n";
    contents.push_back(std::move(ids));
    added = added && zip.Add(kAuditExcludedEntry, *contents.back());
  }
  if (j.Head.CheckinOnly) {
    auto ids = std::make_unique<std::string>();
    for (const std::string& id : j.Head.Present) *ids += id + "\n";
    contents.push_back(std::move(ids));
    added = added && zip.Add(kAuditCheckinEntry, *contents.back());
  }
  // The heads of every other opening of the task, so that the chain can be followed.
  std::string heads;
  const std::string own = claims::JournalDrawKey(paths::FinishedJournalPath(task.TaskId));
  for (const std::string& line : TaskHeadLines(paths::DataRoot(), task.TaskId))
    if (JournalHeadKey(line) != own) heads += line;
  if (!heads.empty()) {
    contents.push_back(std::make_unique<std::string>(std::move(heads)));
    added = added && zip.Add(OpeningsFilePath("", task.TaskId), *contents.back());
  }
  std::string out;
  if (!added || !zip.Finish(out)) {
    error = G("无法创建压缩文件");
    return false;
  }
  return files::WriteFileAtomic(gbkZipPath, out, error);
}
