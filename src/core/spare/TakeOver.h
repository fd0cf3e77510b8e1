// Taking over a running draw on a spare laptop from its relay (Relay.h), and the old
// laptop's own record that it was taken over.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/draw/MoveRecords.h"
#include "core/spare/Relay.h"

namespace spare {

// What the operator decides at takeover.
struct TTakeOverChoice {
  // The batch the hall last saw (the band's 第N批); -1: the batches the relay holds.
  int32_t ShownBatch = -1;
  // The operator confirmed that the batches the hall saw beyond the relay are drawn again.
  bool RedrawMissing = false;
  TMoveSource Source = TMoveSource::Relay;
  // The moment of the takeover (YYYY-MM-DD HH:MM:SS); empty: now.
  std::string Time;
};

// What a relay offers, for the question before the takeover.
struct TTakeOverOffer {
  int32_t StageTaskId = 0;
  std::string TaskName;  // GBK
  std::string Machine;   // GBK
  std::string WrittenAt;
  int32_t Held = 0;  // revealed batches the relay holds
};
bool OfferOf(const TRelay& relay, TTakeOverOffer& offer, std::string& error);

// "接力包只到第N批,台上已揭晓到第M批:第N+1…M批的中奖者不在包中" (GBK).
std::string MissingBatchesText(int32_t held, int32_t shown);

// Takes the relay's draw over on this machine: refuses a relay whose hall saw more batches
// than it holds unless they are to be drawn again; installs the event package (or uses the
// task this machine already has under the stage's task id when its list and prize items are
// the same, and refuses when that id holds another task); places the check-in and claim
// files; writes the journal with a MOVED record appended before anything else; and checks
// that the task's draw opened here resumes it. `localTaskId` is the task here. False with
// `message` (GBK) saying why; then no journal of the draw is left here. True with `message`
// saying what was taken over and where the draw goes on.
bool TakeOver(const TRelay& relay, const TTakeOverChoice& choice, int32_t& localTaskId,
              std::string& message);

// The old laptop learns its draw was taken over at `when` (YYYY-MM-DD HH:MM:SS): a TAKEN
// record is appended to the task's open journal, after which opening that draw here refuses.
// True when the record is there (also when it already was); false with the error (GBK).
bool MarkTakenOver(int32_t taskId, std::string_view when, std::string& error);
// The same below the data root `root` (GBK, trailing separator).
bool MarkTakenOver(std::string_view root, int32_t taskId, std::string_view when,
                   std::string& error);

}  // namespace spare
