// Where the main window opens, and which task it opens on.
#include "core/config/WindowPlace.h"

#include <gtest/gtest.h>

#include "TempRoot.h"
#include "core/config/TaskState.h"
#include "core/text/FileWrite.h"
#include "core/text/Paths.h"

using config::TRect;
using config::TWindowPlace;

TEST(WindowPlace, FirstLargeAndCentredThenWhereItWasLeftOnAScreenThatIsThere) {
  const std::vector<TRect> fullHd = {{0, 0, 1920, 1040}};
  const TRect least{0, 0, 730, 510};
  EXPECT_EQ(config::OpeningPlace(nullptr, fullHd, least), (TWindowPlace{{460, 200, 1000, 640}}));
  // A small screen: nine tenths of it, never below the designed size.
  EXPECT_EQ(config::OpeningPlace(nullptr, {{0, 0, 1024, 738}}, least),
            (TWindowPlace{{51, 49, 921, 640}}));
  EXPECT_EQ(config::OpeningPlace(nullptr, {{0, 0, 800, 560}}, least),
            (TWindowPlace{{35, 25, 730, 510}}));
  // Left on the second screen, maximised: there again.
  const std::vector<TRect> two = {{0, 0, 1920, 1040}, {1920, 0, 1280, 1000}};
  const TWindowPlace right{{2000, 100, 1100, 700}, true};
  EXPECT_EQ(config::OpeningPlace(&right, two, least), right);
  // That screen is gone: the first place on the primary one.
  EXPECT_EQ(config::OpeningPlace(&right, fullHd, least), (TWindowPlace{{460, 200, 1000, 640}}));
  // Half off the edge: moved onto it whole; too small: the first place.
  const TWindowPlace edge{{1200, 500, 1000, 640}};
  EXPECT_EQ(config::OpeningPlace(&edge, fullHd, least).frame, (TRect{920, 400, 1000, 640}));
  const TWindowPlace tiny{{10, 10, 300, 200}};
  EXPECT_EQ(config::OpeningPlace(&tiny, fullHd, least).frame, (TRect{460, 200, 1000, 640}));
}

TEST(WindowPlace, StoredUnderTheDataRootAndAForeignFileIsNoPlace) {
  TempRoot root;
  TWindowPlace p;
  EXPECT_FALSE(config::ReadWindowPlace(p));
  std::string error;
  ASSERT_TRUE(config::WriteWindowPlace({{-8, 20, 1200, 800}, true}, error)) << error;
  EXPECT_EQ(ReadAll(paths::NativePath(paths::WindowPlacePath())), "-8 20 1200 800 1\r\n");
  ASSERT_TRUE(config::ReadWindowPlace(p));
  EXPECT_EQ(p, (TWindowPlace{{-8, 20, 1200, 800}, true}));
  ASSERT_TRUE(files::WriteFileAtomic(paths::WindowPlacePath(), "big window", error));
  EXPECT_FALSE(config::ReadWindowPlace(p));
}

TEST(OpeningRow, TheUnfinishedDrawIsSelectedElseTheFirstTask) {
  using config::TTaskPhase;
  auto state = [](TTaskPhase phase) {
    config::TTaskState s;
    s.Phase = phase;
    return s;
  };
  EXPECT_EQ(config::OpeningRow({state(TTaskPhase::NotDrawn), state(TTaskPhase::Drawn),
                                state(TTaskPhase::Resumable), state(TTaskPhase::Resumable)},
                               4),
            2);
  EXPECT_EQ(config::OpeningRow({state(TTaskPhase::Drawn), state(TTaskPhase::NotDrawn)}, 2), 0);
  EXPECT_EQ(config::OpeningRow({}, 3), 0);  // the states could not be read
  EXPECT_EQ(config::OpeningRow({}, 0), -1);
}
