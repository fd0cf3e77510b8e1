#include "core/checkin/CheckinWall.h"

#include <algorithm>

namespace checkin {

TWall WallAfter(const std::vector<std::string>& latest, uint64_t arrivals) {
  TWall wall;
  const uint64_t known = std::min<uint64_t>(latest.size(), arrivals);
  if (known == 0) return wall;
  // Arrival i (from 0) has row i / kWallColumns and place i % kWallColumns.
  const uint64_t lastRow = (arrivals - 1) / kWallColumns;
  const uint64_t firstRow = lastRow + 1 >= kWallRows ? lastRow + 1 - kWallRows : 0;
  const uint64_t firstKnown = arrivals - known;
  const uint64_t from = std::max<uint64_t>(firstRow * kWallColumns, firstKnown);
  wall.FirstColumn = from % kWallColumns;
  const size_t offset = latest.size() - known;
  for (uint64_t i = from; i < arrivals; ++i) {
    if (wall.Rows.empty() || i % kWallColumns == 0) wall.Rows.emplace_back();
    wall.Rows.back().push_back(latest[offset + (i - firstKnown)]);
  }
  wall.NewRow = (arrivals - 1) % kWallColumns == 0;
  if (wall.NewRow && firstRow > 0) {
    for (uint64_t i = std::max<uint64_t>((firstRow - 1) * kWallColumns, firstKnown);
         i < firstRow * kWallColumns; ++i)
      wall.Leaving.push_back(latest[offset + (i - firstKnown)]);
  }
  return wall;
}

}  // namespace checkin
