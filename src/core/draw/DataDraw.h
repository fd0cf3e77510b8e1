// The operations of the draw from imported data: set-up, the selection of a batch (preset
// winners first), the roll, the journal, the advance to the next item and the save at the
// end, a replacement for an absent winner, and the resume of an unfinished draw. TDataDraw
// runs them over its parts: the candidate pool (who may still win), the journal writer and
// the pending draw found at set-up with its replay. It decides no conversation: which
// input does what, what the screen asks and shows, is the stage's (Stage.h).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/draw/CandidatePool.h"
#include "core/draw/DrawJournal.h"
#include "core/draw/DrawProof.h"
#include "core/draw/DrawResume.h"
#include "core/draw/DrawSession.h"
#include "core/draw/JournalWriter.h"
#include "core/draw/MoveRecords.h"
#include "core/draw/PlanRecords.h"
#include "core/draw/Random.h"
#include "core/draw/StageColumns.h"
#include "core/draw/StageKeys.h"
#include "core/records/VoidFile.h"
#include "core/text/Messages.h"

// The candidate id of a candidate line: the text before its first blank.
std::string_view CandidateId(std::string_view line);

// The scrolling list of winners, with a caption before the first winner of each prize item.
class TWinnerList {
 public:
  // Adds an already masked line under its prize item's caption; `place` is the winner's
  // place in draw order, -1 for a line that names no winner now (an absent one).
  void Add(std::string_view maskedLine, std::string_view itemName, int32_t place = -1);
  const std::vector<std::string>& Lines() const { return m_lines; }
  // The winner's place a line shows, or -1 (captions, blank lines, absent winners).
  int32_t PlaceAt(size_t line) const { return line < m_places.size() ? m_places[line] : -1; }
  // Bytes in the longest line added (captions not counted); the screen sizes the list by it.
  size_t WidestLine() const { return m_widest; }

 private:
  std::vector<std::string> m_lines;
  std::vector<int32_t> m_places;
  std::string m_lastItemName;
  size_t m_widest = 0;
};

class TDataDraw {
 public:
  // Where the operations left the draw: what the next operation may do.
  enum class State { Ready, Selecting, Rolling, BetweenBatches, Finished };

  // What a batch's selection decided.
  struct Batch {
    int wanted = 0;              // n: winners this batch should have
    std::vector<int32_t> picks;  // candidate indices, in pick order
    // Set when no eligible candidate was left: the text names the prize item.
    std::string exhaustedText;
    // Set when preset entries were passed over because the rules shut their candidates
    // out: the text names the item and how many.
    std::string skippedText;
  };

  // What the end of a batch decided.
  struct BatchEnd {
    std::string progressText;  // LbShowList
    bool prizeChanged = false;
    bool finished = false;
    bool saved = false;
    std::string saveError;  // the writer's text when saving failed
  };

  // The engine works on `session`, which it alone changes while the screen is open.
  // `fixedSecret` replaces the system's random secret with one made from the number, so
  // that a draw can be replayed exactly (tests, pictures).
  TDataDraw(TDrawSession& session, TRandom& rng, std::optional<uint32_t> fixedSecret = {})
      : m_s(session), m_rng(rng), m_fixedSecret(fixedSecret) {}

  // Loads the task of `taskId`, its prize items, its draw data file and preset entries into
  // the session, and looks for an unfinished journal of the task. False with the message to
  // show.
  bool SetUp(int32_t taskId, TDrawFailure& failure);
  // Where the draw stands, from its data: the batch or replacement under way, else how far
  // the items are drawn (Ready before anything was drawn).
  State state() const;

