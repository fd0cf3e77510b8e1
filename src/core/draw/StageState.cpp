#include "core/draw/StageState.h"

bool RollUnderWay(TStagePhase p) {
  return p == TStagePhase::Selecting || p == TStagePhase::Rolling || p == TStagePhase::Landing ||
         p == TStagePhase::Replacing;
}

bool Allows(const TStageState& s, TStageInput in) {
  using I = TStageInput;
  if (!s.open) return false;
  if (in == I::Blank) return !s.blanked && !RollUnderWay(s.phase);
  if (in == I::Unblank) return s.blanked;
  // What is in sight on the screen is answered first, as its keys would.
  if (!s.prompt.empty()) return s.promptAsks ? in == I::Yes || in == I::No : in == I::Ok;
  switch (s.phase) {
    case TStagePhase::Ready:
      return in == I::Start || in == I::Leave;
    case TStagePhase::Rolling:
    case TStagePhase::Replacing:
      return in == I::Stop;
    case TStagePhase::Revealed:
    case TStagePhase::Finished:
      // 继续 goes on with the draw, or ends the grand prize's moment.
      return (in == I::Start && (!s.finished || s.grand)) ||
             (in == I::MarkAbsent && s.mayMarkAbsent) || in == I::Leave;
    case TStagePhase::Choosing:
      return in == I::Choose || in == I::CancelChoice;
    case TStagePhase::Summary:
      return in == I::Leave;
    case TStagePhase::Opening:
    case TStagePhase::Selecting:
    case TStagePhase::Landing:
    case TStagePhase::Closed:
      break;
  }
  return false;
}
