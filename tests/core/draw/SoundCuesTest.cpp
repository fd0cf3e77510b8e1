#include "core/draw/SoundCues.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/text/Gbk.h"

using text::G;

namespace {

// States as the stage's observers hear them; item 7 has its own piece.
class SoundCues : public ::testing::Test {
 protected:
  SoundCues() : m_chooser(Settings()) {}

  static TSoundSettings Settings() {
    TSoundSettings s;
    s.items[7].path = "/music/seven.mp3";
    return s;
  }
  static TStageState At(TStagePhase phase, bool shown = false, bool grand = false,
                        int32_t item = 1) {
    TStageState s;
    s.open = phase != TStagePhase::Closed;
    s.phase = phase;
    s.itemId = item;
    s.grand = grand;
    if (shown) s.cards.push_back({"1", "a", "", ""});
    return s;
  }
  // The cues of a run of states, in order; the loop stands for each state.
  std::vector<TCueStep> Run(const std::vector<TStageState>& states) {
    std::vector<TCueStep> steps;
    for (const TStageState& s : states) steps.push_back(m_chooser.Next(s));
    return steps;
  }

  TCueChooser m_chooser;
};

const TCueStep kQuiet{};
TCueStep Loop(TSoundCue cue, int32_t item = 0) { return {TSoundPlay{cue, item}, std::nullopt}; }
TCueStep Shot(TSoundCue cue) { return {std::nullopt, cue}; }

}  // namespace

// A batch: the loop while it rolls, the hit when it stops, the fanfare once the cards are in
// sight (not when the reveal's frame comes before the window painted them).
TEST_F(SoundCues, ABatchRollsStopsAndIsRevealed) {
  EXPECT_EQ(Run({At(TStagePhase::Opening), At(TStagePhase::Ready), At(TStagePhase::Selecting),
                 At(TStagePhase::Rolling), At(TStagePhase::Rolling), At(TStagePhase::Landing),
                 At(TStagePhase::Revealed), At(TStagePhase::Revealed, true),
                 At(TStagePhase::Revealed, true)}),
            (std::vector<TCueStep>{kQuiet, kQuiet, kQuiet, Loop(TSoundCue::RollLoop),
                                   Loop(TSoundCue::RollLoop), Shot(TSoundCue::Hit), kQuiet,
                                   Shot(TSoundCue::Fanfare), kQuiet}));
}

// An item with its own piece loops that piece instead; a replacement rolls as a batch does.
TEST_F(SoundCues, AnItemsPieceAndAReplacementLoop) {
  EXPECT_EQ(
      Run({At(TStagePhase::Rolling, false, false, 7), At(TStagePhase::Landing, false, false, 7),
           At(TStagePhase::Revealed, true, false, 7), At(TStagePhase::Choosing, true),
           At(TStagePhase::Replacing), At(TStagePhase::Revealed, true)}),
      (std::vector<TCueStep>{Loop(TSoundCue::ItemPiece, 7), Shot(TSoundCue::Hit),
                             Shot(TSoundCue::Fanfare), kQuiet, Loop(TSoundCue::RollLoop),
                             Shot(TSoundCue::Fanfare)}));
}

// Nothing sounds for what the hall has seen already: a resumed draw, a choice closed again,
// a void shown on the cards.
TEST_F(SoundCues, NoFanfareWithoutARoll) {
  EXPECT_EQ(
      Run({At(TStagePhase::Opening), At(TStagePhase::Revealed), At(TStagePhase::Revealed, true),
           At(TStagePhase::Choosing, true), At(TStagePhase::Revealed, true)}),
      (std::vector<TCueStep>{kQuiet, kQuiet, kQuiet, kQuiet, kQuiet}));
}

// The grand prize: the longer fanfare at its reveal, applause once when its moment ends,
// none again at the summary.
TEST_F(SoundCues, TheGrandPrizeAndTheApplause) {
  EXPECT_EQ(Run({At(TStagePhase::Rolling), At(TStagePhase::Landing),
                 At(TStagePhase::Finished, false, true), At(TStagePhase::Finished, true, true),
                 At(TStagePhase::Finished, true, false), At(TStagePhase::Summary),
                 At(TStagePhase::Summary), At(TStagePhase::Closed)}),
            (std::vector<TCueStep>{Loop(TSoundCue::RollLoop), Shot(TSoundCue::Hit), kQuiet,
                                   Shot(TSoundCue::GrandFanfare), Shot(TSoundCue::Applause), kQuiet,
                                   kQuiet, kQuiet}));
}

// A last batch too large for cards: its fanfare at the reveal, the applause at the summary.
TEST_F(SoundCues, AFinishWithoutTheGrandMomentIsApplaudedAtTheSummary) {
  TStageState lines = At(TStagePhase::Finished);
  lines.lines = {"1 a", "2 b"};
  EXPECT_EQ(
      Run({At(TStagePhase::Rolling), At(TStagePhase::Landing), lines, At(TStagePhase::Summary)}),
      (std::vector<TCueStep>{Loop(TSoundCue::RollLoop), Shot(TSoundCue::Hit),
                             Shot(TSoundCue::Fanfare), Shot(TSoundCue::Applause)}));
}

// Old tasks: the background music is the roll loop and the program's fanfare sounds at the
// reveals; without music they stay silent.
TEST(SoundSettings, OldTasksMapOntoTheRollLoopAndTheFanfare) {
  const TSoundSettings old = LegacySounds("/m.mp3");
  ASSERT_NE(old.Find(TSoundCue::RollLoop), nullptr);
  EXPECT_EQ(old.Find(TSoundCue::RollLoop)->path, "/m.mp3");
  EXPECT_EQ(old.Find(TSoundCue::RollLoop)->volume, 100);
  ASSERT_NE(old.Find(TSoundCue::Fanfare), nullptr);
  EXPECT_TRUE(old.Find(TSoundCue::Fanfare)->builtIn);
  EXPECT_EQ(old.Find(TSoundCue::GrandFanfare), old.Find(TSoundCue::Fanfare));
  EXPECT_EQ(old.Find(TSoundCue::Hit), nullptr);
  EXPECT_EQ(old.Find(TSoundCue::ItemPiece, 3), nullptr);
  EXPECT_TRUE(LegacySounds("").Empty());
  EXPECT_EQ(CueName(TSoundCue::GrandFanfare), G("大奖揭晓"));
}
