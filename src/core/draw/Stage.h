// The data draw screen's rules: which phase the stage is in, what each of the screen's
// inputs does in it, and what the screen then shows, from the opening with its questions to
// the leaving. The window keeps the widgets, the timers and the painting, feeds its inputs
// here and applies the frame each one answers; a question is a frame too, whose answer is
// the next input, and a message told stays in sight until it is acknowledged. Every reveal
// is told to the session's observers, and after every input they hear the stage's state.
// The texts of the frames come finished from the stage's view (StageView.h).
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
#include <deque>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "core/draw/DataDraw.h"
#include "core/draw/StageFrame.h"
#include "core/draw/StageKeys.h"
#include "core/draw/StageObserver.h"
#include "core/draw/StageState.h"

// A change to the plan made live, whoever makes it (the draw window's keys, a phone).
enum class TPlanChangeKind {
  AddItem,      // 临时加奖: `item`, drawn next or last
  ChangeCount,  // 改名额: the item `itemId` has `count` winners from now on
  ChooseNext,   // 选择下一个奖项: the item `itemId` is drawn next
};
struct TPlanChange {
  TPlanChangeKind kind = TPlanChangeKind::AddItem;
  TDataDraw::NewItem item;
  bool drawNext = true;
  int32_t itemId = 0;
  int32_t count = 0;
  std::string audience;  // digits the hall called, mixed in from now on; empty for none
};

// A void (作废/弃奖) of the winner at `place` (draw order), or of the whole last batch.
enum class TVoidScope { Winner, LastBatch };
struct TVoidRequest {
  TVoidScope scope = TVoidScope::Winner;
  size_t place = 0;
  std::string reason;  // GBK: one of VoidReasons() or typed
  std::string time;    // YYYY-MM-DD HH:MM:SS
  bool redraw = false;
};
// What departs from the plan, as one input of the stage.
using TStageChange = std::variant<TPlanChange, TVoidRequest>;

class TStage {
 public:
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

  // The frames carry the sphere's population from now on (the task rolls a sphere).
  void CarrySphere() { m_sphere = true; }

  TStagePhase Phase() const;
  // The question waiting for its answer, None when none.
  TStageQuestion Asking() const { return m_asking; }
  // The message in sight: the first told and not yet acknowledged; none when none.
  std::optional<TStageMessage> Message() const;
  // The place the choice stands on (Choosing).
  size_t Choice() const { return m_choice; }
  // A batch is being fixed or rolls: 结束 and leaving wait.
  bool Busy() const;
  // The grand prize's moment: the draw's last reveal is on the whole screen, and the end of
  // the draw is not told yet.
  bool GrandMoment() const { return m_grand; }
  // A named award's card is in sight: from its reveal (or the resumed draw that ends in it)
  // until the next batch starts, the plan changes, a winner is voided or replaced, or the
  // summary takes the screen. A choice stands over it.
  bool NamedMoment() const;
  // Leaving now closes the screen without a question.
  bool MayClose() const { return !Busy() && !LeaveAsks(); }
  // The winners list shows (and scrolls) unless the task hides it or a batch is running.
  bool ShowsWinnersList() const;
  // The item index whose prize line is in sight; -1 before the Ready screen.
  int PrizeShown() const { return m_prizeShown; }
  // What a remote sees of the screen now, and whether its `input` counts now.
  TStageState State() const;
  bool Allowed(TStageInput input) const { return Allows(State(), input); }

  // Enter, or a click on the roll's area: a start key, or a stop key while a roll runs.
  TStageFrame Enter();
  // 开始 or 继续: a batch starts (a landing is shown at once first; a choice is left); in the
  // grand prize's moment the end of the draw follows instead. A named award's batch is not
  // drawn: it is revealed at once (Reveals, celebrated), nothing rolls.
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
  // The message in sight was answered (its 确定, or any key): the next one is in sight.
  void Acknowledge();
  // A remote's button: refused (an empty frame) unless Allowed; otherwise the input its key
  // gives: Start, Enter (Stop), Key Q (MarkAbsent, CancelChoice), CardClicked(`index`)
  // (Choose), Leave. Yes, No and Ok answer what is in sight through the screen's prompt
  // (the frame's `reply`), which hands the answer back here as its keys do.
  TStageFrame Press(TStageInput input, int index = 0);
  // 结束, the window's close, or Esc outside a choice: the screen closes, asking first when
  // winners are revealed and the draw is not finished; refused while a batch is fixed or
  // rolls.
  TStageFrame Leave();
  // A change to the plan or a void, taken between batches and on the finished screen
  // (State().mayChange), never while a batch is fixed, rolls or lands, nor during a choice
  // or a question; otherwise refused, the frame's message saying why, and nothing changes.
  // An accepted change to the plan is on the engine's record; the band (Changes) says what
  // changed and what comes next, the prize line and the winners list follow the engine's
  // items, and a change that ends the draw ends it as its last batch does. A void without
  // redraw shows the cards and the list with the place empty at once (Reveals, the status
  // line saying what was voided); with it the place's replacement rolls as an absent
  // winner's does (Rolls, replacement).
  TStageFrame Change(const TStageChange& change);
  // 黑屏 (`on`) or 恢复: the projector shows its background alone, or the draw again;
  // nothing of the draw stops or changes. Refused while a batch or a replacement is fixed,
  // rolls or lands (the note says why). While blanked no roll starts: a start key, the
  // replacement of an absent winner and a void with redraw are refused with a note for the
  // operator, never a message on the projector.
  TStageFrame Blank(bool on);
  bool Blanked() const { return m_blanked; }
  // The screen has gone (after Closes, or torn down): nothing more is asked, and the
  // session is emptied as every draw screen empties it.
  void Shut();
  // The screen's timers: the selection's turn, the roll's tick (the labels' next texts while
  // a roll runs, nothing otherwise), the landing's end (also the reveal asked for at once),
  // and the summary's time.
  TStageFrame Time(TStageTimer timer);
  // The window shows the reveal (or the resumed draw) of its last frame: the landing is over
  // and the cards are painted. Only now are the session's observers told the winners list,
  // so that no phone is ahead of the projector; nothing when they know it already. An input
  // that moves on from a reveal the window never reported tells them first.
  void InSight();
  // The winners list as the hall has seen it: up to the last reveal, from its first
  // caption; what every observer was last told.
  const TRevealedList& RevealedList() const { return m_list; }

