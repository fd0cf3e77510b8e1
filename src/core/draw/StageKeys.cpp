#include "core/draw/StageKeys.h"

#include <chrono>
#include <sstream>

TStageKeys ParseStageKeys(std::string_view stored) {
  std::istringstream in{std::string(stored)};
  long long rest = -1, roll = -1;
  std::string more;
  if (!(in >> rest >> roll) || (in >> more) || rest < 0 || roll < 0 || rest > TStageKeys::kMaxMs ||
      roll > TStageKeys::kMaxMs)
    return {};
  return {static_cast<int32_t>(rest), static_cast<int32_t>(roll)};
}

std::string FormatStageKeys(const TStageKeys& keys) {
  if (keys == TStageKeys{}) return {};
  return std::to_string(keys.restMs) + " " + std::to_string(keys.minRollMs);
}

int64_t SteadyMilliseconds() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}
