#include "core/checkin/WinnersBoard.h"

#include "core/draw/DataDraw.h"
#include "core/draw/DrawJournal.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"

namespace checkin {

TWinnersBoard BoardOf(const TDataDraw& engine, size_t revealedLines) {
  TWinnersBoard board;
  const TWinnerList& list = engine.WinnerList();
  const std::vector<std::string>& lines = list.Lines();
  const TArrLuckId& winners = engine.Winners();
  const size_t n = std::min(revealedLines, lines.size());
  for (size_t i = 0; i < n; ++i) {
    const int32_t place = list.PlaceAt(i);
    bool caption = false;
    if (place < 0 && !lines[i].empty() && lines[i].back() == ':') {
      for (const TLuckItem& item : engine.Items())
        if (lines[i] == item.ItemName + ":") caption = true;
    }
    board.Lines.push_back({lines[i], caption});
    if (place < 0 || static_cast<size_t>(place) >= winners.size()) continue;
    const TLuckId& w = winners[static_cast<size_t>(place)];
    for (const TLuckItem& item : engine.Items()) {
      if (item.ItemId != w.ItemId) continue;
      // Repeated winning: every item the id won, in draw order.
      std::string& won = board.WonBy[std::string(CandidateId(w.CandidateLine))];
      if (won.empty())
        won = item.ItemName;
      else if (won.find(item.ItemName) == std::string::npos)
        won += text::G("、") + item.ItemName;
      break;
    }
  }
  return board;
}

bool DrawHasBegun(int32_t taskId) {
  TJournal j;
  std::string ignored;
  const JournalRead r = ReadJournal(paths::JournalPath(taskId), j, ignored);
  return r == JournalRead::Ok ? j.Started || !j.Batches.empty() : r == JournalRead::Damaged;
}

std::string CloseForDrawQuestion(size_t checkedIn, size_t total) {
  return text::G("签到还在进行（") + CountText(checkedIn, total) +
         text::G("）。打开抽奖屏幕将结束签到，只抽取已签到的人员。现在结束签到并开始抽奖吗？");
}

std::string DrawBegunText() {
  return text::G("该项目的抽奖已经开始，签到名单已确定，不能再签到。");
}

}  // namespace checkin
