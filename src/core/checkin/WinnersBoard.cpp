#include "core/checkin/WinnersBoard.h"

#include <algorithm>

#include "core/draw/DataDraw.h"
#include "core/draw/DrawJournal.h"
#include "core/text/Gbk.h"
#include "core/text/Text.h"

namespace checkin {

TWinnersBoard BoardOf(const TRevealedList& list) {
  TWinnersBoard board;
  for (const TRevealedLine& l : list.lines) {
    board.Lines.push_back({l.text, l.caption});
    if (l.place < 0) continue;
    // Repeated winning: every item the id won, in draw order.
    std::string& won = board.WonBy[l.id];
    if (won.empty())
      won = l.item;
    else if (won.find(l.item) == std::string::npos)
      won += text::G("、") + l.item;
  }
  return board;
}

void TWinnersFeed::Revealed(const TRevealedList& list) {
  if (list.taskId != m_taskId) return;
  const bool drawn = std::any_of(list.lines.begin(), list.lines.end(),
                                 [](const TRevealedLine& l) { return l.place >= 0; });
  if (drawn && m_desk.IsOpen()) m_desk.Close();
  m_desk.SetBoard(BoardOf(list));
}

}  // namespace checkin
