#include "core/import/ExcludeList.h"

#include <algorithm>
#include <unordered_set>

#include "core/import/Sheet.h"
#include "core/text/Gbk.h"
#include "core/text/Text.h"

namespace config {

bool ReadExcludeList(std::string_view gbkPath, std::string_view firstHead,
                     const std::vector<std::string>& candidates, TExcludeList& out,
                     std::string& error) {
  TExcludeList read;
  bool first = true;
  sheet::Visitor visitor;
  visitor.onRow = [&](int64_t, const std::vector<std::string>& cells) {
    const auto cell = std::find_if(cells.begin(), cells.end(),
                                   [](const std::string& c) { return !text::Trim(c).empty(); });
    if (cell == cells.end()) return true;
    std::string id(text::FirstField(*cell));
    // A control byte would split the rules' text; it is no part of an id.
    std::erase_if(id, [](char c) { return static_cast<unsigned char>(c) < 32; });
    if (id.empty()) return true;
    if (first && !firstHead.empty() && id == firstHead) {
      read.HeadSkipped = true;
    } else {
      read.Ids.push_back(id);
      ++read.Rows;
    }
    first = false;
    return true;
  };
  if (!sheet::ReadSheet(gbkPath, visitor, error)) return false;
  if (read.Ids.empty()) {
    error = text::G("排除名单文件中没有号码：") + std::string(gbkPath);
    return false;
  }
  std::sort(read.Ids.begin(), read.Ids.end());
  read.Ids.erase(std::unique(read.Ids.begin(), read.Ids.end()), read.Ids.end());
  std::unordered_set<std::string_view> ids(read.Ids.begin(), read.Ids.end());
  for (const std::string& line : candidates) read.OnList += ids.erase(text::FirstField(line));
  out = std::move(read);
  return true;
}

std::string ExcludeListSummary(const TExcludeList& list) {
  return text::G("排除名单：读到") + std::to_string(list.Ids.size()) + text::G("个号码，其中") +
         std::to_string(list.OnList) + text::G("人在抽奖名单中");
}

}  // namespace config
