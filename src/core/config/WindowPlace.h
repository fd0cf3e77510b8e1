// Where the main window opens: where the operator left it, or, the first time and when that
// place is on no screen now, large enough for every column, centred.
#pragma once

#include <string>
#include <vector>

namespace config {

struct TRect {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const TRect&) const = default;
};

struct TWindowPlace {
  TRect frame;  // the window's normal (not maximised) place
  bool maximized = false;
  bool operator==(const TWindowPlace&) const = default;
};

// The stored place (DATA/MainWindow.txt, one line "x y width height maximised"); false when
// there is none or it is not such a line.
bool ReadWindowPlace(TWindowPlace& place);
// Stores it, written beside and renamed into place; false with the system's text.
bool WriteWindowPlace(const TWindowPlace& place, std::string& error);

// The first size: `designed` grown to 1000 × 640, within 90 % of the screen's free area.
inline constexpr int kFirstWidth = 1000;
inline constexpr int kFirstHeight = 640;

// The place to open at, given the screens' free areas (the primary first): the stored one
// when it is at least `least` large and half of it lies on a screen, cut to that screen;
// otherwise the first size centred on the primary screen.
TWindowPlace OpeningPlace(const TWindowPlace* stored, const std::vector<TRect>& screens,
                          TRect least);

}  // namespace config
