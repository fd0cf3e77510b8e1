// Who the sphere of the roll shows: exactly those who may still win the current prize item,
// as the candidate pool answers (its MayWin, or MayReplace for a replacement's roll), and a
// sample of them when they are more than the sphere has cards for. The sphere shows the
// draw; it decides nothing, and its sampling has a generator of its own, so that the draw's
// generator gives the same numbers whatever the screen shows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/draw/CandidatePool.h"

class TSpherePopulation {
 public:
  // Those of candidates 0 … count−1 who may win item `itemId` now, ascending.
  void Fill(const TCandidatePool& pool, int32_t itemId, size_t count);
  // Those who may take the place of the absent winner `absent` of item `itemId`, ascending.
  void FillReplacement(const TCandidatePool& pool, int32_t absent, int32_t itemId, size_t count);
  // The batch's winners leave at once, before the pool is asked again.
  void Remove(const std::vector<int32_t>& winners);
  void Clear() { m_members.clear(); }

  const std::vector<int32_t>& Members() const { return m_members; }
  size_t Count() const { return m_members.size(); }
  bool Contains(int32_t k) const;

 private:
  std::vector<int32_t> m_members;
};

// The sphere's own generator (splitmix64): never the draw's TRandom.
class TSphereSampler {
 public:
  explicit TSphereSampler(uint64_t seed) : m_state(seed) {}
  uint64_t Next();
  // Uniform in 0 … n−1 (n > 0).
  size_t Below(size_t n);
  // `n` distinct members of `population` (all of them, in order, when it has no more), in
  // an order of the generator's.
  std::vector<int32_t> Distinct(const TSpherePopulation& population, size_t n);
  // A member that is not in `shown` (sorted ascending), -1 after a few tries when nearly
  // everyone is shown.
  int32_t Fresh(const TSpherePopulation& population, const std::vector<int32_t>& shown);

 private:
  uint64_t m_state;
};