  // --- the batches ---
  // Ready or between batches, with something left to draw: Selecting.
  bool BeginBatch();
  // Picks all the batch's winners at once (preset entries first): fills the winner records
  // and the winners list. From Selecting (or directly from Ready or between batches);
  // afterwards the state is Rolling.
  Batch SelectBatchWinners();
  // One roll tick: a random candidate's id, masked, as the roll labels show it.
  std::vector<std::string> RollStep();
  // The roll label texts for an id (masked here).
  std::vector<std::string> RollTexts(std::string_view id) const;
  // The candidate ids of the batch (or replacement) being rolled, in pick order; empty
  // once it is revealed.
  std::vector<std::string> BatchIds() const;
  // Enter while rolling: the batch goes into the journal, flushed to disk, and then the
  // batch's ids, unmasked. Empty once the batch is revealed.
  std::vector<std::string> RevealBatch();
  // After the reveal: counts the batch, moves on to the next item, and on the last one
  // writes the winner files once (the previous ones move to the history). After a
  // replacement's reveal the draw stands where it stood; on the finished screen the files
  // are written again.
  BatchEnd EndBatch();
  // The batch under way, as its data say: its winners being picked; a roll (a batch's or a
  // replacement's) not revealed yet, and whether it is a replacement's.
  bool Picking() const { return m_run.under == Under::Selecting; }
  bool RollRuns() const {
    return (m_run.under == Under::Rolling || m_run.replace.active) && !m_run.revealed;
  }
  bool ReplacementRuns() const { return m_run.replace.active && !m_run.revealed; }
  // The item being drawn (the item count once all are drawn).
  int32_t CurItemIndex() const { return m_run.curItem; }
  // Places (in Winners) of the last batch's winners, in pick order.
  std::vector<size_t> LastBatchPlaces() const;
  // The place of the replacement when the last reveal (live or replayed by Resume) was a
  // replacement; none when it was a batch.
  std::optional<size_t> LastReplacedPlace() const { return m_run.lastReplaced; }
  const TWinnerList& WinnerList() const { return m_run.list; }

  // --- absent winners ---
  // A revealed winner may be marked absent between batches and on the finished screen.
  bool MayMarkAbsent() const {
    const State s = state();
    return (s == State::BetweenBatches || s == State::Finished) && !m_s.Winners.empty();
  }
  // The winner at `place` is absent and one replacement is picked for the place from those
  // who may still win (not on a preset list, not absent, and not drawn yet unless repeated
  // winning is on); its roll runs (state Rolling) until RevealBatch and EndBatch. False
  // with `message` when nobody is left: nothing changes.
  bool BeginReplacement(size_t place, std::string& message);

  // --- changes to the plan and voids ---
  // A prize item added live: its name and gift (GBK), winners and winners per batch.
  struct NewItem {
    std::string Name;
    int32_t LuckCount = 0;
    int32_t ListCount = 0;
    std::string Gift;
    // Who may win it, as any item's rules say (conditions on fields, an exclusion list; no
    // quota), besides the task's own; empty: anyone who may still win. ItemId is not read.
    TItemRules Rules = {};
  };
  // The plan may change once the first batch is revealed, between batches and after the
  // last one; never while a batch or a replacement is selected or rolled.
  bool MayChangePlan() const;
  // Each change is checked, its record goes into the journal, flushed, and then it applies;
  // a change refused leaves `message` (GBK) and changes nothing. `audience` (empty, or the
  // digits the hall called) is mixed into the generator from then on. `end` says where the
  // draw stands afterwards: a count down to the winners drawn completes the item, and the
  // last item's completion finishes the draw (its files written).
  // AddItem puts the item last in the plan, or next with `drawNext`; after the last batch
  // it takes the finished draw up again. Its rules are refused when a field is not on the
  // list or nobody on the list may win it under them.
  bool AddItem(const NewItem& item, bool drawNext, std::string_view audience, BatchEnd& end,
               std::string& message);
  // The item's winners from now on: at least one and never below those already drawn.
  bool ChangeCount(int32_t itemId, int32_t count, std::string_view audience, BatchEnd& end,
                   std::string& message);
  // The unfinished item `itemId` is drawn next; the item it displaces comes after it.
  bool ChooseNext(int32_t itemId, std::string_view audience, BatchEnd& end, std::string& message);
  // The item is a named award (指定颁奖): its batch hands out the named winners at once,
  // with no roll and no number drawn, and its record names them.
  bool IsNamedItem(int32_t itemId) const { return NamedOf(itemId) != nullptr; }
  // The changes made so far, in their order (replayed ones included).
  const std::vector<TPlanRecord>& PlanChanges() const { return m_run.changes; }

  // Voids the winner at `place` (作废/弃奖) for `reason` at `time` (YYYY-MM-DD HH:MM:SS),
  // between batches or after the last one. Without `redraw` the place stays empty at once
  // and the record is in the journal. With it one replacement is picked as for an absent
  // winner and rolled (state Rolling) until RevealBatch, which writes the record, and
  // EndBatch; nobody left to draw refuses the void. The voided winner stays in Voids() and
  // is not drawn again unless winners may win again.
  bool VoidWinner(size_t place, std::string_view reason, std::string_view time, bool redraw,
                  BatchEnd& end, std::string& message);
  // The same for every winner of the last batch still in place, with one roll for all the
  // redraws.
  bool VoidLastBatch(std::string_view reason, std::string_view time, bool redraw, BatchEnd& end,
                     std::string& message);
  // The voided winners in the order voided.
  const TArrVoidId& Voids() const { return m_run.voids; }
  // The place of the current winner `candidate` of item `itemId`; -1 with `message` when
  // that person holds no place there (voided already, or never drawn for it).
  int32_t PlaceOf(int32_t itemId, int32_t candidate, std::string& message) const;
  // Takes the task's finished draw up again after SetUp (for a void from the results): its
  // journal replayed, the draw standing finished. False with the GBK error.
  bool OpenFinished(std::string& error);

