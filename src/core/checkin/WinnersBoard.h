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

}  // namespace checkin
