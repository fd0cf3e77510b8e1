// The data draw screen's rules: which phase the stage is in, what each of the screen's
// inputs does in it, and what the screen then shows, from the opening with its questions to
// the leaving. The window keeps the widgets, the timers and the painting, feeds its inputs
// here and applies the frame each one answers; a question is a frame too, whose answer is
// the next input. Every reveal is told to the session's observers.
//
// The inputs are the same whatever sends them (the keyboard, a clicker, the buttons, a
// phone), and so are the rules of time, read from the stage's clock: a start key within the
// task's rest (TStageKeys::restMs) after the screen showed something new (a reveal, the Ready
// screen, the resumed draw) is ignored, and so is a stop key within the task's minimum roll
// (TStageKeys::minRollMs) of a roll's start. An ignored key does nothing at all, and the
// operator's next press counts as usual.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/draw/DataDraw.h"
#include "core/draw/SpherePopulation.h"
#include "core/draw/StageColumns.h"
#include "core/draw/StageKeys.h"
#include "core/draw/StageObserver.h"
#include "core/draw/WinnerSummary.h"
#include "core/text/Messages.h"

enum class TStagePhase {
  Opening,    // set up; the questions of the opening are still to be answered
  Ready,      // before the first batch
  Selecting,  // the batch's winners are being fixed
  Rolling,    // a batch rolls
  Landing,    // the roll rests on the batch's first winner before the reveal
  Revealed,   // between batches, the last batch (or replacement) in sight
  Choosing,   // Q: an absent winner is being chosen
  Replacing,  // an absent winner's replacement rolls
  Summary,    // every winner of every item in the reveal's place
  Finished,   // the last batch in sight, the summary still to come
  Closed,     // the screen is leaving, or its opening ended it
};

// The questions the stage asks; each waits for Answer().
enum class TStageQuestion {
  None,
  Resume,   // an unfinished draw: go on with it?
  Results,  // the task has winner files: draw again?
  Absent,   // the winner at the frame's place is absent?
  Leave,    // leave with winners revealed and the draw unfinished?
};
enum class TStageAnswer { Yes, No, Closed };

// The keys the stage knows besides Enter.
enum class TStageKey { Q, Up, Down, Left, Digit, Backspace, Esc, Other };

// What the screen does in answer to an input, beside the texts.
enum class TStageStep {
  None,        // nothing moves (the texts of the frame, if any, still change)
  Opens,       // the Ready screen stands: the prize line, the band and the proof
  Starts,      // a batch starts: Selecting shows; the window calls Select() on its next turn
  Rolls,       // the roll runs (a batch's or a replacement's)
  Lands,       // the roll stopped on its landing; the landing's timer runs
  Reveals,     // the batch (or replacement) is revealed
  Chooses,     // the choice of an absent winner opens or moves
  Asks,        // the frame's question is to be asked (after its messages); Answer() follows
  Summarises,  // the summary takes the reveal's place
  Resumes,     // an earlier draw goes on: the screen stands as after its last batch
  Ends,        // the grand prize's moment gives way to the finished screen; the end of the
               // draw is told (the frame's messages), then the summary's timer runs
  Closes,      // the screen closes (after the frame's messages)
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
  // moment) before anything else is told. The end of the draw and the summary wait for the
  // operator's next start key (TStageStep::Ends).
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
  std::optional<TRevealedList> list;                  // the winners list, when a reveal changed it
  bool finished = false;                              // the reveal ends the draw: no 继续
  bool prizeChanged = false;                          // the prize line moves on to `prizeItem`
  int prizeItem = 0;                                  // with prizeChanged: the item now drawn
  std::string prize;                                  // with prizeChanged: its prize line (GBK)
  std::optional<std::string> proof;                   // with Opens: the draw's proof line
  bool celebrate = false;                             // fireworks over the reveal
  bool replacement = false;                           // the roll or reveal is a replacement's
  TStageQuestion asks = TStageQuestion::None;         // with Asks: which question
  size_t place = 0;                                   // with Asks: the winner's place in draw order
  std::string question;                               // with Asks: its text (GBK)
  TStageAnswer preferred = TStageAnswer::No;          // with Asks: the answer Enter gives
  TStageAnswer escape = TStageAnswer::No;             // with Asks: the answer Esc gives
  // Told after the reveal is in sight, in this order; the hint changes after the first
  // `hintAfter` of them.
  std::vector<TStageMessage> messages;
  size_t hintAfter = 0;
  // With Chooses: the winner chosen, as the card it stands on (its index among the cards),
  // as its line of a batch too large for cards (its index among the reveal's lines), and as
  // its line of the winners list; each none when it is not there.
  std::optional<size_t> chosenCard;
  std::optional<size_t> chosenRow;
  std::optional<size_t> chosenLine;
  bool hintShown = true;           // with Summarises: the hint stays in sight below it
  bool startSummaryTimer = false;  // after the messages
  bool stopSummaryTimer = false;
  // The frame ended a landing early: the input it answered goes on with Follow().
  bool follows = false;
  // For the sphere of the roll, when the stage carries it: who may win now (with Opens,
  // Starts, a replacement's Rolls, and Reveals and Resumes that do not finish the draw), and
  // the winners who leave it (with a batch's Rolls, and Lands).
  std::optional<TSpherePopulation> sphere;
  std::vector<int32_t> sphereWinners;
};

