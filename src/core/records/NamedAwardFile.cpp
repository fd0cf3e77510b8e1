#include "core/records/NamedAwardFile.h"

#include <set>
#include <unordered_map>

#include "core/text/FileWrite.h"
#include "core/text/Gbk.h"
#include "core/text/LineReader.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"

using text::G;

std::string NamedAwardPath(int taskId, int itemId) {
  return paths::DataRoot() + std::string(paths::kDataFileFolder) + std::string(kNamedPrefix) +
         std::to_string(taskId) + "_" + std::to_string(itemId) + ".txt";
}

bool LoadNamedIds(int taskId, int itemId, std::vector<std::string>& ids, std::string& error) {
  ids.clear();
  return ForEachTrimmedLine(
      NamedAwardPath(taskId, itemId), [&](std::string_view t) { ids.emplace_back(t); }, error);
}

bool SaveNamedIds(int taskId, int itemId, const std::vector<std::string>& ids, std::string& error) {
  const std::string path = NamedAwardPath(taskId, itemId);
  std::set<std::string> seen;
  std::string all;
  for (const std::string& id : ids) {
    if (id.empty() || id.find_first_of(std::string_view(" \t\r\n", 4)) != std::string::npos ||
        text::Trim(id) != id) {
      error = G("指定颁奖的号码[") + id + G("]无效:号码不能为空,也不能含空格");
      return false;
    }
    if (!seen.insert(id).second) {
      error = G("指定颁奖的号码[") + id + G("]重复");
      return false;
    }
    all += id + "\r\n";
  }
  if (ids.empty()) return !paths::FileExists(path) || files::RemoveFile(path, error);
  return files::WriteFileAtomic(path, all, error);
}

bool NamedCandidates(const std::vector<std::string>& ids, const std::vector<std::string>& lines,
                     std::string_view itemName, std::vector<int32_t>& candidates,
                     std::string& error) {
  candidates.clear();
  std::unordered_map<std::string_view, int32_t> first;
  for (size_t k = lines.size(); k-- > 0;)
    first[text::FirstField(lines[k])] = static_cast<int32_t>(k);
  std::set<std::string> seen;
  for (const std::string& id : ids) {
    const auto at = first.find(id);
    if (at == first.end()) {
      error = G("奖项[") + std::string(itemName) + G("]指定颁奖的号码[") + id + G("]不在名单中");
      return false;
    }
    if (!seen.insert(id).second) {
      error = G("奖项[") + std::string(itemName) + G("]指定颁奖的号码[") + id + G("]重复");
      return false;
    }
    candidates.push_back(at->second);
  }
  return true;
}

bool CheckNamedAwards(const std::vector<TNamedItem>& items, const std::vector<std::string>& lines,
                      bool mayWinAgain, std::map<int32_t, std::vector<int32_t>>& candidates,
                      MessageKind& kind, std::string& error) {
  candidates.clear();
  const auto bracketed = [](const std::string& s) { return G("[") + s + G("]"); };
  std::map<int32_t, std::string> namedBy;  // a candidate's named award, by name
  for (const TNamedItem& it : items) {
    std::vector<int32_t> named;
    if (!NamedCandidates(it.Ids, lines, it.ItemName, named, error)) {
      kind = MessageKind::Error;
      return false;
    }
    if (named.empty()) continue;
    if (static_cast<int32_t>(named.size()) != it.LuckCount) {
      kind = MessageKind::Attention;
      error = G("奖项") + bracketed(it.ItemName) + G("指定颁奖") + std::to_string(named.size()) +
              G("人,与中奖人数") + std::to_string(it.LuckCount) + G("不符,请重新配置奖项");
      return false;
    }
    for (size_t i = 0; i < named.size(); ++i) {
      const auto [at, fresh] = namedBy.emplace(named[i], it.ItemName);
      if (!fresh && !mayWinAgain) {
        kind = MessageKind::Attention;
        error = G("号码[") + it.Ids[i] + G("]在奖项") + bracketed(at->second) + G("和") +
                bracketed(it.ItemName) + G("中都被指定颁奖,但本任务不允许重复中奖");
        return false;
      }
    }
    candidates[it.ItemId] = std::move(named);
  }
  return true;
}

std::string NamedColumnHead() { return G("颁奖方式"); }
std::string NamedMark() { return G("指定"); }

std::vector<std::string> NamedMarks(const TNamedWinners& named, int32_t itemId,
                                    const std::vector<std::string>& ids) {
  std::vector<std::string> marks(ids.size());
  bool any = false;
  for (size_t i = 0; i < ids.size(); ++i) {
    if (!named.count({itemId, ids[i]})) continue;
    marks[i] = NamedMark();
    any = true;
  }
  if (!any) marks.clear();
  return marks;
}
