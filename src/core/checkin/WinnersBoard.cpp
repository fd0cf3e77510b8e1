#include "core/checkin/WinnersBoard.h"

#include "core/draw/DataDraw.h"
#include "core/text/Gbk.h"
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

}  // namespace checkin
