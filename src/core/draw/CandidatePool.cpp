#include "core/draw/CandidatePool.h"

#include <algorithm>
#include <string_view>

TCandidatePool::TCandidatePool(const TArraySring& lines, TArrCheatId& presets, bool luckAgain)
    : m_presets(&presets), m_luckAgain(luckAgain) {
  const size_t n = lines.size();
  m_drawn.assign(n, 0);
  m_absent.assign(n, 0);
  m_isPreset.assign(n, 0);
  m_presetIndex.assign(presets.size(), -1);
  // Which candidate lines are on a preset list, and where each entry's line first stands.
  if (!presets.empty()) {
    std::unordered_map<std::string_view, int32_t> first;
    for (const TCheatId& e : presets) first.emplace(e.IdText, -1);
    for (size_t k = 0; k < n; ++k) {
      auto it = first.find(lines[k]);
      if (it == first.end()) continue;
      m_isPreset[k] = 1;
      if (it->second < 0) it->second = static_cast<int32_t>(k);
    }
    for (size_t e = 0; e < presets.size(); ++e) m_presetIndex[e] = first[presets[e].IdText];
  }
  m_nonPresetCount =
      static_cast<int64_t>(n) - std::count(m_isPreset.begin(), m_isPreset.end(), uint8_t{1});
  m_randomCount = m_nonPresetCount;
  for (size_t e = 0; e < presets.size(); ++e) {
    presets[e].Used = false;
    m_queues[presets[e].ItemId].entries.push_back(e);
  }
}

bool TCandidatePool::MayWin(int32_t k, int32_t /*itemId*/) const {
  if (!InRange(k)) return false;
  if (m_absent[static_cast<size_t>(k)]) return false;  // never wins again in this draw
  if (m_luckAgain) return true;
  return m_drawn[static_cast<size_t>(k)] == 0;
}

bool TCandidatePool::MayReplace(int32_t k, int32_t absent, int32_t itemId) const {
  return InRange(k) && k != absent && !m_isPreset[static_cast<size_t>(k)] && MayWin(k, itemId);
}

bool TCandidatePool::IsPreset(int32_t k) const {
  return InRange(k) && m_isPreset[static_cast<size_t>(k)] != 0;
}

bool TCandidatePool::MayPick(int32_t itemId) const {
  if (m_randomCount > 0) return true;
  // Only preset entries can still give a winner: one of the unused ones must.
  auto q = m_queues.find(itemId);
  if (q == m_queues.end()) return false;
  for (size_t i = q->second.next; i < q->second.entries.size(); ++i) {
    const int32_t k = m_presetIndex[q->second.entries[i]];
    if (k >= 0 && MayWin(k, itemId)) return true;
  }
  return false;
}

int32_t TCandidatePool::Pick(int32_t itemId, TRandom& rng) {
  const int32_t count = static_cast<int32_t>(m_drawn.size());
  while (MayPick(itemId)) {
    int32_t k = -1;
    auto q = m_queues.find(itemId);
    if (q != m_queues.end() && q->second.next < q->second.entries.size()) {
      const size_t e = q->second.entries[q->second.next++];
      (*m_presets)[e].Used = true;  // used up whatever follows
      k = m_presetIndex[e];
    }
    if (k < 0 && m_nonPresetCount > 0) {
      do {
        k = rng.Random(count);
      } while (m_isPreset[static_cast<size_t>(k)]);
    }
    if (MayWin(k, itemId)) return k;
  }
  return -1;
}

int32_t TCandidatePool::PickReplacement(int32_t absent, int32_t itemId, TRandom& rng) const {
  // Who may still be drawn at random, the absent winner left out.
  int64_t left = m_randomCount;
  if (m_luckAgain && InRange(absent) && !m_isPreset[static_cast<size_t>(absent)] &&
      !m_absent[static_cast<size_t>(absent)])
    --left;
  if (left <= 0) return -1;
  const int32_t count = static_cast<int32_t>(m_drawn.size());
  int32_t k;
  do {
    k = rng.Random(count);
  } while (!MayReplace(k, absent, itemId));
  return k;
}

void TCandidatePool::MarkDrawn(int32_t k) {
  if (m_luckAgain || !InRange(k)) return;
  m_drawn[static_cast<size_t>(k)] = 1;
  if (!m_isPreset[static_cast<size_t>(k)]) --m_randomCount;
}

void TCandidatePool::MarkAbsent(int32_t absent, int32_t replacement) {
  // Drawn once, the absent winner is out of the pool already; with repeated winning on it
  // leaves the pool now.
  const size_t a = static_cast<size_t>(absent);
  if (m_luckAgain && !m_isPreset[a] && !m_absent[a]) --m_randomCount;
  m_absent[a] = 1;
  if (!m_luckAgain) {
    m_drawn[static_cast<size_t>(replacement)] = 1;
    --m_randomCount;
  }
}

int32_t TCandidatePool::PresetsUsed(int32_t itemId) const {
  auto q = m_queues.find(itemId);
  return q == m_queues.end() ? 0 : static_cast<int32_t>(q->second.next);
}

bool TCandidatePool::UsePresetsTo(int32_t itemId, int32_t used) {
  if (used < 0) return false;
  auto q = m_queues.find(itemId);
  const size_t to = static_cast<size_t>(used);
  if (q == m_queues.end()) return to == 0;
  if (to > q->second.entries.size() || to < q->second.next) return false;
  for (size_t i = q->second.next; i < to; ++i) (*m_presets)[q->second.entries[i]].Used = true;
  q->second.next = to;
  return true;
}
