// The process-wide 32-bit linear congruential generator both draw screens share.
#pragma once

#include <cstdint>

class TRandom {
 public:
  void Randomize(uint32_t seed) { m_seed = seed; }
  uint32_t Seed() const { return m_seed; }

  // 0 … n − 1: the high 32 bits of the advanced seed times n. 0 for n < 1.
  int32_t Random(int32_t n) {
    m_seed = m_seed * 134775813u + 1u;
    if (n < 1) return 0;
    return static_cast<int32_t>((static_cast<uint64_t>(m_seed) * static_cast<uint32_t>(n)) >> 32);
  }

 private:
  uint32_t m_seed = 0;
};

// The one generator of the process.
TRandom& Rng();

// A seed from the high-resolution clock, as each draw screen takes when it is created.
uint32_t ClockSeed();
