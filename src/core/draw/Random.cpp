#include "core/draw/Random.h"

#include <chrono>

TRandom& Rng() {
  static TRandom rng;
  return rng;
}

uint32_t ClockSeed() {
  return static_cast<uint32_t>(
      std::chrono::high_resolution_clock::now().time_since_epoch().count());
}