  // --- the journal and the resume ---
  // The unfinished journal found by SetUp: its kind and the winners it holds.
  const TPendingDraw& Pending() const { return m_draw.pending; }
  // Continues the pending draw: between batches as after its last batch, with the winners
  // list, the generator and the preset entries as they were; `end` holds the texts of that
  // moment. A draw whose every item was complete is saved here. False when the journal does
  // not replay (the draw stays fresh).
  bool Resume(BatchEnd& end, std::string& error);
  // Moves the pending journal to the history; the draw starts afresh.
  bool SetAsidePending(std::string& error);
  // A fresh draw: its journal begins with the head that holds the commitment, before the
  // Ready screen shows it (an earlier journal goes to the history first). When this fails
  // the first batch tries again.
  bool StartJournal(std::string& error);
  // The draw's move to this machine, once its journal was taken up (Resume), while no batch
  // was drawn after it; none otherwise.
  const std::optional<TMoveRecord>& Moved() const { return m_draw.moved; }
  // What the current draw's journal names in its first record.
  const TJournalHead& JournalHead() const { return m_draw.head; }
  // The text of the last failed journal write, cleared when read.
  std::string TakeJournalError();

  // --- the audience's number and the rules ---
  // The audience's number may be given until the first batch starts: empty or 1 … 18
  // digits. False (and nothing changes) otherwise.
  bool SetAudienceNumber(std::string_view digits);
  const std::string& AudienceNumber() const { return m_draw.start.Audience; }
  // The generator's seed, derived when the first batch started (0 before).
  uint32_t DrawSeed() const { return m_draw.start.Seed; }
  // What set-up found about the rules for the operator to hear before the draw: items that
  // keep fewer candidates than they have winners, preset entries the rules shut out. Empty
  // without rules.
  const std::vector<std::string>& RulesNotes() const { return m_draw.notes; }
  // The short line of the item's rules; empty without rules.
  std::string RulesLine(int itemIndex) const;

  // The session as the operations left it: the task, the items, the winners in draw order
  // and the absent ones.
  const TDrawSession& Session() const { return m_s; }
  // The heads of the list's title line after the id's, for an added item's conditions.
  std::vector<std::string> ListFields() const;
  // What the stage shows of a candidate line (the operator's columns and masks).
  const TStageColumns& Columns() const { return m_draw.columns; }
  // How the stage takes the operator's keys in time (the task's spans).
  const TStageKeys& Keys() const { return m_draw.keys; }
  // Who may still win what, for presentations that show the pool (it decides nothing).
  const TCandidatePool& Pool() const { return m_run.pool; }
  // Empties the session, as every draw screen does when it closes.
  void Close() { m_s.Clear(); }

