#include "core/draw/SpherePopulation.h"

#include <algorithm>
#include <unordered_set>

void TSpherePopulation::Fill(const TCandidatePool& pool, int32_t itemId, size_t count) {
  m_members.clear();
  for (size_t k = 0; k < count; ++k)
    if (pool.MayWin(static_cast<int32_t>(k), itemId)) m_members.push_back(static_cast<int32_t>(k));
}

void TSpherePopulation::FillReplacement(const TCandidatePool& pool, int32_t absent, int32_t itemId,
                                        size_t count) {
  m_members.clear();
  for (size_t k = 0; k < count; ++k)
    if (pool.MayReplace(static_cast<int32_t>(k), absent, itemId))
      m_members.push_back(static_cast<int32_t>(k));
}

void TSpherePopulation::Remove(const std::vector<int32_t>& winners) {
  for (int32_t k : winners) {
    const auto it = std::lower_bound(m_members.begin(), m_members.end(), k);
    if (it != m_members.end() && *it == k) m_members.erase(it);
  }
}

bool TSpherePopulation::Contains(int32_t k) const {
  return std::binary_search(m_members.begin(), m_members.end(), k);
}

uint64_t TSphereSampler::Next() {
  uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

size_t TSphereSampler::Below(size_t n) { return static_cast<size_t>(Next() % n); }

std::vector<int32_t> TSphereSampler::Distinct(const TSpherePopulation& population, size_t n) {
  const std::vector<int32_t>& m = population.Members();
  if (n >= m.size()) return m;
  std::vector<int32_t> out;
  out.reserve(n);
  if (n * 4 > m.size()) {
    // Many of few: a partial shuffle of a copy.
    std::vector<int32_t> all = m;
    for (size_t i = 0; i < n; ++i) std::swap(all[i], all[i + Below(all.size() - i)]);
    all.resize(n);
    return all;
  }
  // Few of many: draw until distinct, never copying a million members.
  std::unordered_set<int32_t> seen;
  seen.reserve(n * 2);
  while (out.size() < n) {
    const int32_t k = m[Below(m.size())];
    if (seen.insert(k).second) out.push_back(k);
  }
  return out;
}

int32_t TSphereSampler::Fresh(const TSpherePopulation& population,
                              const std::vector<int32_t>& shown) {
  const std::vector<int32_t>& m = population.Members();
  if (m.empty()) return -1;
  for (int tries = 0; tries < 8; ++tries) {
    const int32_t k = m[Below(m.size())];
    if (!std::binary_search(shown.begin(), shown.end(), k)) return k;
  }
  return -1;
}
