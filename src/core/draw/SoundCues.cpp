#include "core/draw/SoundCues.h"

#include "core/text/Gbk.h"

namespace {

bool Rolls(TStagePhase p) { return p == TStagePhase::Rolling || p == TStagePhase::Replacing; }

// The winners of a reveal are on the screen (the stage shows none before the window painted
// them).
bool RevealShown(const TStageState& s) {
  return (s.phase == TStagePhase::Revealed || s.phase == TStagePhase::Finished ||
          s.phase == TStagePhase::Choosing) &&
         (!s.cards.empty() || !s.lines.empty());
}

// The end of the draw is told: the summary, or the finished screen once the grand prize's
// moment is over.
bool EndTold(const TStageState& was, const TStageState& now) {
  if (now.phase == TStagePhase::Summary) return true;
  return now.phase == TStagePhase::Finished && !now.grand && was.grand;
}

}  // namespace

const TCueSound* TSoundSettings::Find(TSoundCue cue, int32_t itemId) const {
  if (cue == TSoundCue::ItemPiece) {
    const auto it = items.find(itemId);
    return it != items.end() && it->second.Set() ? &it->second : nullptr;
  }
  const TCueSound& s = Of(cue);
  if (!s.Set() && cue == TSoundCue::GrandFanfare) return Find(TSoundCue::Fanfare);
  return s.Set() ? &s : nullptr;
}

bool TSoundSettings::Empty() const {
  for (const TCueSound& c : cues)
    if (c.Set()) return false;
  for (const auto& [id, c] : items)
    if (c.Set()) return false;
  return true;
}

TSoundSettings LegacySounds(const std::string& musicPath) {
  TSoundSettings s;
  if (musicPath.empty()) return s;
  s.Of(TSoundCue::RollLoop).path = musicPath;
  s.Of(TSoundCue::Fanfare).builtIn = true;
  return s;
}

std::string CueName(TSoundCue cue) {
  switch (cue) {
    case TSoundCue::RollLoop:
      return text::G("滚动音乐");
    case TSoundCue::Hit:
      return text::G("停止音");
    case TSoundCue::Fanfare:
      return text::G("揭晓音乐");
    case TSoundCue::GrandFanfare:
      return text::G("大奖揭晓");
    case TSoundCue::Applause:
      return text::G("结束掌声");
    case TSoundCue::ItemPiece:
      return text::G("奖项音乐");
  }
  return {};
}

TCueStep TCueChooser::Next(const TStageState& now) {
  TCueStep step;
  if (Rolls(now.phase)) {
    m_rolled = false;
    m_applauded = false;
    step.loop = m_settings.Find(TSoundCue::ItemPiece, now.itemId)
                    ? TSoundPlay{TSoundCue::ItemPiece, now.itemId}
                    : TSoundPlay{TSoundCue::RollLoop, 0};
  } else if (Rolls(m_was.phase) && now.phase != TStagePhase::Closed &&
             now.phase != TStagePhase::Selecting) {
    step.shot = TSoundCue::Hit;
    m_rolled = true;
  }
  if (now.phase == TStagePhase::Closed) m_rolled = false;
  // The reveal sounds when the hall sees it, which may be the state after the roll stopped.
  if (m_rolled && RevealShown(now)) {
    m_rolled = false;
    step.shot = now.grand ? TSoundCue::GrandFanfare : TSoundCue::Fanfare;
  } else if (!m_applauded && EndTold(m_was, now)) {
    m_applauded = true;
    step.shot = TSoundCue::Applause;
  }
  m_was = now;
  return step;
}