class TStage {
 public:
  static constexpr size_t kMaxCards = 6;

  // `clock` tells the time for the rules of time; a test gives one it sets.
  explicit TStage(TDataDraw& engine, TStageClock clock = SteadyMilliseconds)
      : m_e(engine), m_clock(std::move(clock)) {}

  // Sets the engine up for the task; false with the failure to show (the screen does not
  // open).
  bool SetUp(int32_t taskId, TDrawFailure& failure);
  // The opening after a set-up: an earlier unfinished draw is resumed or set aside (asking
  // first), a task already drawn asks before it is drawn again, and the Ready screen (or
  // the resumed one) follows; what the rules leave short is told once.
  TStageFrame Open();
  const TLuckTask& Task() const { return m_e.Session().Task; }

  // The frames carry the sphere's population from now on (the task rolls a sphere).
  void CarrySphere() { m_sphere = true; }

  TStagePhase Phase() const { return m_phase; }
  // The question waiting for its answer, None when none.
  TStageQuestion Asking() const { return m_asking; }
  // The place the choice stands on (Choosing).
  size_t Choice() const { return m_choice; }
  // A batch is being fixed or rolls: 结束 and leaving wait.
  bool Busy() const;
  // The grand prize's moment: the draw's last reveal is on the whole screen, and the end of
  // the draw is not told yet.
  bool GrandMoment() const { return m_grand; }
  // Leaving now closes the screen without a question.
  bool MayClose() const { return !Busy() && !LeaveAsks(); }
  // The winners list shows (and scrolls) unless the task hides it or a batch is running.
  bool ShowsWinnersList() const;

  // Enter, or a click on the roll's area: a start key, or a stop key while a roll runs.
  TStageFrame Enter();
  // 开始 or 继续: a batch starts (a landing is shown at once first; a choice is left); in the
  // grand prize's moment the end of the draw follows instead.
  TStageFrame Start();
  // Any other key; `digit` is 0 … 9 with TStageKey::Digit. Esc in the grand prize's moment
  // ends it as a start key does.
  TStageFrame Key(TStageKey key, int digit = 0);
  // After a frame that `follows`: the rest of the input it answered.
  TStageFrame Follow();
  // A click on the reveal's card `card` (0 = the first), or on line `line` of the winners
  // list as revealed.
  TStageFrame CardClicked(int card);
  TStageFrame ListLineClicked(size_t line);
  // The answer to the question of the last Asks frame; nothing when none waits.
  TStageFrame Answer(TStageAnswer a);
  // 结束, the window's close, or Esc outside a choice: the screen closes, asking first when
  // winners are revealed and the draw is not finished; refused while a batch is fixed or
  // rolls.
  TStageFrame Leave();
  // The screen has gone (after Closes, or torn down): nothing more is asked, and the
  // session is emptied as every draw screen empties it.
  void Shut();
  // The roll's timer: the roll labels' next texts while a roll runs, nothing otherwise.
  TStageFrame RollTick();
  // The Selecting frame was shown: the winners are picked and the roll starts.
  TStageFrame Select();
  // The landing's timer; also the reveal asked for at once.
  TStageFrame LandingOver();
  // The summary's timer.
  TStageFrame SummaryTime();
  // The window shows the reveal (or the resumed draw) of its last frame: the landing is over
  // and the cards are painted. Only now are the session's observers told the winners list,
  // so that no phone is ahead of the projector; nothing when they know it already. An input
  // that moves on from a reveal the window never reported tells them first.
  void InSight();
  // A reveal stands that the observers have not been told (the hall may not see it yet).
  bool Untold() const { return m_untold; }

