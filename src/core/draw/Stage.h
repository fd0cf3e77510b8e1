// The data draw screen's rules: which phase the stage is in, what each of the screen's
// inputs does in it, and what the screen then shows. The window keeps the widgets, the
// timers and the painting, feeds its inputs here and applies the frame each one answers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/draw/DataDraw.h"
#include "core/draw/StageColumns.h"
#include "core/draw/WinnerSummary.h"
#include "core/text/Messages.h"

enum class TStagePhase {
  Ready,      // before the first batch
  Selecting,  // the batch's winners are being fixed
  Rolling,    // a batch rolls
  Landing,    // the roll rests on the batch's first winner before the reveal
  Revealed,   // between batches, the last batch (or replacement) in sight
  Choosing,   // Q: an absent winner is being chosen
  Replacing,  // an absent winner's replacement rolls
  Summary,    // every winner of every item in the reveal's place
  Finished,   // the last batch in sight, the summary still to come
};

// The keys the stage knows besides Enter.
enum class TStageKey { Q, Up, Down, Left, Digit, Backspace, Esc, Other };

// What the screen does in answer to an input, beside the texts.
enum class TStageStep {
  None,        // nothing moves (the texts of the frame, if any, still change)
  Starts,      // a batch starts: Selecting shows; the window calls Select() on its next turn
  Rolls,       // the roll runs (a batch's or a replacement's)
  Lands,       // the roll stopped on its landing; the landing's timer runs
  Reveals,     // the batch (or replacement) is revealed
  Chooses,     // the choice of an absent winner opens or moves
  Asks,        // the absent-winner question for `place` is to be asked; Answer() follows
  Summarises,  // the summary takes the reveal's place
  Resumes,     // an earlier draw goes on: the screen stands as after its last batch
};

// A winner's card as the stage shows it (GBK texts): the id, empty when the id is the name;
// the name; the further fields; the stored photo's path, empty when there is none.
struct TStageCardText {
  std::string id;
  std::string name;
  std::string rest;
  std::string photo;
};

// The reveal of a batch: up to six winners on cards, more as whole candidate lines.
struct TStageReveal {
  std::vector<TStageCardText> cards;
  std::vector<std::string> lines;
  // The draw's last reveal, on cards: its winners take the whole screen (the grand prize's
  // moment) before anything else is told.
  bool grand = false;
  bool operator==(const TStageReveal&) const = default;
};
inline bool operator==(const TStageCardText& a, const TStageCardText& b) {
  return a.id == b.id && a.name == b.name && a.rest == b.rest && a.photo == b.photo;
}

struct TStageMessage {
  MessageKind kind = MessageKind::Information;
  std::string text;
};

struct TStageFrame {
  TStageStep step = TStageStep::None;
  bool taken = false;                   // the input did something (a key was used)
  std::optional<std::string> status;    // the status line (GBK, before stage punctuation)
  std::optional<std::string> hint;      // the hint line (GBK, stage punctuation applied)
  std::optional<std::string> audience;  // the audience number's line (GBK)
  std::optional<std::vector<std::string>> rollTexts;  // the roll labels show these
  bool hideRoll = false;                              // the roll labels go
  std::optional<TStageReveal> reveal;                 // with Reveals and Resumes
  bool finished = false;                              // the reveal ends the draw: no 继续
  bool prizeChanged = false;                          // the prize line moves on to the current item
  bool celebrate = false;                             // fireworks over the reveal
  bool replacement = false;                           // the roll or reveal is a replacement's
  size_t place = 0;                                   // with Asks: the winner's place in draw order
  std::string question;                               // with Asks: the question, No its default
  // Told after the reveal is in sight, in this order; the hint changes after the first
  // `hintAfter` of them.
  std::vector<TStageMessage> messages;
  size_t hintAfter = 0;
  bool hintShown = true;           // with Summarises: the hint stays in sight below it
  bool startSummaryTimer = false;  // after the messages
  bool stopSummaryTimer = false;
  // The frame ended a landing early: the input it answered goes on with Follow().
  bool follows = false;
};

class TStage {
 public:
  static constexpr size_t kMaxCards = 6;

  explicit TStage(TDataDraw& engine) : m_e(engine) {}

  TStagePhase Phase() const { return m_phase; }
  // The place the choice stands on (Choosing).
  size_t Choice() const { return m_choice; }

