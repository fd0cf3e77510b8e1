#include "core/results/QueryRules.h"

#include <algorithm>

#include "core/records/DrawDataFile.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"

namespace query {

int ExportScope(bool onlySelected, int selected, const TArrLuckItem& items) {
  if (onlySelected && selected >= 0 && selected < static_cast<int>(items.size()))
    return items[static_cast<size_t>(selected)].ItemId;
  return -1;
}

namespace {

bool IsLead(unsigned char b) { return b >= 0x81 && b <= 0xFE; }

char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Compares `needle` with `hay` from `at`, Latin letters folded; the needle's two-byte
// characters are compared as they are.
bool MatchesAt(std::string_view hay, size_t at, std::string_view needle) {
  if (hay.size() - at < needle.size()) return false;
  for (size_t k = 0; k < needle.size(); ++k) {
    const char h = hay[at + k];
    const char n = needle[k];
    if (IsLead(static_cast<unsigned char>(n)) && k + 1 < needle.size()) {
      if (h != n || hay[at + k + 1] != needle[k + 1]) return false;
      ++k;
      continue;
    }
    if (FoldAscii(h) != FoldAscii(n)) return false;
  }
  return true;
}

bool RowMatches(const std::vector<std::string>& fields, std::string_view needle) {
  return std::any_of(fields.begin(), fields.end(), [needle](const std::string& f) {
    return ContainsText(ShownField(f), needle);
  });
}

// Characters that a file name cannot hold become '_'; two-byte characters stay whole.
std::string SafeFileName(const std::string& name) {
  std::string out;
  out.reserve(name.size());
  for (size_t i = 0; i < name.size(); ++i) {
    const unsigned char b = static_cast<unsigned char>(name[i]);
    if (IsLead(b) && i + 1 < name.size()) {
      out += name[i];
      out += name[++i];
    } else if (b < 32 || std::string_view("\\/:*?\"<>|").find(name[i]) != std::string_view::npos) {
      out += '_';
    } else {
      out += name[i];
    }
  }
  return out;
}

}  // namespace

bool ContainsText(std::string_view hay, std::string_view needle) {
  if (needle.empty()) return true;
  for (size_t at = 0; at < hay.size();) {
    if (MatchesAt(hay, at, needle)) return true;
    at += IsLead(static_cast<unsigned char>(hay[at])) && at + 1 < hay.size() ? 2 : 1;
  }
  return false;
}

int FindWinnerRow(const std::vector<std::vector<std::string>>& rows, int selected,
                  std::string_view needle) {
  const int n = static_cast<int>(rows.size());
  if (needle.empty() || n == 0) return -1;
  const int start = selected >= 0 && selected < n ? selected : -1;
  for (int step = 1; step <= n; ++step) {
    const int r = (start + step) % n;
    if (RowMatches(rows[static_cast<size_t>(r)], needle)) return r;
  }
  return -1;
}

TWinnerHit FindWinnerInItems(const std::vector<std::vector<std::vector<std::string>>>& items,
                             int item, int row, std::string_view needle) {
  if (needle.empty()) return {};
  std::vector<TWinnerHit> order;
  int start = -1;
  for (size_t i = 0; i < items.size(); ++i)
    for (size_t r = 0; r < items[i].size(); ++r) {
      if (static_cast<int>(i) == item && static_cast<int>(r) == row)
        start = static_cast<int>(order.size());
      order.push_back({static_cast<int>(i), static_cast<int>(r)});
    }
  // A start on an item without winners goes on from that item's place in the order.
  if (start < 0 && item >= 0) {
    for (size_t k = 0; k < order.size() && order[k].item < item; ++k) start = static_cast<int>(k);
  }
  const int n = static_cast<int>(order.size());
  for (int step = 1; step <= n; ++step) {
    const TWinnerHit at = order[static_cast<size_t>((start + step) % n)];
    if (RowMatches(items[static_cast<size_t>(at.item)][static_cast<size_t>(at.row)], needle))
      return at;
  }
  return {};
}

std::vector<std::vector<std::string>> SearchRows(const TWinnerFile& winners,
                                                 const TAbsentFile& absent) {
  std::vector<std::vector<std::string>> rows = winners.rows;
  if (!absent.exists || absent.rows.empty()) return rows;
  rows.emplace_back();  // the 缺席名单： line
  for (const TAbsentFile::Row& r : absent.rows) rows.push_back(r.fields);
  return rows;
}

std::string ClaimRecordedText(std::string_view id, std::string_view name, std::string_view itemName,
                              std::string_view time, std::string_view desk) {
  std::string who(id);
  if (!name.empty()) who += " " + std::string(name);
  return text::G("已登记领取：") + who + text::G("，奖项[") + std::string(itemName) +
         text::G("]，") + std::string(time) + text::G("，") + std::string(desk);
}

std::string NotFoundText() { return text::G("未找到"); }

std::string NotDrawnText() { return text::G("该奖项尚未抽取"); }

bool HasWinnersToExport(const TArrLuckItem& items, int itemId) {
  return std::any_of(items.begin(), items.end(), [itemId](const TLuckItem& it) {
    return (itemId < 0 || it.ItemId == itemId) &&
           paths::FileExists(paths::WinnerFilePath(it.TaskId, it.ItemId));
  });
}

std::string NothingToExportText(int itemId) {
  return text::G(itemId < 0 ? "该抽奖任务尚无中奖结果,没有可导出的内容"
                            : "该奖项尚未抽取,没有可导出的内容");
}

std::string ExportFileName(const TLuckTask& task, const TLuckItem* onlyItem,
                           std::string_view date) {
  std::string name = text::Trim(task.TaskName);
  if (onlyItem) name += "_" + text::Trim(onlyItem->ItemName);
  name += "_" + std::string(date);
  return SafeFileName(name);
}

std::string AuditFileName(const TLuckTask& task, std::string_view date) {
  return SafeFileName(text::Trim(task.TaskName) + text::G("_审计包_") + std::string(date));
}

std::string WinnerCountText(int count) {
  return text::G("共(") + std::to_string(count) + text::G(")名");
}

const char* ExportExtension(ExportKind kind) { return kind == ExportKind::Text ? "txt" : "xlsx"; }

const char* ExportTypeName(ExportKind kind) {
  return kind == ExportKind::Text ? "文本文件" : "Excel文件";
}

std::string ExportDoneText(ExportKind kind, std::string_view gbkPath) {
  return text::G(kind == ExportKind::Text ? "已经成功导出文本文件：" : "已经成功导出EXCEL文件：") +
         std::string(gbkPath);
}

}  // namespace query
