// The operator's console (操作台): what the laptop's screen shows beside the projector while
// a draw runs. It is made only from what the stage tells its observers (its state after
// every input, the winners list at every reveal) and what the draw already knows (the prize
// items, how many may still win by the pool's own count, the check-ins), with the room
// around the draw (phones paired, claims, the disk, the battery). It decides nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/draw/StageObserver.h"
#include "core/draw/StageState.h"

class TDataDraw;

namespace console {

// The room as the program knows it now; -1 where it is not known.
struct TRoom {
  int64_t checkins = -1;  // checked in (the draw's own count when it draws those checked in)
  int64_t claims = -1;    // prizes claimed at the desks
  bool hostPaired = false;
  size_t desks = 0;        // prize desks paired
  int64_t freeBytes = -1;  // free space of the data folder
  int batteryPercent = -1;
  bool onBattery = false;  // the machine runs on its battery
  bool operator==(const TRoom&) const = default;
};

// The free space of `dataDir` and the battery as the platform tells (on Linux from
// `powerSupply`, the kernel's power supply folder); what it cannot tell stays unknown.
void ProbeMachine(const std::filesystem::path& dataDir, TRoom& room,
                  const std::filesystem::path& powerSupply = "/sys/class/power_supply");

// Below this the data folder's free space is a warning.
inline constexpr int64_t kLowDiskBytes = 200LL * 1024 * 1024;
// The console keeps this many batches, newest first.
inline constexpr size_t kBatches = 5;

// One prize item as the console lists it (GBK name).
struct TItemLine {
  std::string name;
  int32_t count = 0;
  int32_t drawn = 0;
  int32_t left = 0;
  bool current = false;  // the item drawn now (or next)
  bool operator==(const TItemLine&) const = default;
};

// The winners one reveal added, as the hall saw them, and when (HH:MM:SS).
struct TBatch {
  std::string time;
  std::string item;
  std::vector<std::string> winners;
  bool operator==(const TBatch&) const = default;
};

// The console's whole picture in texts (GBK), finished.
struct TView {
  std::string task;
  TStagePhase phase = TStagePhase::Closed;
  std::string phaseText;  // "滚动中"
  std::string nextKey;    // what the keys do now
  bool blanked = false;
  std::string note;  // why the last input was refused, empty when it was not
  std::string prize;
  // On the Ready screen: the audience's number as typed (the stage's digits), finished.
  std::string audience;
  std::vector<TItemLine> items;
  int64_t mayWin = -1;  // may still win the current item at random; -1 when none is drawn
  std::string mayWinText;
  std::vector<TBatch> batches;  // newest first
  std::vector<std::string> room;
  std::vector<std::string> warnings;
};

// Keeps what the stage tells: its last state and the last batches with their times.
class TFeed : public TStageObserver {
 public:
  // `clock` tells the time of a reveal as HH:MM:SS; by default the local time.
  explicit TFeed(std::function<std::string()> clock = {});
  void Revealed(const TRevealedList& list) override;
  void Moved(const TStageState& state) override;
  const TStageState& State() const { return m_state; }
  const std::deque<TBatch>& Batches() const { return m_batches; }
  // Raised at every change of what the console shows, so a window redraws only then.
  uint64_t Revision() const { return m_revision; }

 private:
  std::function<std::string()> m_clock;
  TStageState m_state;
  TRevealedList m_list;
  std::deque<TBatch> m_batches;
  uint64_t m_revision = 0;
};

// The console's picture from the feed, the engine's items and pool, and the room.
TView ViewOf(const TFeed& feed, const TDataDraw& engine, const TRoom& room);
// A phase as the operator reads it.
std::string PhaseText(TStagePhase phase);
// What the keys do in `state`, the stage's own keys named.
std::string NextKeyText(const TStageState& state);
// The room's lines, and the warnings among them (on battery, little disk left).
std::vector<std::string> RoomLines(const TRoom& room, std::vector<std::string>& warnings);
// The one-screen overlay may stand now: between batches, before the first and after the
// last, never over a roll, a landing, the grand prize's moment, a choice or the summary.
bool OverlayMayShow(const TStageState& state);

}  // namespace console