 private:
  // Counts the inputs under way: the outermost keeps the messages its frame tells and, once
  // it returns, tells the observers the stage's state.
  class Telling;
  friend class Telling;
  void TellMoved() const;

  TStageFrame OnOpen();
  TStageFrame OnEnter();
  TStageFrame OnStart();
  TStageFrame OnKey(TStageKey key, int digit);
  TStageFrame OnFollow();
  TStageFrame OnCardClicked(int card);
  TStageFrame OnAnswer(TStageAnswer a);
  TStageFrame OnLeave();
  TStageFrame OnChangePlan(const TPlanChange& change);
  TStageFrame OnVoid(const TVoidRequest& request);
  TStageFrame OnBlank(bool on);
  // A roll was asked for while blanked: refused, the operator told why.
  TStageFrame RefusedBlanked();
  // Whether a change or a void is taken now.
  bool MayChange() const;
  // A refusal of a change: its message, nothing else.
  static TStageFrame Refused(const std::string& message);
  // The frame after an accepted change with the engine's `end`, the change told by `text`.
  TStageFrame Changed(const TDataDraw::BatchEnd& end, const std::string& text);
  TStageFrame Select();
  // The named award of the item drawn now, handed out and revealed in one step.
  TStageFrame NamedAward();
  TStageFrame RollTick();
  TStageFrame LandingOver();
  TStageFrame SummaryTime();
  TStageFrame StopRoll();
  // The grand prize's moment ends: the end of the draw is told.
  TStageFrame EndGrand();
  // A start key now falls within the rest after the screen last showed something new.
  bool Resting() const;
  // A stop key now falls within the minimum roll.
  bool RollTooShort() const;
  TStageFrame Reveal();
  // The reveal of the winners on the cards now.
  TStageReveal RevealNow() const;
  // The sphere's population for the item drawn now, when the frames carry it.
  void SphereNow(TStageFrame& f) const;
  // The candidates of the winners at `places`, when the frames carry the sphere.
  void SphereWinners(TStageFrame& f, const std::vector<size_t>& places) const;
  TStageFrame OpenChoice();
  TStageFrame EndChoice();
  TStageFrame ChoiceFrame();
  TStageFrame Ask(size_t place);
  TStageFrame ReplaceAbsent(size_t place);
  // The roll of a replacement at `place` has begun in the engine: its frame.
  TStageFrame ReplacementRoll(size_t place);
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
  // Where the draw's data stand with no batch under way: Ready before anything was drawn,
  // Finished once every item is, Revealed between.
  TStagePhase Standing() const;
  bool EveryItemDrawn() const;
  // The status line of the frame, finished.
  static void Status(TStageFrame& f, const std::string& text);
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
  // The voided winners on the engine's record.
  std::vector<TRevealedLine> VoidedLines() const;
  // The voided winners (the engine's, then `pending`: those a redraw voids) into the list,
  // told to the observers at once.
  void TellVoids(std::vector<TRevealedLine> pending);
  // The prize line moves to `itemIndex` when another item's is in sight.
  void ShowPrizeOf(TStageFrame& f, int itemIndex);

  TDataDraw& m_e;
  TStageClock m_clock;
  std::optional<int64_t> m_shownAt;  // when the screen last showed something new
  int64_t m_rollAt = 0;              // when the roll running started
  bool m_grand = false;              // the grand prize's moment stands
  bool m_named = false;              // the reveal in sight is a named award's card
  bool m_blanked = false;            // 黑屏: the projector shows its background alone
  std::string m_note;                // why the last input was refused, for the operator
  // What the stage itself holds: the opening, the landing, a choice, the summary, closed;
  // kStanding otherwise, where Phase() answers from the draw's data (a batch or replacement
  // under way, else Standing()).
  static constexpr TStagePhase kStanding = TStagePhase::Ready;
  TStagePhase m_phase = TStagePhase::Opening;
  TStagePhase m_back = kStanding;  // where the choice goes back to
  TStageQuestion m_asking = TStageQuestion::None;
  std::string m_question;            // the text of the question asked
  std::deque<TStageMessage> m_told;  // the messages told and not yet acknowledged
  int m_inputs = 0;                  // inputs under way (one calls another)
  size_t m_askPlace = 0;             // the absent winner asked about
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
