// The winners board of the phones, taken from what the stage's winners list shows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/checkin/CheckinDesk.h"

class TDataDraw;

namespace checkin {

// The first `revealedLines` lines of the engine's winners list (masked as the stage masks
// them, captions marked), and the item won by each winner those lines name. Lines past
// the reveal, and winners marked absent, are left out.
TWinnersBoard BoardOf(const TDataDraw& engine, size_t revealedLines);

// The task's draw in progress has begun its first batch (its journal holds a START or a
// batch): who may win is fixed, and check-in for a draw of those checked in stays closed.
bool DrawHasBegun(int32_t taskId);

// The question before the draw screen of a task drawn from those checked in opens while its
// check-in is open (GBK).
std::string CloseForDrawQuestion(size_t checkedIn, size_t total);
// Why check-in cannot start again for such a task once its draw has begun (GBK).
std::string DrawBegunText();

}  // namespace checkin
