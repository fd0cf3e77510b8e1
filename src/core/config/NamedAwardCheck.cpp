#include "core/config/NamedAwardCheck.h"

#include <map>

#include "core/config/ItemSettings.h"
#include "core/config/TaskSettings.h"
#include "core/records/NamedAwardFile.h"
#include "core/text/Gbk.h"

using text::G;

namespace config {

std::vector<std::string> SplitNamedIds(std::string_view t) {
  static const std::string_view kWide[] = {"\xA3\xAC", "\xA1\xA2", "\xA3\xBB", "\xA1\xA1"};
  std::vector<std::string> ids;
  std::string id;
  const auto end = [&] {
    if (!id.empty()) ids.push_back(std::move(id));
    id.clear();
  };
  for (size_t i = 0; i < t.size();) {
    const unsigned char c = static_cast<unsigned char>(t[i]);
    if (c >= 0x81 && i + 1 < t.size()) {
      // A two-byte character: a separator only when it is one of the full-width ones.
      const std::string_view two = t.substr(i, 2);
      bool separator = false;
      for (std::string_view w : kWide) separator = separator || two == w;
      if (separator)
        end();
      else
        id += two;
      i += 2;
      continue;
    }
    if (c <= 0x20 || c == ',' || c == ';')
      end();
    else
      id += static_cast<char>(c);
    ++i;
  }
  end();
  return ids;
}

bool CheckNamedAward(int32_t taskId, int32_t itemId, const std::string& itemName, int32_t luckCount,
                     const std::vector<std::string>& ids, const std::vector<std::string>& lines,
                     MessageKind& kind, std::string& error) {
  kind = MessageKind::Error;
  TLuckTask task;
  bool found = false;
  std::vector<TItemRow> rows;
  if (!SelectTask(taskId, task, found, error) || !SelectItems(taskId, rows, error)) return false;
  std::vector<TNamedItem> items;
  bool mine = false;
  for (const TItemRow& r : rows) {
    if (itemId > 0 && r.ItemId == itemId) {
      items.push_back({itemId, itemName, luckCount, ids});
      mine = true;
      continue;
    }
    TNamedItem n{r.ItemId, r.ItemName, r.LuckCount, {}};
    if (!LoadNamedIds(taskId, r.ItemId, n.Ids, error)) return false;
    items.push_back(std::move(n));
  }
  // A new item is drawn last.
  if (!mine) items.push_back({itemId, itemName, luckCount, ids});
  std::map<int32_t, std::vector<int32_t>> candidates;
  return CheckNamedAwards(items, lines, found && task.LuckAgain == 1, candidates, kind, error);
}

std::string NamedCountText(size_t named, int32_t luckCount) {
  return G("已指定") + std::to_string(named) + G("人,中奖个数") + std::to_string(luckCount);
}

std::string NamedDropQuestion(size_t count) {
  return G("取消指定颁奖后,已指定的") + std::to_string(count) +
         G("个号码将被删除,本奖项改为抽取。是否继续?");
}

}  // namespace config
