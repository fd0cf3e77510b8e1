#include "results/QueryRules.h"

#include <algorithm>

#include "text/Gbk.h"

namespace query {

int ExportScope(bool onlySelected, int selected, const TArrLuckItem& items) {
  if (onlySelected && selected >= 0 && selected < static_cast<int>(items.size()))
    return items[static_cast<size_t>(selected)].ItemId;
  return -1;
}

int FindRowFrom(const std::vector<std::string>& column0, int selected, std::string_view needle) {
  for (int r = std::max(selected, 1); r < static_cast<int>(column0.size()); ++r) {
    if (column0[static_cast<size_t>(r)].find(needle) != std::string::npos) return r;
  }
  return -1;
}

std::string WinnerCountText(int count) {
  return text::G("共(") + std::to_string(count) + text::G(")名");
}

const char* ExportExtension(ExportKind kind) { return kind == ExportKind::Text ? "txt" : "xlsx"; }

std::string ExportDoneText(ExportKind kind, std::string_view gbkPath) {
  return text::G(kind == ExportKind::Text ? "已经成功导入文本文件：" : "已经成功导入EXCEL文件：") +
         std::string(gbkPath);
}

}  // namespace query
