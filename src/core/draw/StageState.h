// The moment of the stage as a remote sees it: what the projector shows of the draw now,
// never a winner still rolling and nothing of the draw's secret. Made from the stage and its
// engine after each input, and told to the session's observers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/draw/DataDraw.h"
#include "core/draw/Stage.h"

struct TStageState {
  bool open = false;  // a draw screen of imported data is up
  int32_t taskId = 0;
  std::string task;  // GBK
  TStagePhase phase = TStagePhase::Closed;
  std::string prize;  // the prize line of the item now drawn (GBK), empty when none
  int32_t left = 0;   // winners of that item still to draw
  bool finished = false;
  bool grand = false;  // the grand prize's moment: the next start key tells the end
  bool mayMarkAbsent = false;
  // The winners of the last reveal (or the replacement alone), as the projector shows them:
  // on cards up to six (photos left out), else as short lines. Empty until revealed.
  std::vector<TStageCardText> cards;
  std::vector<std::string> lines;
  int chosen = -1;  // Choosing: the index among those of the winner chosen
  // A question or message in sight on the screen (GBK), and which question.
  std::string prompt;
  bool promptAsks = false;
  TStageQuestion asking = TStageQuestion::None;
  bool operator==(const TStageState&) const = default;
};

// The state of `stage` over `engine`; the prompt is the window's to fill in.
TStageState StageStateOf(const TStage& stage, const TDataDraw& engine);

// Tells each observer of `session` the state.
void TellMoved(const TDrawSession& session, const TStageState& state);
