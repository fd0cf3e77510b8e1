// The moment of the stage as a remote sees it: what the projector shows of the draw now,
// never a winner still rolling and nothing of the draw's secret. The stage makes it
// (TStage::State) and tells it to the session's observers after each input.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/draw/StageFrame.h"

struct TStageState {
  bool open = false;  // a draw screen of imported data is up
  int32_t taskId = 0;
  std::string task;  // GBK
  TStagePhase phase = TStagePhase::Closed;
  std::string prize;  // the prize line of the item now drawn (GBK), empty when none
  int32_t left = 0;   // winners of that item still to draw
  // The item whose prize line is in sight (the roll's), 0 before any.
  int32_t itemId = 0;
  bool finished = false;
  bool grand = false;  // the grand prize's moment: the next start key tells the end
  bool mayMarkAbsent = false;
  // The winners of the last reveal (or the replacement alone), as the projector shows them:
  // on cards up to six (photos left out), else as short lines. Empty until revealed.
  std::vector<TStageCardText> cards;
  std::vector<std::string> lines;
  int chosen = -1;  // Choosing: the index among those of the winner chosen
  // A question or message in sight on the screen (GBK, as the screen shows it), and which
  // question.
  std::string prompt;
  bool promptAsks = false;
  TStageQuestion asking = TStageQuestion::None;
  // A change to the plan or a void is taken now (TStage::Change).
  bool mayChange = false;
  // 黑屏: the projector shows its background alone, and no roll starts until 恢复.
  bool blanked = false;
  // Why the operator's last input was refused, for the operator's eyes only (GBK); empty
  // when it was not. Cleared by the next input.
  std::string note;
  bool operator==(const TStageState&) const = default;
};

// Whether a remote's `input` counts in `state`: 黑屏 whenever no roll runs and 恢复 while
// blanked, whatever is in sight; else what is in sight is answered first (a question by Yes
// or No, a message by Ok); otherwise what the phase allows. The one rule
// for the stage's Press and for the buttons the host's page offers.
bool Allows(const TStageState& state, TStageInput input);
// A batch or a replacement is being fixed, rolls or lands: the projector may not go blank.
bool RollUnderWay(TStagePhase phase);
