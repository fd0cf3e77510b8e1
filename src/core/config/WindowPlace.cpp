#include "core/config/WindowPlace.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "core/text/FileWrite.h"
#include "core/text/Paths.h"

namespace config {

bool ReadWindowPlace(TWindowPlace& place) {
  std::ifstream in(paths::NativePath(paths::WindowPlacePath()), std::ios::binary);
  std::string line;
  if (!in || !std::getline(in, line) || line.size() > 100) return false;
  std::istringstream s(line);
  TWindowPlace p;
  int maximized = 0;
  if (!(s >> p.frame.x >> p.frame.y >> p.frame.width >> p.frame.height >> maximized)) return false;
  p.maximized = maximized != 0;
  place = p;
  return true;
}

bool WriteWindowPlace(const TWindowPlace& place, std::string& error) {
  char line[100];
  std::snprintf(line, sizeof line, "%d %d %d %d %d\r\n", place.frame.x, place.frame.y,
                place.frame.width, place.frame.height, place.maximized ? 1 : 0);
  return files::WriteFileAtomic(paths::WindowPlacePath(), line, error);
}

namespace {

long long Overlap(const TRect& a, const TRect& b) {
  const long long w =
      std::min<long long>(a.x + a.width, b.x + b.width) - std::max<long long>(a.x, b.x);
  const long long h =
      std::min<long long>(a.y + a.height, b.y + b.height) - std::max<long long>(a.y, b.y);
  return w > 0 && h > 0 ? w * h : 0;
}

}  // namespace

TWindowPlace OpeningPlace(const TWindowPlace* stored, const std::vector<TRect>& screens,
                          TRect least) {
  const TRect primary = screens.empty() ? TRect{0, 0, 1280, 720} : screens.front();
  if (stored && stored->frame.width >= least.width && stored->frame.height >= least.height) {
    const TRect& f = stored->frame;
    for (const TRect& s : screens) {
      if (Overlap(f, s) * 2 < static_cast<long long>(f.width) * f.height) continue;
      // On that screen, whole.
      TWindowPlace p = *stored;
      p.frame.width = std::min(f.width, s.width);
      p.frame.height = std::min(f.height, s.height);
      p.frame.x = std::clamp(f.x, s.x, s.x + s.width - p.frame.width);
      p.frame.y = std::clamp(f.y, s.y, s.y + s.height - p.frame.height);
      return p;
    }
  }
  TWindowPlace p;
  p.frame.width = std::max(least.width, std::min(kFirstWidth, primary.width * 9 / 10));
  p.frame.height = std::max(least.height, std::min(kFirstHeight, primary.height * 9 / 10));
  p.frame.x = primary.x + (primary.width - p.frame.width) / 2;
  p.frame.y = primary.y + (primary.height - p.frame.height) / 2;
  return p;
}

}  // namespace config