  // Texts of the screen (GBK).
  std::string ReadyText() const;
  // The item's prize line: ItemName + "奖品:" + AwardName, or empty; under rules followed by
  // a full-width blank and the item's rules line (the item's name for an empty award).
  std::string PrizeText(int itemIndex) const;
  // The line the audience can photograph before the draw: the list's fingerprint, the
  // number of candidates, for a draw of those checked in their fingerprint and number, and
  // the commitment, shortened.
  std::string ProofText() const;
  // Number of roll labels: one per id byte for numeric ids, one otherwise.
  int RollLabelCount() const;
  bool NumericIds() const { return m_e.Session().Task.IdType == TIdType::Numeric; }
  // Bytes in the widest winner line of the list; the screen turns them into its pixels.
  size_t ListWidestLine() const { return m_e.WinnerList().WidestLine(); }

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
  // The winner at `place` as the hall may read it: the name as the stage shows it and the id
  // masked by the task's mask, "张三（138XXXX5678）"; either alone when the other is not shown.
  std::string PersonText(size_t place) const;
  // The item index whose prize line is in sight; -1 before the Ready screen.
  int PrizeShown() const { return m_prizeShown; }
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
  // The winners list as the hall has seen it: up to the last reveal, from its first
  // caption; what every observer was last told.
  const TRevealedList& RevealedList() const { return m_list; }

 private:
  TStageFrame StopRoll();
  // The grand prize's moment ends: the end of the draw is told.
  TStageFrame EndGrand();
  // A start key now falls within the rest after the screen last showed something new.
  bool Resting() const;
  // A stop key now falls within the minimum roll.
  bool RollTooShort() const;
  TStageFrame Reveal();
  // The sphere's population for the item drawn now, when the frames carry it.
  void SphereNow(TStageFrame& f) const;
  // The candidates of the winners at `places`, when the frames carry the sphere.
  void SphereWinners(TStageFrame& f, const std::vector<size_t>& places) const;
  TStageFrame OpenChoice();
  TStageFrame EndChoice();
  TStageFrame ChoiceFrame();
  TStageFrame Ask(size_t place);
  TStageFrame AskAbsent(size_t place);
  TStageFrame Replace(size_t place);
  // After the engine resumed an earlier draw with `end`: the cards show the last reveal, the
  // replacement alone when the journal ended in one.
  TStageFrame Resumed(const TDataDraw::BatchEnd& end, TStageFrame f);
  // The opening goes on with a new draw: an earlier journal goes to the history, a task
  // already drawn asks first.
  TStageFrame Fresh(TStageFrame f);
  TStageFrame Ready(TStageFrame f);
  TStageFrame Close(TStageFrame f);
  TStageFrame Question(TStageFrame f, TStageQuestion q, std::string text, TStageAnswer preferred,
                       TStageAnswer escape = TStageAnswer::No);
  bool LeaveAsks() const;
  void TellNotes(TStageFrame& f) const;
  TStagePhase Standing() const;
  // The end of the draw told after its last reveal: the finish message, or the writer's
  // failure; the summary is due from then on.
  void TellFinish(TStageFrame& f, const TDataDraw::BatchEnd& end);
  // The winners list up to the engine's end is revealed: the frame carries it and the
  // session's observers are told.
  void RevealList(TStageFrame& f);
  // The item of the winners on the cards now (the prize line they stand beside).
  int RevealedItem() const;
  // The observers hear the winners list held back since the last reveal.
  void TellUntold();
  // The prize line moves to `itemIndex` when another item's is in sight.
  void ShowPrizeOf(TStageFrame& f, int itemIndex);

  TDataDraw& m_e;
  TStageClock m_clock;
  std::optional<int64_t> m_shownAt;  // when the screen last showed something new
  int64_t m_rollAt = 0;              // when the roll running started
  bool m_grand = false;              // the grand prize's moment stands
  TStagePhase m_phase = TStagePhase::Opening;
  TStagePhase m_back = TStagePhase::Revealed;  // where the choice goes back to
  TStageQuestion m_asking = TStageQuestion::None;
  size_t m_askPlace = 0;  // the absent winner asked about
  size_t m_choice = 0;
  bool m_celebrate = false;
  bool m_sphere = false;      // the frames carry the sphere's population
  bool m_summaryDue = false;  // the end of the draw has been told
  std::string m_exhausted;
  std::string m_skipped;
  TDataDraw::BatchEnd m_end;
  TRevealedList m_list;
  bool m_untold = false;  // m_list is in the frame but not yet told to the observers
  int m_prizeShown = -1;  // the item of the prize line in sight
  enum class Pending { None, Start, Q } m_follow = Pending::None;
};
