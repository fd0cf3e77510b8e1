// What the data draw screen's stage answers to each input (a frame) and the names it uses:
// its phases, its questions, its inputs and the finished texts the screen shows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/draw/SpherePopulation.h"
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

// The buttons of a remote (the host's phone): the same inputs as the screen's keys, which
// the stage takes only where its phase allows them (TStage::Press).
enum class TStageInput {
  Start,         // 开始 / 继续
  Stop,          // 停止: only ever stops a roll
  MarkAbsent,    // 标记缺席: the choice of an absent winner opens
  Choose,        // the winner at an index among those revealed is the absent one
  CancelChoice,  // the choice closes
  Yes,           // the question in sight: 是 (替补 for an absent winner)
  No,            // 否
  Ok,            // the message in sight: 确定
  Leave,         // 结束
  Blank,         // 黑屏: the projector shows the background alone; nothing else changes
  Unblank,       // 恢复: the projector shows the draw again
};

// The screen's timers and turns, each an input of the stage (TStage::Time).
enum class TStageTimer {
  Select,   // the Selecting frame was shown: the winners are picked and the roll starts
  Roll,     // the roll's tick: the roll labels' next texts while a roll runs
  Landing,  // the landing is over; also the reveal asked for at once
  Summary,  // the summary's time has come
};

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
  Changes,     // a change to the plan holds: the cards make way for the band, which says
               // what changed and what comes next
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
  // operator's next start key (TStageStep::Ends). With it the grand prize's screen's title
  // (the last item's name) and its gift line ("奖品：…", empty without an award), finished.
  bool grand = false;
  std::string grandItem;
  std::string grandGift;
  // A named award (指定颁奖), handed out by name: its winners stand on a whole screen of their
  // own like the grand prize's, titled by grandItem (the item's name, then 指定颁奖) and
  // grandGift. It stays while the stage keeps it (TStage::NamedMoment).
  bool named = false;
  bool operator==(const TStageReveal&) const = default;
};
inline bool operator==(const TStageCardText& a, const TStageCardText& b) {
  return a.id == b.id && a.name == b.name && a.rest == b.rest && a.photo == b.photo;
}

struct TStageMessage {
  MessageKind kind = MessageKind::Information;
  std::string text;
  bool operator==(const TStageMessage&) const = default;
};

// The band before the first batch: the prize item that comes next, and its count, gift and
// short rules line (GBK, finished).
struct TStageBand {
  std::string item;
  std::string gift;
};

struct TStageFrame {
  TStageStep step = TStageStep::None;
  bool taken = false;  // the input did something (a key was used)
  // Every text is finished (GBK, stage punctuation applied): the screen shows it as it is.
  std::optional<std::string> status;                  // the status line
  std::optional<std::string> hint;                    // the hint line
  std::optional<std::string> audience;                // the audience number's line
  std::optional<std::vector<std::string>> rollTexts;  // the roll labels show these
  bool hideRoll = false;                              // the roll labels go
  std::optional<TStageReveal> reveal;                 // with Reveals and Resumes
  std::optional<TRevealedList> list;                  // the winners list, when a reveal changed it
  std::vector<std::string> listLines;  // with list: its lines as the screen shows them
  size_t listWidest = 0;      // with list: bytes in its widest winner line (the panel's width)
  bool finished = false;      // the reveal ends the draw: no 继续
  bool prizeChanged = false;  // the prize line moves on to `prizeItem`
  int prizeItem = 0;          // with prizeChanged: the item now drawn
  std::string prize;          // with prizeChanged: its prize line
  std::optional<std::string> proof;            // with Opens: the draw's proof line
  std::optional<TStageBand> band;              // with Opens and Changes: the band's texts
  bool celebrate = false;                      // fireworks over the reveal
  bool replacement = false;                    // the roll or reveal is a replacement's
  TStageQuestion asks = TStageQuestion::None;  // with Asks: which question
  size_t place = 0;                            // with Asks: the winner's place in draw order
  std::string question;                        // with Asks: its text (GBK)
  TStageAnswer preferred = TStageAnswer::No;   // with Asks: the answer Enter gives
  TStageAnswer escape = TStageAnswer::No;      // with Asks: the answer Esc gives
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
  bool hintShown = true;              // with Summarises: the hint stays in sight below it
  std::vector<TItemSummary> summary;  // with Summarises: each item's caption and winners
  bool startSummaryTimer = false;     // after the messages
  bool stopSummaryTimer = false;
  // The frame ended a landing early: the input it answered goes on with Follow().
  bool follows = false;
  // A remote answered what is in sight: the screen's prompt takes this answer (a message
  // any), as if its own key gave it, and hands it to the stage as usual.
  std::optional<TStageAnswer> reply;
  // For the sphere of the roll, when the stage carries it: who may win now (with Opens,
  // Starts, a replacement's Rolls, and Reveals and Resumes that do not finish the draw), and
  // the winners who leave it (with a batch's Rolls, and Lands).
  std::optional<TSpherePopulation> sphere;
  std::vector<int32_t> sphereWinners;
  // 黑屏 / 恢复: the projector goes to its background (true) or shows the draw again.
  std::optional<bool> blank;
};
