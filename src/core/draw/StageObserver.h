// What others see of the stage: the winners list as the hall has seen it, handed to every
// observer at each reveal. The phones' winners board is one; a host's remote or the prize
// desk would be further ones, watching the same list.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One line of the winners list as the stage shows it (GBK, masked as shown): a prize item's
// caption, a winner's line, or a blank line between items. `place` is the winner's place in
// draw order (-1 for a caption, a blank line or an absent winner); `id` and `item` name the
// winner and the prize item of such a place; `itemId` and the winner's candidate line are
// for the prize desk, which shows the name to its paired phone only.
struct TRevealedLine {
  std::string text;
  bool caption = false;
  int32_t place = -1;
  std::string id;
  std::string item;
  int32_t itemId = 0;
  std::string line;
  bool operator==(const TRevealedLine&) const = default;
};

// The winners list up to the last reveal of the task's draw, and the winners voided on the
// stage so far (`voided`, in the order voided, each with its place at the void).
struct TRevealedList {
  int32_t taskId = 0;
  std::vector<TRevealedLine> lines;
  std::vector<TRevealedLine> voided;
  bool operator==(const TRevealedList&) const = default;
};

struct TStageState;

class TStageObserver {
 public:
  virtual ~TStageObserver() = default;
  // A batch or a replacement was revealed, or an earlier draw resumed: `list` is the whole
  // winners list the hall has seen, never a line of a winner still rolling. Told again at
  // once after a void, with the voided winners.
  virtual void Revealed(const TRevealedList& list) = 0;
  // The stage moved (an input, a timer, a question or message in sight): what a remote
  // shows of it now. Told again with the same state; the observer keeps what changed.
  virtual void Moved(const TStageState&) {}
};