 private:
  // The replacement being rolled: the place, the replacement, and with rules those the roll
  // shows (who else may take the place).
  struct Replace {
    bool active = false;
    size_t place = 0;
    int32_t pick = -1;
    std::vector<int32_t> shown;
    // A void's redraw: its records, one per place in order, replacements chosen; written
    // at the reveal.
    std::vector<TPlanRecord> voids;
  };
  // The batch under way: its winners being picked, or picked and rolling until it ends.
  enum class Under { None, Selecting, Rolling };
  // What one set-up decides, kept until the next: each SetUp builds it afresh.
  struct Draw {
    bool setUp = false;
    TDrawSecret secret{};
    TJournalHead head;
    TJournalStart start;
    bool started = false;      // the seed is derived and in use
    bool startQueued = false;  // the START record is in the journal or waits in the writer
    std::string dataPath;
    std::string titleLine;
    TStageColumns columns;
    TStageKeys keys;
    TPendingDraw pending;
    TJournalWriter journal;
    std::optional<TMoveRecord> moved;
    TPoolRules rules;
    std::shared_ptr<const TRulesIndex> rulesIndex;  // null without rules
    std::vector<std::string> notes;
    std::vector<std::string> excludedNames;  // the excluded tasks' names, in the rules' order
    bool hideExcludeCount = false;           // the rules line leaves out the lists' count
    TArrLuckItem plannedItems;               // the items as set up, before any change
    // Named awards: per item, the candidates handed the award by name, in their order.
    std::map<int32_t, std::vector<int32_t>> named;
  };
  // The draw from its first batch on: built afresh at set-up and before each replay.
  struct Run {
    TCandidatePool pool;
    Under under = Under::None;
    int32_t curItem = 0;
    TWinnerList list;
    Batch lastBatch;                     // the running batch, or the last one
    std::optional<size_t> lastReplaced;  // the last reveal was this place's replacement
    bool revealed = false;               // the running batch is in the journal
    int32_t rolls = 0;                   // roll ticks of the running batch
    std::string progress;                // the last progress text
    Replace replace;
    std::vector<uint8_t> closed;       // per item: ran out of eligible candidates, counts complete
    std::vector<TPlanRecord> changes;  // the plan's changes and voids, in their order
    TArrVoidId voids;
    uint32_t lastRng = 0;     // the generator's state after the last record replayed
    bool namedBatch = false;  // the running batch hands out a named award: nothing rolls
  };

  const TLuckTask& Task() const { return m_s.Task; }
  const TArrLuckItem& Items() const { return m_s.Items; }
  bool IsNumeric() const { return m_s.Task.IdType == TIdType::Numeric; }
  bool AudienceOpen() const;
  int BatchSize() const;
  BatchEnd EndReplacement();
  void Accept(int32_t k, const TLuckItem& item);
  void ResetDraw();
  // After `journal` (at `path`) was replayed: the draw goes on from its end, its secret and
  // seed taken up, the next record appended to it.
  void TakeUp(const TJournal& journal, const std::string& path);
  BatchEnd Advance();
  void Save(BatchEnd& end);
  void Journal(const std::string& record);
  bool MakeSecret(std::string& error);
  // Reads the task's rules and the excluded tasks' winners, indexes them over the list and
  // puts them in the head. False with the failure to show.
  bool SetUpRules(TDrawFailure& failure);
  // An unfinished draw of the same rules goes on excluding the ids its journal holds: the
  // exclusion was fixed at its first batch, whatever the excluded tasks drew since.
  void KeepJournalExclusion();
  void MarkAbsent(size_t place, int32_t replacement);
  void RebuildList();
  std::string JournalFile() const;
  bool Replay(const TJournal& journal, BatchEnd& end);
  // Rewrites the draw files of a finished draw whose last replacement reached its journal
  // but not its files (killed in between). Anything else is left as it stands.
  void CatchUpFinishedFiles();
  std::vector<std::string> IdsOf(const std::vector<int32_t>& picks) const;
  // The plan's records: checks, applies, and replays them.
  bool CheckChange(const TPlanRecord& r, std::string& message) const;
  void ApplyChange(const TPlanRecord& r, BatchEnd& end);
  bool ApplyVoid(const TPlanRecord& r);
  bool ReplayPlan(const TPlanRecord& r, BatchEnd& end);
  // An added item's own rules indexed over the list; null with the GBK error.
  std::shared_ptr<const TRulesIndex> OwnRulesIndex(int32_t itemId, const TItemRules& rules,
                                                   std::string& error) const;
  bool WritePlanRecord(TPlanRecord r, std::string_view audience, BatchEnd& end,
                       std::string& message);
  bool Void(std::vector<size_t> places, std::string_view reason, std::string_view time, bool redraw,
            BatchEnd& end, std::string& message);
  void RevealVoids();
  // The current item is the first unfinished one; the draw is finished when none is left.
  void SettlePlan(int32_t wasCurrent, BatchEnd& end);
  bool ItemComplete(size_t index) const;
  void SaveFinishedInPlace(BatchEnd& end);
  // Reads the items' named awards, checks them against the list and puts them in the head.
  bool SetUpNamed(TDrawFailure& failure);
  // The item's named winners; null for an item that is drawn.
  const std::vector<int32_t>* NamedOf(int32_t itemId) const;

  TDrawSession& m_s;
  TRandom& m_rng;
  std::optional<uint32_t> m_fixedSecret;
  Draw m_draw;
  Run m_run;
};

// Number of roll labels for the session's ids: one per id byte for numeric ids, one
// otherwise.
int RollLabelCount(const TDrawSession& session);
