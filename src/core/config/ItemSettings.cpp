#include "core/config/ItemSettings.h"

#include "core/config/ConfigStore.h"
#include "core/config/Refusal.h"
#include "core/db/TombolixDM.h"
#include "core/records/Loaders.h"
#include "core/text/Gbk.h"
#include "core/text/Text.h"

namespace config {

using text::G;
using text::Trim;

namespace {

// ListIndex = position + 1 for each listed position, on the query given.
bool WriteIndexes(db::TQuery& q, int taskId, const std::vector<std::string>& lines, int first,
                  int last, std::string& error) {
  for (int p = first; p <= last; ++p) {
    if (!db::ExecSql(q, db::sql::kUpdateItemIndex,
                     {int64_t{p} + 1, int64_t{taskId}, lines[static_cast<size_t>(p)]}, error))
      return false;
  }
  return true;
}

void ReadRow(const db::TQuery& q, TItemRow& row) {
  ReadItemRecord(q, row);
  row.ListIndex = q.FieldAsInteger("ListIndex");
}

}  // namespace

bool CheckItem(TItemSettings& s, bool probabilityTask, TItemFailure& f) {
  f = {};
  int32_t id = 0;
  if (!text::ParseInt32(Trim(s.TaskId), id))
    return Refuse(f, MessageKind::Attention, {}, ItemField::None);
  if (Trim(s.Name).empty())
    return Refuse(f, MessageKind::Attention, G("请输入奖项名称!"), ItemField::Name);
  const std::string luck = Trim(s.LuckCount);
  if (luck.empty())
    return Refuse(f, MessageKind::Attention, G("请输入中奖个数!"), ItemField::LuckCount);
  int32_t luckCount = 0;
  std::string message;
  if (!detail::NumberField(luck, kMaxItemCount, "中奖个数", luckCount, message))
    return Refuse(f, MessageKind::Attention, message, ItemField::LuckCount);
  if (probabilityTask) {
    s.ListCount = s.LuckCount;
  } else if (Trim(s.ListCount).empty()) {
    return Refuse(f, MessageKind::Attention, G("请输入每次抽取个数!"), ItemField::ListCount);
  }
  int32_t listCount = 0;
  if (!detail::NumberField(Trim(s.ListCount), kMaxItemCount, "每次抽取个数", listCount, message))
    return Refuse(f, MessageKind::Attention, message, ItemField::ListCount);
  if (luckCount < listCount)
    return Refuse(f, MessageKind::Attention, G("[每次抽取个数]不能大于[中奖个数],请重新选择"),
                  ItemField::ListCount);
  // The data draw refuses an item that draws nobody; say so here, where it can be mended.
  if (!probabilityTask && luckCount < 1)
    return Refuse(f, MessageKind::Attention, G("[中奖个数]必须大于0,请重新输入!"),
                  ItemField::LuckCount);
  if (!probabilityTask && listCount < 1)
    return Refuse(f, MessageKind::Attention, G("[每次抽取个数]必须大于0,请重新输入!"),
                  ItemField::ListCount);
  if (!Trim(s.ItemId).empty() && !text::ParseInt32(Trim(s.ItemId), id))
    return Refuse(f, MessageKind::Attention, {}, ItemField::None);
  return true;
}

bool SaveItem(TItemSettings& s, bool probabilityTask, int itemCount, TItemFailure& f) {
  if (!CheckItem(s, probabilityTask, f)) return false;
  int32_t taskId = 0, luckCount = 0, listCount = 0, itemId = 0;
  text::ParseInt32(Trim(s.TaskId), taskId);
  text::ParseInt32(Trim(s.LuckCount), luckCount);
  text::ParseInt32(Trim(s.ListCount), listCount);
  const bool insert = Trim(s.ItemId).empty();
  if (!insert) text::ParseInt32(Trim(s.ItemId), itemId);
  const std::string name = Trim(s.Name);
  std::string error;
  db::TQuery* q = detail::SharedQuery(error);
  if (!q) return Refuse(f, MessageKind::Error, error, ItemField::None);

  // Items are shown and renumbered by name, so a name may be used once per task.
  if (!db::OpenSql(*q, db::sql::kCountItemsNamed, {int64_t{taskId}, name, int64_t{itemId}}, error))
    return Refuse(f, MessageKind::Error, error, ItemField::None);
  q->First();
  const bool taken = !q->Eof() && q->FieldAsInteger("Named") > 0;
  q->Close();
  if (taken)
    return Refuse(f, MessageKind::Attention,
                  G("该抽奖任务已有奖项[") + name + G("],请输入其他奖项名称!"), ItemField::Name);

  using N = int64_t;
  if (insert) {
    const int id = GetNextId(db::kSeqItemId);
    if (id < 0) return Refuse(f, MessageKind::Error, {}, ItemField::None);
    s.ItemId = std::to_string(id);
    if (!db::ExecSql(*q, db::sql::kInsertItem,
                     {N{id}, name, N{taskId}, N{luckCount}, N{listCount}, Trim(s.AwardName),
                      Trim(s.AwardImage), N{itemCount} + 1},
                     error)) {
      s.ItemId.clear();
      return Refuse(f, MessageKind::Error, error, ItemField::None);
    }
    return true;
  }
  if (!db::ExecSql(*q, db::sql::kUpdateItem,
                   {name, N{luckCount}, N{listCount}, Trim(s.AwardName), Trim(s.AwardImage),
                    N{taskId}, N{itemId}},
                   error))
    return Refuse(f, MessageKind::Error, error, ItemField::None);
  return true;
}

bool SelectItems(int taskId, std::vector<TItemRow>& rows, std::string& error) {
  rows.clear();
  db::TQuery* q = detail::ItemQuery(error);
  if (!q || !db::OpenSql(*q, db::sql::kSelectItems, {int64_t{taskId}}, error)) return false;
  for (q->First(); !q->Eof(); q->Next()) {
    TItemRow row;
    ReadRow(*q, row);
    rows.push_back(std::move(row));
  }
  return true;
}

bool SelectItemByName(int taskId, const std::string& name, TItemRow& row, bool& found,
                      std::string& error) {
  found = false;
  db::TQuery* q = detail::ItemQuery(error);
  if (!q || !db::OpenSql(*q, db::sql::kSelectItemByName, {name, int64_t{taskId}}, error))
    return false;
  q->First();
  if (q->Eof()) return true;
  ReadRow(*q, row);
  found = true;
  return true;
}

bool RenumberItems(int taskId, const std::vector<std::string>& lines, int a, int b,
                   std::string& error) {
  const int n = static_cast<int>(lines.size());
  error.clear();
  if (a < 0 || a >= n) return true;
  return detail::AllOrNothing(
      [&](db::TQuery& q, std::string& err) {
        if (!WriteIndexes(q, taskId, lines, a, a, err)) return false;
        if (b >= 0) return b >= n || WriteIndexes(q, taskId, lines, b, b, err);
        return WriteIndexes(q, taskId, lines, a + 1, n - 1, err);
      },
      error);
}

bool DeleteItem(int taskId, int itemId, const std::vector<std::string>& remaining, int from,
                std::string& error) {
  const int n = static_cast<int>(remaining.size());
  return detail::AllOrNothing(
      [&](db::TQuery& q, std::string& err) {
        if (!db::ExecSql(q, db::sql::kDeleteItem, {int64_t{taskId}, int64_t{itemId}}, err))
          return false;
        return WriteIndexes(q, taskId, remaining, from < 0 ? 0 : from, n - 1, err);
      },
      error);
}

}  // namespace config
