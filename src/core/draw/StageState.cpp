#include "core/draw/StageState.h"

#include <algorithm>

#include "core/draw/StageObserver.h"

namespace {

// The reveal is in sight from the reveal on; before it (a roll, its landing, a
// replacement rolling) the winners are the hall's surprise still.
bool RevealInSight(TStagePhase p) {
  return p == TStagePhase::Revealed || p == TStagePhase::Choosing || p == TStagePhase::Finished ||
         p == TStagePhase::Summary;
}

}  // namespace

TStageState StageStateOf(const TStage& stage, const TDataDraw& engine) {
  TStageState s;
  const TDrawSession& session = engine.Session();
  s.open = stage.Phase() != TStagePhase::Closed;
  s.taskId = session.Task.TaskId;
  // The title the hall sees, as the phones' pages name the task.
  s.task = session.Task.MainTitle.empty() ? session.Task.TaskName : session.Task.MainTitle;
  s.phase = stage.Phase();
  s.asking = stage.Asking();
  s.finished = engine.state() == TDataDraw::State::Finished;
  s.grand = stage.GrandMoment();
  s.mayMarkAbsent = engine.MayMarkAbsent();
  const int32_t item = engine.CurItemIndex();
  if (!s.finished && item >= 0 && static_cast<size_t>(item) < session.Items.size()) {
    s.prize = stage.PrizeText(item);
    const TLuckItem& it = session.Items[static_cast<size_t>(item)];
    s.left = std::max(0, it.LuckCount - it.DrawnCount);
  }
  // A reveal the window has not shown yet is not the hall's yet either.
  if (!RevealInSight(s.phase) || stage.Untold()) return s;
  const std::vector<size_t> places = stage.RevealedPlaces();
  const TStageReveal reveal = stage.RevealOf(places);
  s.lines = reveal.lines;
  for (const TStageCardText& c : reveal.cards) s.cards.push_back({c.id, c.name, c.rest, {}});
  if (s.phase == TStagePhase::Choosing)
    for (size_t i = 0; i < places.size(); ++i)
      if (places[i] == stage.Choice()) s.chosen = static_cast<int>(i);
  return s;
}

void TellMoved(const TDrawSession& session, const TStageState& state) {
  for (TStageObserver* o : session.Watchers()) o->Moved(state);
}
