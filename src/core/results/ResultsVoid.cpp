#include "core/results/ResultsVoid.h"

#include "core/draw/DataDraw.h"
#include "core/draw/DrawnItems.h"
#include "core/draw/Random.h"
#include "core/records/ClaimFile.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"

using text::G;

namespace query {

namespace {

// The place in the draw's winners of the item's winner shown in `row` with `id`; -1 with the
// engine's message when the id holds no place of the item.
int32_t PlaceOfRow(const TDataDraw& e, int32_t itemId, int row, std::string_view id,
                   std::string& message) {
  const TArrLuckId& winners = e.Session().Winners;
  int32_t first = -1;
  int seen = 0;
  for (size_t i = 0; i < winners.size(); ++i) {
    if (winners[i].ItemId != itemId) continue;
    if (CandidateId(winners[i].CandidateLine) == id) {
      if (seen == row) return static_cast<int32_t>(i);
      if (first < 0) first = static_cast<int32_t>(i);
    }
    ++seen;
  }
  if (first >= 0) return first;
  // Not in place: voided already, or never a winner of the item; the engine says which.
  int32_t candidate = -1;
  for (const TVoidId& v : e.Voids())
    if (v.ItemId == itemId && CandidateId(v.CandidateLine) == id) candidate = v.CandidateIndex;
  return e.PlaceOf(itemId, candidate, message);
}

// The void on the draw's record; with `checkOnly` the checks alone.
bool VoidOnRecord(TDataDraw& e, int32_t taskId, int32_t itemId, int row, std::string_view id,
                  std::string_view reason, std::string_view time, bool checkOnly,
                  std::string& message) {
  TDrawFailure failure;
  if (!e.SetUp(taskId, failure)) {
    message = failure.text;
    return false;
  }
  if (!e.OpenFinished(message)) {
    if (message.empty()) message = G("本任务没有已完成的抽奖记录");
    return false;
  }
  const int32_t place = PlaceOfRow(e, itemId, row, id, message);
  if (place < 0) return false;
  if (checkOnly) return true;
  TDataDraw::BatchEnd end;
  if (!e.VoidWinner(static_cast<size_t>(place), reason, time, false, end, message)) return false;
  if (!end.saved) {
    message = G("作废已记入抽奖记录,但中奖名单未能写入,下次打开时补写:") + end.saveError;
    return false;
  }
  return true;
}

// Runs the void (or its checks) on an engine of its own over `session`, then loads the task
// into `session` again as the results do.
bool OnEngine(TDrawSession& session, int32_t taskId, int32_t itemId, int row, std::string_view id,
              std::string_view reason, std::string_view time, bool checkOnly,
              std::string& message) {
  message.clear();
  // A generator of its own: the engine takes it up from the draw's record.
  TRandom rng;
  bool ok = false;
  {
    TDataDraw e(session, rng);
    ok = VoidOnRecord(e, taskId, itemId, row, id, reason, time, checkOnly, message);
    e.Close();
  }
  // The results go on with the task as they load it.
  std::string error;
  if ((!session.LoadTask(taskId, error) ||
       !LoadItemsAsDrawn(taskId, session.Items, session.ItemCount, session.LuckTotal, error)) &&
      message.empty())
    message = error;
  return ok;
}

}  // namespace

bool MayVoidFromResults(const TLuckTask& task) {
  return task.OrderBy == TDrawType::FromData &&
         paths::FileExists(paths::FinishedJournalPath(task.TaskId));
}

std::string ClaimedVoidQuestion(std::string_view time, std::string_view desk) {
  return G("该中奖者已领奖（") + std::string(time) + " " + std::string(desk) + G("），仍要作废?");
}

std::string ClaimedVoidReason(std::string_view reason, std::string_view time,
                              std::string_view desk) {
  return std::string(reason) + G("；已于 ") + claims::ClockOf(time) + G(" 领奖（") +
         std::string(desk) + G("）");
}

std::string VoidConfirmText(std::string_view itemName, std::string_view shown,
                            std::string_view reason) {
  return G("确定作废[") + std::string(itemName) + "] " + std::string(shown) + G("?\n原因：") +
         std::string(reason) + G("\n名额将空缺，不再重抽。");
}

std::string VoidDoneText(std::string_view itemName, std::string_view id, std::string_view reason) {
  return G("已作废：[") + std::string(itemName) + "] " + std::string(id) + G("（") +
         std::string(reason) + G("），名额空缺");
}

bool CheckVoidFromResults(TDrawSession& session, int32_t taskId, int32_t itemId, int row,
                          std::string_view id, std::string& message) {
  return OnEngine(session, taskId, itemId, row, id, {}, {}, true, message);
}

bool VoidFromResults(TDrawSession& session, int32_t taskId, int32_t itemId, int row,
                     std::string_view id, std::string_view reason, std::string_view time,
                     std::string& message) {
  return OnEngine(session, taskId, itemId, row, id, reason, time, false, message);
}

}  // namespace query
