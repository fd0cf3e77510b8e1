// The winners board of the phones, taken from what the stage's winners list shows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/checkin/CheckinDesk.h"
#include "core/draw/StageObserver.h"

namespace checkin {

// The winners list as the stage revealed it (masked as shown, captions marked), and the
// item won by each winner it names; winners marked absent are left out.
TWinnersBoard BoardOf(const TRevealedList& list);

// Keeps the desk's board as the stage of `taskId` reveals its winners: subscribed to the
// draw session, it hears every reveal and passes over other tasks' draws. The first reveal
// of a winner closes the desk, whoever the draw takes: from then on the check-in file is
// the list of the night.
class TWinnersFeed : public TStageObserver {
 public:
  TWinnersFeed(TCheckinDesk& desk, int32_t taskId) : m_desk(desk), m_taskId(taskId) {}
  void Revealed(const TRevealedList& list) override;

 private:
  TCheckinDesk& m_desk;
  int32_t m_taskId;
};

}  // namespace checkin
