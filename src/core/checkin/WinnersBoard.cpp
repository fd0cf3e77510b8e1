#include "core/checkin/WinnersBoard.h"

#include "core/draw/DrawJournal.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
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
  if (list.taskId == m_taskId) m_desk.SetBoard(BoardOf(list));
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
