// How the stage takes the operator's keys in time, whatever sends them (the keyboard, a
// clicker, the buttons, a phone): a start key within `restMs` after the screen showed
// something new (a reveal, the Ready screen, the resumed draw) is ignored, so that a clicker
// that fires twice starts nothing the hall has not seen; a stop key within `minRollMs` of a
// roll's start is ignored, so that the hall sees the roll. Stored per task
// (LuckTask.StageKeys) and so carried by the event package: empty for the defaults, else
// "<restMs> <minRollMs>".
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

struct TStageKeys {
  static constexpr int32_t kDefaultRestMs = 1000;
  static constexpr int32_t kDefaultMinRollMs = 1500;
  static constexpr int32_t kMaxMs = 10000;  // each span at most ten seconds
  int32_t restMs = kDefaultRestMs;
  int32_t minRollMs = kDefaultMinRollMs;
  bool operator==(const TStageKeys&) const = default;
};

// The spans of a stored text. Empty, or anything that is not two numbers of 0 … kMaxMs
// separated by blanks, gives the defaults.
TStageKeys ParseStageKeys(std::string_view stored);
// The stored text of `keys`: empty for the defaults, so that a task never changed follows
// the program's defaults and its event package reads in a program without the column.
std::string FormatStageKeys(const TStageKeys& keys);

// The stage's clock: milliseconds since any fixed start, never going back. The program's is
// the system's steady clock; a test's is one it sets.
using TStageClock = std::function<int64_t()>;
int64_t SteadyMilliseconds();
