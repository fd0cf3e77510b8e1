// The check-in screen's 签到墙: the names of the latest check-ins in rows of a fixed number
// of places, filled in the order they arrived. A name keeps its place as later ones come,
// so the window only has to slide the newest into its place and, when it opens a row, the
// rows up by one; nothing else moves.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace checkin {

inline constexpr size_t kWallColumns = 5;  // names a row
inline constexpr size_t kWallRows = 4;     // rows the screen shows

// The wall after `arrivals` names, the newest of which are `latest` (newest last, as the
// desk's view holds them; fewer than `arrivals` once the oldest were let go).
struct TWall {
  // Rows top to bottom, at most kWallRows; each row's names left to right, at most
  // kWallColumns; the last row holds the newest name, at the end. The first row may be short
  // only when `latest` did not reach back to its start (then its names keep their places:
  // FirstColumn is the place of its first name).
  std::vector<std::vector<std::string>> Rows;
  size_t FirstColumn = 0;
  // The newest name opened its row, so the rows above moved up by one with it.
  bool NewRow = false;
  // With NewRow on a full wall: the row that went out at the top (its known names).
  std::vector<std::string> Leaving;
};
TWall WallAfter(const std::vector<std::string>& latest, uint64_t arrivals);

}  // namespace checkin
