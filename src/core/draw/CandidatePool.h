// Who may still win in a draw from imported data: the candidates drawn and marked absent,
// the preset lists and their queues per prize item, and the count of those who may still
// win at random. The engine asks the pool and tells it what happened; eligibility rules
// for an item belong here, behind MayWin.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "core/draw/Random.h"
#include "core/records/Records.h"

class TCandidatePool {
 public:
  TCandidatePool() = default;
  // A fresh pool over `lines`: nobody drawn or absent, every preset queue at its first
  // entry and every entry of `presets` unused. The pool keeps `presets` by reference and
  // marks its entries used as their queues move on. `luckAgain`: repeated winning is on.
  TCandidatePool(const TArraySring& lines, TArrCheatId& presets, bool luckAgain);

  // Candidate `k` may win item `itemId` now: it is a candidate index, not marked absent,
  // and not drawn yet unless repeated winning is on.
  bool MayWin(int32_t k, int32_t itemId) const;
  // Candidate `k` may replace the absent winner `absent` of item `itemId`: it may win, is
  // not `absent`, and its line is on no preset list (presets force winners into batches
  // only; a replacement is drawn at random).
  bool MayReplace(int32_t k, int32_t absent, int32_t itemId) const;

  // A pick for the item can still give a winner: someone may win at random, or an unused
  // preset entry of the item names someone who may win.
  bool MayPick(int32_t itemId) const;
  // The next winner for the item: the item's preset entries in load order first (each used
  // up whatever follows), then candidates at random from those on no preset list. -1 when
  // nobody is left (MayPick false). Not marked drawn: MarkDrawn does that.
  int32_t Pick(int32_t itemId, TRandom& rng);
  // One replacement for the absent winner `absent` of item `itemId`, at random; -1 (and no
  // number drawn) when nobody is left to replace.
  int32_t PickReplacement(int32_t absent, int32_t itemId, TRandom& rng) const;

  // `k` won: it leaves the pool unless repeated winning is on.
  void MarkDrawn(int32_t k);
  // `absent` never wins again in this draw; `replacement` took its place.
  void MarkAbsent(int32_t absent, int32_t replacement);

  // Exactly counted candidates that may still win at random.
  int64_t RandomCount() const { return m_randomCount; }
  bool IsPreset(int32_t k) const;

  // The item's preset entries used up so far.
  int32_t PresetsUsed(int32_t itemId) const;
  // Moves the item's queue on to `used` entries, marking them used (a journal's replay).
  // False, and nothing changes, when `used` lies before the queue or beyond its entries.
  bool UsePresetsTo(int32_t itemId, int32_t used);

 private:
  struct PresetQueue {
    std::vector<size_t> entries;  // indices into the preset entries, in load order
    size_t next = 0;
  };

  bool InRange(int32_t k) const { return k >= 0 && static_cast<size_t>(k) < m_drawn.size(); }

  TArrCheatId* m_presets = nullptr;
  bool m_luckAgain = false;
  // Per candidate index: drawn; marked absent; line equal to some preset entry's text.
  std::vector<uint8_t> m_drawn;
  std::vector<uint8_t> m_absent;
  std::vector<uint8_t> m_isPreset;
  // Per preset entry: the first candidate index with the same line, or -1.
  std::vector<int32_t> m_presetIndex;
  int64_t m_nonPresetCount = 0;
  int64_t m_randomCount = 0;
  std::unordered_map<int32_t, PresetQueue> m_queues;  // per prize item id
};
