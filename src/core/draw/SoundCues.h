// The show's sound: which cue sounds at which moment of the stage. A roll loop while a batch
// or a replacement rolls (an item's own piece instead, when the item has one), a hit when
// the roll stops, a fanfare when the reveal comes into sight (a longer one for the grand
// prize's moment) and applause when the end of the draw is told. The cues are chosen from
// the stage's state as its observers see it, so the window's sound follows the stage
// whatever sent the input (a key, a clicker, a phone). Playing is the window's business.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>

#include "core/draw/StageState.h"

enum class TSoundCue {
  RollLoop,      // 滚动循环: loops while a roll runs
  Hit,           // 停止音: the roll stops
  Fanfare,       // 揭晓: the reveal comes into sight
  GrandFanfare,  // 大奖揭晓: the grand prize's reveal
  Applause,      // 结束掌声: the end of the draw
  ItemPiece,     // an item's own piece, looping in place of the roll loop
};
inline constexpr size_t kSoundCueCount = 5;  // the cues before ItemPiece, one each per task

// One cue's sound: a file (GBK path; empty for none) or the program's own fanfare, and its
// volume in percent.
struct TCueSound {
  static constexpr int kDefaultVolume = 100;
  std::string path;
  bool builtIn = false;  // the program's fanfare, which needs no file
  int volume = kDefaultVolume;
  bool Set() const { return builtIn || !path.empty(); }
  bool operator==(const TCueSound&) const = default;
};

// A task's sounds: one per cue (indexed by TSoundCue up to Applause) and the items' own
// pieces by ItemId.
struct TSoundSettings {
  std::array<TCueSound, kSoundCueCount> cues;
  std::map<int32_t, TCueSound> items;
  const TCueSound& Of(TSoundCue cue) const { return cues[static_cast<size_t>(cue)]; }
  TCueSound& Of(TSoundCue cue) { return cues[static_cast<size_t>(cue)]; }
  // The sound to play for `cue` (of item `itemId` for ItemPiece); nullptr when none is set.
  // The grand prize without a fanfare of its own has the fanfare.
  const TCueSound* Find(TSoundCue cue, int32_t itemId = 0) const;
  bool Empty() const;
  bool operator==(const TSoundSettings&) const = default;
};

// What a task that only knows the old settings sounds like: its background music
// (`musicPath`, GBK) is the roll loop and the program's fanfare sounds at the reveals; a task
// without music stays silent, as it always did.
TSoundSettings LegacySounds(const std::string& musicPath);

// The cue names as the configuration window and the check name them (GBK).
std::string CueName(TSoundCue cue);

// A sound to play: the cue, and the item of an ItemPiece.
struct TSoundPlay {
  TSoundCue cue = TSoundCue::RollLoop;
  int32_t itemId = 0;
  bool operator==(const TSoundPlay&) const = default;
};

// What to do at one state of the stage: the loop that should sound now (none: silence it),
// and a cue to start once now.
struct TCueStep {
  std::optional<TSoundPlay> loop;
  std::optional<TSoundCue> shot;
  bool operator==(const TCueStep&) const = default;
};

// Follows the stage's states, one after the other as the observers hear them, and says
// which cues sound. It remembers only what a single state cannot tell: that a roll led up to
// the reveal not yet in sight, and that the end was applauded.
class TCueChooser {
 public:
  // `settings` decides only whether an item has its own piece; the cues are chosen whether
  // or not a file is set for them.
  explicit TCueChooser(TSoundSettings settings) : m_settings(std::move(settings)) {}
  TCueStep Next(const TStageState& now);

 private:
  TSoundSettings m_settings;
  TStageState m_was;
  bool m_rolled = false;     // a roll stopped and its reveal is not in sight yet
  bool m_applauded = false;  // the end of the draw has had its applause
};

// The switch that silences the show's sound, for whoever holds it: the draw screen's M key,
// the operator's console. Muted, no cue starts and what sounds stops; unmuted, the loop of
// the moment sounds again.
class TSoundMute {
 public:
  virtual ~TSoundMute() = default;
  virtual bool Muted() const = 0;
  virtual void SetMuted(bool muted) = 0;
};