  // Enter, or a click on the roll's area.
  TStageFrame Enter();
  // 开始 or 继续: a batch starts (a landing is shown at once first; a choice is left).
  TStageFrame Start();
  // Any other key; `digit` is 0 … 9 with TStageKey::Digit.
  TStageFrame Key(TStageKey key, int digit = 0);
  // After a frame that `follows`: the rest of the input it answered.
  TStageFrame Follow();
  // A click on the reveal's card `card` (0 = the first), or on line `line` of the engine's
  // winners list.
  TStageFrame CardClicked(int card);
  TStageFrame ListLineClicked(size_t line);
  // The answer to the absent-winner question of an Asks frame.
  TStageFrame Answer(size_t place, bool yes);
  // The Selecting frame was shown: the winners are picked and the roll starts.
  TStageFrame Select();
  // The landing's timer; also the reveal asked for at once.
  TStageFrame LandingOver();
  // The replacement's roll has run its time: it stops as Enter stops it.
  TStageFrame ReplacementTime();
  // The summary's timer.
  TStageFrame SummaryTime();
  // After the engine resumed an earlier draw with `end`: the cards show the last reveal, the
  // replacement alone when the journal ended in one.
  TStageFrame Resumed(const TDataDraw::BatchEnd& end);

  // The reveal of the winners at `places` (draw order): the one source of the live and the
  // resumed reveal.
  TStageReveal RevealOf(const std::vector<size_t>& places) const;
  // The card of a candidate line: an id that is not a number is the winner's name, and every
  // other field follows it.
  static TStageCardText CardOf(const std::string& candidateLine, bool numericIds, int32_t taskId);
  // The card as `columns` show it: the name by the list's 姓名 column, only shown columns.
  static TStageCardText CardOf(const std::string& candidateLine, const TStageColumns& columns,
                               int32_t taskId);
  // The winners on the cards now: the replacement alone, or the last batch. What the number
  // keys choose.
  std::vector<size_t> RevealedPlaces() const;
  // The grand prize (the last item) and a winner drawn alone are celebrated at the reveal.
  static bool Celebrates(size_t picks, int itemIndex, int itemCount);
  // The hint line: the task's text and, while a winner may be marked absent, 缺席按Q.
  std::string HintText() const;
  // The status line while choosing the winner at `place`.
  std::string ChoiceText(size_t place) const;
  // The summary's items: each caption (stage punctuation applied) with the winners it
  // lists, the absent ones after them; a task that hides its winners list shows only how
  // many each item has.
  std::vector<TItemSummary> SummaryItems() const;
  // The band before a batch: the prize item that comes next, its count and gift, and the
  // short line of its rules (empty without rules) (GBK); all empty for an index that names
  // no item.
  struct NextItem {
    std::string item;
    std::string gift;
    std::string rules;
  };
  NextItem NextItemTexts(int itemIndex) const;
  // A winners-list line as the stage shows it: a prize item's caption ends in a full-width
  // colon; a winner's line stays exactly as it is.
  static std::string ListLine(const std::string& line);
  // The Ready screen's line for the audience's number.
  std::string AudienceText() const;

 private:
  TStageFrame StopRoll();
  TStageFrame Reveal();
  TStageFrame OpenChoice();
  TStageFrame EndChoice();
  TStageFrame Ask(size_t place);
  TStagePhase Standing() const;
  // The end of the draw told after its last reveal: the finish message, or the writer's
  // failure; the summary is due from then on.
  void TellFinish(TStageFrame& f, const TDataDraw::BatchEnd& end);

  TDataDraw& m_e;
  TStagePhase m_phase = TStagePhase::Ready;
  TStagePhase m_back = TStagePhase::Revealed;  // where the choice goes back to
  size_t m_choice = 0;
  bool m_replacing = false;      // the roll or landing is a replacement's
  bool m_cardsReplaced = false;  // the cards show a replacement, not a batch
  size_t m_replacePlace = 0;
  bool m_celebrate = false;
  bool m_summaryDue = false;  // the finish message has been told
  std::string m_exhausted;
  std::string m_skipped;
  TDataDraw::BatchEnd m_end;
  enum class Pending { None, Start, Q } m_follow = Pending::None;
};
