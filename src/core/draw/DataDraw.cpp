#include "core/draw/DataDraw.h"

#include <algorithm>

#include "core/db/TombolixDM.h"
#include "core/draw/DrawOpenings.h"
#include "core/draw/DrawTexts.h"
#include "core/draw/MoveRecords.h"
#include "core/draw/StageText.h"
#include "core/records/CheckinFile.h"
#include "core/records/DrawDataFile.h"
#include "core/records/FileHash.h"
#include "core/records/Loaders.h"
#include "core/records/NamedAwardFile.h"
#include "core/records/ResultsHistory.h"
#include "core/records/WinnerFiles.h"
#include "core/text/FileWrite.h"
#include "core/text/Gbk.h"
#include "core/text/Messages.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"

using text::G;

namespace {

// Why a named award's place is never drawn again (GBK).
std::string NamedNoRedraw(const std::string& itemName) {
  return text::G("奖项[") + itemName + text::G("]是指定颁奖,不抽替补;可以作废并让名额空缺");
}

// Numeric ids get one roll label per byte; a header claiming more than a screen can show
// must not make thousands of labels.
constexpr int kMaxRollLabels = 32;
}  // namespace

std::string_view CandidateId(std::string_view line) {
  const size_t blank = line.find(' ');
  return blank == std::string_view::npos ? line : line.substr(0, blank);
}

void TWinnerList::Add(std::string_view maskedLine, std::string_view itemName, int32_t place) {
  std::string t = text::Trim(maskedLine);
  if (m_lines.empty()) m_lines.emplace_back();
  if (!itemName.empty() && itemName != m_lastItemName) {
    m_lines.emplace_back();
    m_lines.push_back(std::string(itemName) + ":");
    m_lastItemName = std::string(itemName);
  }
  m_places.resize(m_lines.size(), -1);
  m_places.push_back(place);
  m_widest = std::max(m_widest, t.size());
  m_lines.push_back(std::move(t));
}

bool TDataDraw::SetUp(int32_t taskId, TDrawFailure& failure) {
  m_draw = Draw();
  m_run = Run();
  if (!OpenDrawTask(m_s, taskId, failure)) return false;
  // An item that can take no winner would never complete, and the draw could never finish.
  for (const TLuckItem& it : m_s.Items) {
    if (it.LuckCount < 1 || it.ListCount < 1) {
      failure = {MessageKind::Attention,
                 G("奖项[") + it.ItemName + G("]的中奖人数和每次抽取人数必须大于0,请重新配置奖项")};
      return false;
    }
  }
  m_s.Winners.clear();
  m_draw.plannedItems = m_s.Items;
  std::string error;
  m_draw.dataPath = DrawDataFileOf(m_s.Task);
  if (!m_s.LoadCandidates(m_draw.dataPath, m_draw.titleLine, error)) {
    failure = {MessageKind::Error, error};
    return false;
  }
  m_s.LoadPresets();
  if (!SetUpRules(failure)) return false;
  // What the stage shows of each line: the operator's choice of columns and masks.
  std::string shown;
  if (!LoadStageColumns(taskId, shown, error)) {
    failure = {MessageKind::Error, error};
    return false;
  }
  m_draw.columns =
      TStageColumns(m_draw.titleLine, shown, IsNumeric(), m_s.Task.HideBegin, m_s.Task.HideEnd);
  // How the stage takes the keys in time.
  std::string keys;
  if (!LoadStageKeys(taskId, keys, error)) {
    failure = {MessageKind::Error, error};
    return false;
  }
  m_draw.keys = ParseStageKeys(keys);

  // What this draw is drawn from, for its journal and for matching an earlier one.
  TJournalHead& head = m_draw.head;
  head.TaskId = taskId;
  if (!Sha256File(m_draw.dataPath, head.DataHash, error)) {
    failure = {MessageKind::Error, error};
    return false;
  }
  std::vector<std::pair<int32_t, std::string>> presets;
  presets.reserve(m_s.Presets.size());
  for (const TCheatId& e : m_s.Presets) presets.emplace_back(e.ItemId, e.IdText);
  head.PresetHash = PresetHashOf(presets);
  head.LuckAgain = m_s.Task.LuckAgain;
  for (const TLuckItem& it : m_s.Items)
    head.Items.push_back({it.ItemId, it.LuckCount, it.ListCount});
  if (!SetUpNamed(failure)) return false;
  KeepJournalExclusion();
  if (!MakeSecret(error)) {
    failure = {MessageKind::Error, error};
    return false;
  }
  ResetDraw();
  if (m_draw.rulesIndex) {
    for (const TLuckItem& it : m_s.Items) {
      const std::string tooFew =
          drawtext::TooFewForRules(it.ItemName, m_run.pool.RuleEligibleCount(it.ItemId),
                                   m_run.pool.RuleQuotaReach(it.ItemId), it.LuckCount);
      if (!tooFew.empty()) m_draw.notes.push_back(tooFew);
      const int32_t against = m_run.pool.PresetsAgainstRules(it.ItemId);
      if (against > 0) m_draw.notes.push_back(drawtext::PresetsAgainstRules(it.ItemName, against));
    }
    std::vector<int32_t> ids;
    int64_t wanted = 0;
    for (const TLuckItem& it : m_s.Items) {
      ids.push_back(it.ItemId);
      wanted += it.LuckCount;
    }
    if (ids.size() > 1) {
      const std::string tooFew =
          drawtext::TooFewForTaskQuota(m_run.pool.TaskQuotaReach(ids), wanted);
      if (!tooFew.empty()) m_draw.notes.push_back(tooFew);
    }
  }

  m_draw.pending = ReadPendingDraw(paths::JournalPath(taskId), head);
  // A spare laptop took this draw over: it goes on there, never here as well.
  if (TakenAt(m_draw.pending.journal)) {
    failure = {MessageKind::Error, movetext::TakenRefusal()};
    return false;
  }
  switch (m_draw.pending.kind) {
    case TPendingKind::None:
      CatchUpFinishedFiles();
      break;
    case TPendingKind::Resumable:
    case TPendingKind::Complete: {
      // The replay has the last word: a complete journal only lacks its winner files.
      BatchEnd end;
      m_draw.pending.kind = Replay(m_draw.pending.journal, end) && state() == State::Finished
                                ? TPendingKind::Complete
                                : TPendingKind::Resumable;
      ResetDraw();
      break;
    }
    case TPendingKind::Mismatch:
    case TPendingKind::Damaged:
      break;
  }
  m_draw.setUp = true;
  return true;
}

bool TDataDraw::SetUpRules(TDrawFailure& failure) {
  std::string text, error;
  TTaskRules rules;
  if (!LoadRulesText(m_s.Task.TaskId, text, error) || !ParseRules(text, rules, error)) {
    failure = {MessageKind::Error, error};
    return false;
  }
  // Drawing only those checked in: who they are is fixed here, before the commitment.
  bool checkinOnly = false;
  std::vector<std::string> present;
  if (!LoadCheckinOnly(m_s.Task.TaskId, checkinOnly, error) ||
      (checkinOnly &&
       !checkin::CheckedInOnList(m_s.Task.TaskId, m_s.CandidateLines, present, error))) {
    failure = {MessageKind::Error, error};
    return false;
  }
  if (rules.Empty() && !checkinOnly) return true;
  if (!LoadHideExcludeCount(m_s.Task.TaskId, m_draw.hideExcludeCount, error)) {
    failure = {MessageKind::Error, error};
    return false;
  }
  std::vector<std::string> ids;
  for (int32_t task : rules.ExcludeTasks) {
    if (!CurrentWinnerIds(task, ids, error)) {
      failure = {MessageKind::Error, drawtext::ExcludedUnreadable(task, error)};
      return false;
    }
    // The band names the task as the operator named it; a task since deleted by its id.
    TLuckTask other;
    std::string ignored;
    m_draw.excludedNames.push_back(LoadLuckTask(task, other, ignored) && !other.TaskName.empty()
                                       ? other.TaskName
                                       : G("任务") + std::to_string(task));
  }
  std::sort(ids.begin(), ids.end());
  ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
  m_draw.rules = {rules, m_draw.titleLine, ids, checkinOnly, present};
  m_draw.rulesIndex = IndexRules(m_s.CandidateLines, m_draw.rules, error);
  if (!m_draw.rulesIndex) {
    failure = {MessageKind::Error, error};
    return false;
  }
  if (!rules.Empty()) {
    m_draw.head.Rules = FormatRules(rules);
    m_draw.head.RulesHash = RulesHash(rules);
    m_draw.head.Excluded = std::move(ids);
  }
  if (checkinOnly) {
    m_draw.head.CheckinOnly = true;
    m_draw.head.PresentHash = ExcludedHashOf(present);
    m_draw.head.Present = std::move(present);
  }
  return true;
}

void TDataDraw::KeepJournalExclusion() {
  TJournalHead& head = m_draw.head;
  if (head.Rules.empty()) return;
  TJournal pending;
  std::string error;
  if (ReadJournal(paths::JournalPath(head.TaskId), pending, error) != JournalRead::Ok ||
      pending.Batches.empty() || pending.Head.Excluded == head.Excluded)
    return;
  TJournalHead same = pending.Head;
  same.Excluded = head.Excluded;
  if (!same.SameDraw(head)) return;
  TPoolRules rules = m_draw.rules;
  rules.ExcludedIds = pending.Head.Excluded;
  std::shared_ptr<const TRulesIndex> index = IndexRules(m_s.CandidateLines, rules, error);
  if (!index) return;
  m_draw.rules = std::move(rules);
  m_draw.rulesIndex = std::move(index);
  head.Excluded = pending.Head.Excluded;
}

std::vector<std::string> TDataDraw::ListFields() const {
  std::vector<std::string> heads = text::SplitFields(m_draw.titleLine);
  if (!heads.empty()) heads.erase(heads.begin());
  return heads;
}

std::string TDataDraw::RulesLine(int itemIndex) const {
  if (!m_draw.rulesIndex || itemIndex < 0 || itemIndex >= static_cast<int>(Items().size()))
    return {};
  const int32_t itemId = Items()[static_cast<size_t>(itemIndex)].ItemId;
  return drawtext::RulesLine(m_draw.rules.Rules, itemId, m_draw.excludedNames,
                             ListedCandidates(*m_draw.rulesIndex, itemId),
                             !m_draw.hideExcludeCount);
}

void TDataDraw::CatchUpFinishedFiles() {
  TJournal done;
  std::string ignored;
  if (ReadJournal(paths::FinishedJournalPath(Task().TaskId), done, ignored) != JournalRead::Ok ||
      !done.Head.SameDraw(m_draw.head))
    return;
  // Only replacements and voids made once the draw had finished can be missing from the
  // files: the journal's last records, after its last batch. One append may hold several
  // (a batch voided at once), so the files may stand before any number of them.
  std::vector<TJournalStep> steps;
  std::vector<TPlanRecord> plan;
  if (!JournalSteps(done, steps, plan, ignored)) return;
  TJournal before = done;
  for (size_t i = steps.size(); i-- > 0;) {
    const TJournalStep& last = steps[i];
    if (last.kind == TJournalStep::Kind::Absence) {
      before.Absences.pop_back();
    } else if (last.kind == TJournalStep::Kind::Plan && plan[last.index].Kind == TPlanKind::Void) {
      before.Others.erase(before.Others.begin() + static_cast<std::ptrdiff_t>(last.other));
    } else {
      return;
    }
    BatchEnd end;
    const bool replaysBefore = Replay(before, end) && state() == State::Finished;
    const TArrLuckId winnersBefore = m_s.Winners;
    const TArrAbsentId absencesBefore = m_s.Absences;
    ResetDraw();
    const bool behind = replaysBefore && Replay(done, end) && state() == State::Finished &&
                        DrawFilesBehind(m_s.Items, m_s.Winners, m_s.Absences, winnersBefore,
                                        absencesBefore, m_draw.titleLine);
    if (behind)
      SaveDrawFiles(m_s.Items, m_s.Winners, m_s.Absences, m_run.voids, m_draw.titleLine, false,
                    ignored);
    ResetDraw();
    if (behind) return;
  }
}

bool TDataDraw::MakeSecret(std::string& error) {
  if (m_fixedSecret) {
    m_draw.secret = NumberedSecret(*m_fixedSecret);
  } else if (!SystemSecret(m_draw.secret, error)) {
    return false;
  }
  m_draw.head.Secret = SecretHex(m_draw.secret);
  m_draw.head.Commit = Commitment(m_draw.secret);
  m_draw.head.Seed = 0;
  return true;
}

bool TDataDraw::StartJournal(std::string& error) {
  TJournalWriter& journal = m_draw.journal;
  if (!m_draw.setUp || journal.Started() || m_draw.started) return journal.Started();
  const int32_t taskId = Task().TaskId;
  // The opening is counted before its head is on disk; a retry keeps the number it got.
  if (m_draw.head.Opening == 0 && !CountOpening(m_draw.head, error)) return false;
  return journal.Begin(taskId, paths::JournalPath(taskId), FormatJournalHead(m_draw.head), error);
}

bool TDataDraw::AudienceOpen() const {
  return m_draw.setUp && state() == State::Ready && !m_draw.started && m_s.Winners.empty();
}

bool TDataDraw::SetAudienceNumber(std::string_view digits) {
  if (!AudienceOpen() || !ValidAudienceNumber(digits)) return false;
  m_draw.start.Audience = std::string(digits);
  return true;
}

void TDataDraw::ResetDraw() {
  // The plan as set up: a replay applies its changes again.
  if (!m_draw.plannedItems.empty()) m_s.Items = m_draw.plannedItems;
  m_s.Winners.clear();
  m_s.Absences.clear();
  for (TLuckItem& it : m_s.Items) it.DrawnCount = 0;
  m_run = Run();
  m_run.pool = TCandidatePool(m_s.CandidateLines, m_s.Presets, m_s.Task.LuckAgain == 1);
  m_run.pool.UseRules(m_draw.rulesIndex);
  m_run.closed.assign(m_s.Items.size(), 0);
  // Named winners are out of the random draw from the start, unless winners may win again.
  for (const auto& [itemId, named] : m_draw.named)
    for (int32_t k : named) m_run.pool.Reserve(k);
}

std::string TDataDraw::TakeJournalError() { return m_draw.journal.TakeError(); }

bool TDataDraw::SetAsidePending(std::string& error) {
  const std::string path = paths::JournalPath(Task().TaskId);
  m_draw.pending = TPendingDraw();
  if (!paths::FileExists(path)) return true;
  std::string folder;
  return MoveToHistory(Task().TaskId, {path}, folder, error);
}

bool TDataDraw::Replay(const TJournal& journal, BatchEnd& end) {
  const int32_t candidates = static_cast<int32_t>(m_s.CandidateLines.size());
  std::vector<TJournalStep> steps;
  std::vector<TPlanRecord> plan;
  std::string ignored;
  if (!JournalSteps(journal, steps, plan, ignored)) return false;
  m_run.lastRng = journal.DrawSeed();
  for (const TJournalStep& step : steps) {
    if (step.kind == TJournalStep::Kind::Plan) {
      if (!ReplayPlan(plan[step.index], end)) return false;
      continue;
    }
    if (step.kind == TJournalStep::Kind::Absence) {
      const TJournalAbsence& a = journal.Absences[step.index];
      if (a.Place < 0 || static_cast<size_t>(a.Place) >= m_s.Winners.size()) return false;
      const TLuckId& w = m_s.Winners[static_cast<size_t>(a.Place)];
      if (w.ItemId != a.ItemId || w.CandidateIndex != a.Absent) return false;
      // The replacement was eligible once its winner was absent.
      if (!m_run.pool.MayReplace(a.Replacement, a.Absent, a.ItemId)) return false;
      MarkAbsent(static_cast<size_t>(a.Place), a.Replacement);
      m_run.lastReplaced = static_cast<size_t>(a.Place);
      m_run.lastRng = a.Rng;
      continue;
    }
    const TJournalBatch& b = journal.Batches[step.index];
    if (state() == State::Finished || m_run.curItem >= static_cast<int32_t>(Items().size()))
      return false;
    TLuckItem& item = m_s.Items[static_cast<size_t>(m_run.curItem)];
    if (item.ItemId != b.ItemId || NamedOf(item.ItemId) ||
        !m_run.pool.UsePresetsTo(item.ItemId, b.PresetsUsed))
      return false;
    m_run.lastBatch = Batch();
    if (static_cast<int64_t>(b.Winners.size()) > BatchSize()) return false;
    for (int32_t k : b.Winners) {
      if (k < 0 || k >= candidates || !m_run.pool.MayWin(k, item.ItemId)) return false;
      Accept(k, item);
      m_run.lastBatch.picks.push_back(k);
    }
    if (item.DrawnCount + static_cast<int32_t>(b.Winners.size()) != b.Drawn) return false;
    if (b.Closed) m_run.closed[static_cast<size_t>(m_run.curItem)] = 1;
    m_run.lastReplaced.reset();
    end = Advance();
    m_run.lastRng = b.Rng;
  }
  return !journal.Batches.empty() || !m_run.changes.empty();
}

void TDataDraw::TakeUp(const TJournal& journal, const std::string& path) {
  m_rng.Randomize(m_run.lastRng);
  // The draw goes on with the journal's secret, seed, audience's number and opening.
  const TJournalHead& h = journal.Head;
  m_draw.head.Seed = h.Seed;
  m_draw.head.Commit = h.Commit;
  m_draw.head.Secret = h.Secret;
  m_draw.head.Opening = h.Opening;
  m_draw.head.PrevHead = h.PrevHead;
  if (!h.Secret.empty()) ParseSecretHex(h.Secret, m_draw.secret);
  m_draw.start = journal.Start;
  m_draw.started = true;
  m_draw.startQueued = true;
  m_draw.journal.Continue(journal.WholeBytes);
  // The move is news only until a batch is drawn after it.
  m_draw.moved = LastMove(journal);
  if (m_draw.moved && m_draw.moved->Held != RevealedBatches(journal)) m_draw.moved.reset();
  // A record cut short goes before anything is appended; if that fails here, the next
  // append tries again.
  if (journal.TornTail) {
    std::string cutError;
    CutJournalTail(path, journal.WholeBytes, cutError);
  }
}

bool TDataDraw::Resume(BatchEnd& end, std::string& error) {
  end = BatchEnd();
  if ((m_draw.pending.kind != TPendingKind::Resumable &&
       m_draw.pending.kind != TPendingKind::Complete) ||
      state() != State::Ready)
    return false;
  const TJournal& pending = m_draw.pending.journal;
  if (!Replay(pending, end)) {
    ResetDraw();
    m_draw.pending.kind = TPendingKind::Mismatch;
    error = drawtext::PendingMismatch();
    return false;
  }
  TakeUp(pending, paths::JournalPath(Task().TaskId));
  m_draw.pending = TPendingDraw();
  if (state() == State::Finished) Save(end);
  return true;
}

TDataDraw::State TDataDraw::state() const {
  if (m_run.replace.active || m_run.under == Under::Rolling) return State::Rolling;
  if (m_run.under == Under::Selecting) return State::Selecting;
  const int32_t count = static_cast<int32_t>(Items().size());
  if (count > 0 && m_run.curItem >= count) return State::Finished;
  // A first batch voided whole with its places left empty was still drawn.
  if (m_run.curItem == 0 && m_s.Winners.empty() && m_run.voids.empty()) return State::Ready;
  return State::BetweenBatches;
}

int RollLabelCount(const TDrawSession& session) {
  if (session.Task.IdType != TIdType::Numeric) return 1;
  return std::clamp<int32_t>(session.IdMaxLength, 0, kMaxRollLabels);
}

int TDataDraw::BatchSize() const {
  const int32_t cur = m_run.curItem;
  if (cur < 0 || cur >= static_cast<int32_t>(Items().size()) ||
      static_cast<size_t>(cur) >= m_run.closed.size())
    return 0;
  const TLuckItem& it = Items()[static_cast<size_t>(cur)];
  if (it.DrawnCount >= it.LuckCount || m_run.closed[static_cast<size_t>(cur)]) return 0;
  // A named award is handed out whole.
  if (NamedOf(it.ItemId)) return it.LuckCount - it.DrawnCount;
  return std::min(it.LuckCount - it.DrawnCount, it.ListCount);
}

void TDataDraw::Accept(int32_t k, const TLuckItem& item) {
  const std::string& line = m_s.CandidateLines[static_cast<size_t>(k)];
  m_s.Winners.push_back({item.ItemId, m_s.Task.TaskId, k, line});
  m_run.pool.MarkDrawn(k, item.ItemId);
  m_run.list.Add(m_draw.columns.ListLine(line), item.ItemName,
                 static_cast<int32_t>(m_s.Winners.size()) - 1);
}

bool TDataDraw::BeginBatch() {
  const State s = state();
  if (!m_draw.setUp || (s != State::Ready && s != State::BetweenBatches)) return false;
  if (BatchSize() == 0) return false;
  m_run.under = Under::Selecting;
  return true;
}

TDataDraw::Batch TDataDraw::SelectBatchWinners() {
  Batch batch;
  const State s = state();
  if (s != State::Ready && s != State::BetweenBatches && s != State::Selecting) return batch;
  batch.wanted = BatchSize();
  if (batch.wanted == 0) {
    m_run.under = Under::None;
    return batch;
  }
  m_run.under = Under::Selecting;
  m_run.revealed = false;
  m_run.rolls = 0;
  if (!m_draw.started) {
    // The first batch: the seed follows from the committed secret and the audience's
    // number, both fixed from now on.
    const TJournalHead& h = m_draw.head;
    std::vector<TProofItem> items;
    for (const TJournalItem& it : h.Items) items.push_back({it.ItemId, it.LuckCount, it.ListCount});
    m_draw.start.Seed =
        DeriveSeed(h.Secret, m_draw.start.Audience, h.DataHash, h.PresetHash, ItemsText(items),
                   h.RulesHash, h.Rules.empty() ? std::string() : ExcludedHashOf(h.Excluded),
                   h.CheckinOnly ? h.PresentHash : std::string(), h.NamedHash);
    m_rng.Randomize(m_draw.start.Seed);
    m_draw.started = true;
  }
  const TLuckItem& item = Items()[static_cast<size_t>(m_run.curItem)];
  batch.picks.reserve(static_cast<size_t>(batch.wanted));
  if (const std::vector<int32_t>* named = NamedOf(item.ItemId)) {
    // Handed out by name: no number is drawn, nothing rolls.
    for (size_t i = static_cast<size_t>(item.DrawnCount); i < named->size(); ++i) {
      Accept((*named)[i], item);
      batch.picks.push_back((*named)[i]);
    }
    m_run.lastBatch = batch;
    m_run.namedBatch = true;
    m_run.under = Under::Rolling;
    return batch;
  }
  const int32_t skippedBefore = m_run.pool.PresetsSkipped(item.ItemId);
  while (static_cast<int>(batch.picks.size()) < batch.wanted) {
    const int32_t k = m_run.pool.Pick(item.ItemId, m_rng);
    if (k < 0) {
      batch.exhaustedText = drawtext::Exhausted(item.ItemName);
      m_run.closed[static_cast<size_t>(m_run.curItem)] = 1;
      break;
    }
    Accept(k, item);
    batch.picks.push_back(k);
  }
  if (const int32_t skipped = m_run.pool.PresetsSkipped(item.ItemId) - skippedBefore; skipped > 0)
    batch.skippedText = drawtext::PresetsSkipped(item.ItemName, skipped);
  m_run.lastBatch = batch;
  m_run.under = Under::Rolling;
  return batch;
}

std::vector<std::string> TDataDraw::RollTexts(std::string_view id) const {
  const std::string t = MaskId(id, Task().HideBegin, Task().HideEnd);
  if (!IsNumeric()) return {t};
  std::vector<std::string> labels(static_cast<size_t>(RollLabelCount(m_s)));
  for (size_t j = 0; j < labels.size() && j < t.size(); ++j) labels[j] = t.substr(j, 1);
  return labels;
}

std::vector<std::string> TDataDraw::RollStep() {
  const TArraySring& lines = m_s.CandidateLines;
  if (lines.empty()) return RollTexts({});
  // Only a batch's roll before its reveal draws numbers, which the journal counts; at any
  // other moment the first candidate stands still.
  if (state() != State::Rolling || m_run.revealed || m_run.namedBatch) {
    // Under rules the first line may be one who can win nothing: stand on a winner instead.
    const std::vector<int32_t>& last = m_run.lastBatch.picks;
    const size_t k = (m_run.pool.HasRules() || m_run.namedBatch) && !last.empty()
                         ? static_cast<size_t>(last.front())
                         : 0;
    return RollTexts(CandidateId(lines[k]));
  }
  ++m_run.rolls;
  if (m_run.pool.HasRules()) {
    // Only those who may still win flash by; one number a tick as without rules, so the
    // journal's roll count replays the generator alike.
    int32_t k = -1;
    if (m_run.replace.active) {
      const std::vector<int32_t>& shown = m_run.replace.shown;
      const int32_t r = m_rng.Random(static_cast<int32_t>(shown.size()));
      k = shown.empty() ? m_run.replace.pick : shown[static_cast<size_t>(r)];
    } else {
      k = m_run.pool.RollPick(Items()[static_cast<size_t>(m_run.curItem)].ItemId, m_rng);
      if (k < 0) k = m_run.lastBatch.picks.empty() ? 0 : m_run.lastBatch.picks.front();
    }
    return RollTexts(CandidateId(lines[static_cast<size_t>(k)]));
  }
  const int32_t r = m_rng.Random(static_cast<int32_t>(lines.size()));
  return RollTexts(CandidateId(lines[static_cast<size_t>(r)]));
}

std::vector<std::string> TDataDraw::IdsOf(const std::vector<int32_t>& picks) const {
  std::vector<std::string> ids;
  ids.reserve(picks.size());
  for (int32_t k : picks) ids.emplace_back(CandidateId(m_s.CandidateLines[static_cast<size_t>(k)]));
  return ids;
}

std::vector<std::string> TDataDraw::BatchIds() const {
  if (state() != State::Rolling || m_run.revealed) return {};
  if (m_run.replace.active && !m_run.replace.voids.empty()) {
    std::vector<int32_t> picks;
    for (const TPlanRecord& v : m_run.replace.voids) picks.push_back(v.Replacement);
    return IdsOf(picks);
  }
  if (m_run.replace.active) return IdsOf({m_run.replace.pick});
  return IdsOf(m_run.lastBatch.picks);
}

std::vector<std::string> TDataDraw::RevealBatch() {
  if (state() != State::Rolling || m_run.revealed) return {};
  const Replace& replace = m_run.replace;
  if (replace.active && !replace.voids.empty()) {
    const std::vector<std::string> ids = BatchIds();
    RevealVoids();
    return ids;
  }
  if (replace.active) {
    const TLuckId& w = m_s.Winners[replace.place];
    TJournalAbsence record;
    record.ItemId = w.ItemId;
    record.Place = static_cast<int32_t>(replace.place);
    record.Absent = w.CandidateIndex;
    record.Replacement = replace.pick;
    record.Rng = m_rng.Seed();
    record.Rolls = m_run.rolls;
    Journal(FormatJournalAbsence(record));
    MarkAbsent(replace.place, replace.pick);
    m_run.revealed = true;
    m_run.lastReplaced = replace.place;
    return IdsOf({replace.pick});
  }
  const TLuckItem& item = Items()[static_cast<size_t>(m_run.curItem)];
  if (m_run.namedBatch) {
    TPlanRecord named;
    named.Kind = TPlanKind::Named;
    named.ItemId = item.ItemId;
    named.Winners = m_run.lastBatch.picks;
    Journal(FormatPlanRecord(named));
    m_run.changes.push_back(named);
    m_run.revealed = true;
    m_run.lastReplaced.reset();
    return IdsOf(m_run.lastBatch.picks);
  }
  TJournalBatch record;
  record.ItemId = item.ItemId;
  record.Drawn = item.DrawnCount + static_cast<int32_t>(m_run.lastBatch.picks.size());
  record.Closed = m_run.closed[static_cast<size_t>(m_run.curItem)] != 0;
  record.PresetsUsed = m_run.pool.PresetsUsed(item.ItemId);
  record.Rng = m_rng.Seed();
  record.Rolls = m_run.rolls;
  record.Winners = m_run.lastBatch.picks;
  Journal(FormatJournalBatch(record));
  m_run.revealed = true;
  m_run.lastReplaced.reset();
  return IdsOf(m_run.lastBatch.picks);
}

std::string TDataDraw::JournalFile() const {
  const int32_t taskId = Task().TaskId;
  // A finished draw's journal has its final name; replacements made then are added to it.
  if (m_draw.journal.Started() && !paths::FileExists(paths::JournalPath(taskId)) &&
      paths::FileExists(paths::FinishedJournalPath(taskId)))
    return paths::FinishedJournalPath(taskId);
  return paths::JournalPath(taskId);
}

void TDataDraw::Journal(const std::string& record) {
  std::string records;
  if (!m_draw.startQueued && !m_draw.head.Commit.empty()) {
    records += FormatJournalStart(m_draw.start);
    m_draw.startQueued = true;  // from now on it travels with the writer until written
  }
  records += record;
  // A head that could not be counted at the opening gets its number now if it can; the
  // batch is written either way.
  if (!m_draw.journal.Started() && m_draw.head.Opening == 0 && !m_draw.head.Commit.empty()) {
    std::string ignored;
    CountOpening(m_draw.head, ignored);
  }
  m_draw.journal.Append(Task().TaskId, JournalFile(), FormatJournalHead(m_draw.head), records);
}

TDataDraw::BatchEnd TDataDraw::EndBatch() {
  if (state() != State::Rolling) return BatchEnd();
  if (m_run.replace.active) return EndReplacement();
  if (!m_run.revealed) RevealBatch();
  BatchEnd end = Advance();
  if (end.finished) Save(end);
  return end;
}

TDataDraw::BatchEnd TDataDraw::Advance() {
  BatchEnd end;
  TLuckItem& item = m_s.Items[static_cast<size_t>(m_run.curItem)];
  item.DrawnCount += static_cast<int32_t>(m_run.lastBatch.picks.size());
  m_run.revealed = false;
  m_run.namedBatch = false;
  m_run.under = Under::None;
  const bool closed = m_run.closed[static_cast<size_t>(m_run.curItem)] != 0;
  if (item.DrawnCount < item.LuckCount && !closed) {
    end.progressText = drawtext::ItemGoesOn(item);
    m_run.progress = end.progressText;
    return end;
  }
  ++m_run.curItem;
  const int32_t count = static_cast<int32_t>(Items().size());
  if (m_run.curItem < count) {
    end.progressText = drawtext::NextItem(item, Items()[static_cast<size_t>(m_run.curItem)],
                                          count - m_run.curItem);
    end.prizeChanged = true;
    m_run.progress = end.progressText;
    return end;
  }
  end.finished = true;
  end.progressText = drawtext::AllDrawn();
  m_run.progress = end.progressText;
  return end;
}

void TDataDraw::Save(BatchEnd& end) {
  const std::string& title = m_draw.titleLine;
  // Killed after the winner files, before the journal's rename: they stay as they are.
  end.saved =
      DrawFilesInPlace(m_s.Items, m_s.Winners, m_s.Absences, m_run.voids, title) ||
      SaveDrawFiles(m_s.Items, m_s.Winners, m_s.Absences, m_run.voids, title, true, end.saveError);
  if (!end.saved) return;  // the journal keeps the draw: opening it again saves it
  const int32_t taskId = Task().TaskId;
  std::string ignored;
  if (paths::FileExists(paths::JournalPath(taskId)))
    files::MoveFile(paths::JournalPath(taskId), paths::FinishedJournalPath(taskId), ignored);
}

// --- absent winners ----------------------------------------------------------------------

bool TDataDraw::BeginReplacement(size_t place, std::string& message) {
  message.clear();
  if (!MayMarkAbsent() || m_run.replace.active || place >= m_s.Winners.size()) return false;
  const TLuckId& w = m_s.Winners[place];
  // A named award is handed to those named: drawing someone in their place would roll it.
  if (NamedOf(w.ItemId)) {
    message = NamedNoRedraw(ItemNameOf(Items(), w.ItemId));
    return false;
  }
  const int32_t k = m_run.pool.PickReplacement(w.CandidateIndex, w.ItemId, m_rng);
  if (k < 0) {
    message = drawtext::NoReplacement(ItemNameOf(Items(), w.ItemId));
    return false;
  }
  m_run.replace = {true, place, k, {}, {}};
  if (m_run.pool.HasRules()) {
    m_run.replace.shown = m_run.pool.ReplacementChoices(w.CandidateIndex, w.ItemId);
    std::erase(m_run.replace.shown, k);
  }
  m_run.revealed = false;
  m_run.rolls = 0;
  return true;
}

void TDataDraw::MarkAbsent(size_t place, int32_t replacement) {
  TLuckId& w = m_s.Winners[place];
  m_run.pool.MarkAbsent(w.CandidateIndex, replacement, w.ItemId);
  const std::string& line = m_s.CandidateLines[static_cast<size_t>(replacement)];
  m_s.Absences.push_back({w.ItemId, w.TaskId, static_cast<int32_t>(place), w.CandidateIndex,
                          w.CandidateLine, replacement, line});
  w.CandidateIndex = replacement;
  w.CandidateLine = line;
  RebuildList();
}

void TDataDraw::RebuildList() {
  std::vector<std::vector<const TAbsentId*>> before(m_s.Winners.size());
  for (const TAbsentId& a : m_s.Absences)
    if (a.Place >= 0 && static_cast<size_t>(a.Place) < before.size())
      before[static_cast<size_t>(a.Place)].push_back(&a);
  // A voided winner stays too, marked, where its place was.
  std::vector<std::vector<const TVoidId*>> voided(m_s.Winners.size() + 1);
  for (const TVoidId& v : m_run.voids)
    if (v.Place >= 0 && static_cast<size_t>(v.Place) < voided.size())
      voided[static_cast<size_t>(v.Place)].push_back(&v);
  // An absent winner stays in the list, marked, just above whoever took the place.
  TWinnerList list;
  const auto addVoided = [&](size_t i) {
    for (const TVoidId* v : voided[i])
      list.Add(m_draw.columns.ListLine(v->CandidateLine) + " " + plantext::VoidMark(v->Reason),
               ItemNameOf(Items(), v->ItemId));
  };
  for (size_t i = 0; i < m_s.Winners.size(); ++i) {
    const TLuckId& w = m_s.Winners[i];
    const std::string name = ItemNameOf(Items(), w.ItemId);
    addVoided(i);
    for (const TAbsentId* a : before[i])
      list.Add(m_draw.columns.ListLine(a->CandidateLine) + " " + drawtext::AbsentMark(), name);
    list.Add(m_draw.columns.ListLine(w.CandidateLine), name, static_cast<int32_t>(i));
  }
  addVoided(m_s.Winners.size());
  m_run.list = std::move(list);
}

TDataDraw::BatchEnd TDataDraw::EndReplacement() {
  BatchEnd end;
  if (!m_run.replace.active) return end;
  if (!m_run.revealed) RevealBatch();
  m_run.replace = Replace();
  m_run.revealed = false;
  end.progressText = m_run.progress;
  if (state() == State::Finished) {
    // The files of this draw are written again with the replacement in its place.
    end.finished = true;
    end.saved = SaveDrawFiles(m_s.Items, m_s.Winners, m_s.Absences, m_run.voids, m_draw.titleLine,
                              false, end.saveError);
  }
  return end;
}

std::vector<size_t> TDataDraw::LastBatchPlaces() const {
  std::vector<size_t> places;
  const size_t n = std::min(m_run.lastBatch.picks.size(), m_s.Winners.size());
  for (size_t i = m_s.Winners.size() - n; i < m_s.Winners.size(); ++i) places.push_back(i);
  return places;
}

// --- changes to the plan of the night and voids: each checked, written to the journal
// before it applies, and replayed from the journal on a resume ---

namespace {

// The most winners an item may have, as the item settings allow (7 digits).
constexpr int32_t kMaxLuckCount = 9999999;

std::string Bracketed(std::string_view name) { return G("[") + std::string(name) + G("]"); }

}  // namespace

bool TDataDraw::MayChangePlan() const {
  return m_draw.setUp && m_draw.started && !m_run.replace.active &&
         (state() == State::BetweenBatches || state() == State::Finished);
}

bool TDataDraw::ItemComplete(size_t i) const {
  const TLuckItem& it = Items()[i];
  return it.DrawnCount >= it.LuckCount || (i < m_run.closed.size() && m_run.closed[i] != 0);
}

bool TDataDraw::CheckChange(const TPlanRecord& r, std::string& message) const {
  const auto at = std::find_if(Items().begin(), Items().end(),
                               [&](const TLuckItem& it) { return it.ItemId == r.ItemId; });
  const size_t index = static_cast<size_t>(at - Items().begin());
  switch (r.Kind) {
    case TPlanKind::Add: {
      if (r.Name.empty()) {
        message = G("请输入奖项名称!");
        return false;
      }
      for (const TLuckItem& it : Items())
        if (it.ItemName == r.Name) {
          message = G("奖项名称") + Bracketed(r.Name) + G("已经存在,请换一个名称");
          return false;
        }
      if (r.LuckCount < 1 || r.ListCount < 1 || r.LuckCount > kMaxLuckCount) {
        message = G("[中奖个数]和[每次抽取个数]必须大于0,请重新输入!");
        return false;
      }
      if (r.ListCount > r.LuckCount) {
        message = G("[每次抽取个数]不能大于[中奖个数],请重新选择");
        return false;
      }
      if (at != Items().end()) {
        message = G("奖项编号") + std::to_string(r.ItemId) + G("已经存在");
        return false;
      }
      if (r.Rules.Empty()) {
        if (!m_run.pool.MayPick(r.ItemId)) {
          message = Bracketed(r.Name) + G("已没有可抽取的候选人,不能加奖");
          return false;
        }
        return true;
      }
      if (!AddedItemRulesOk(r.Rules, message)) return false;
      const std::shared_ptr<const TRulesIndex> own = OwnRulesIndex(r.ItemId, r.Rules, message);
      if (!own) return false;
      const int32_t n = static_cast<int32_t>(m_s.CandidateLines.size());
      for (int32_t k = 0; k < n; ++k)
        if (!m_run.pool.IsPreset(k) && m_run.pool.MayWin(k, r.ItemId) &&
            RuleVerdict(*own, r.ItemId, k).bar == TRuleBar::None)
          return true;
      message = Bracketed(r.Name) + G("的规则下名单中没有可以中奖的人,不能加奖");
      return false;
    }
    case TPlanKind::Count:
    case TPlanKind::Next: {
      if (at == Items().end()) {
        message = G("奖项编号") + std::to_string(r.ItemId) + G("不在本次抽奖中");
        return false;
      }
      if (ItemComplete(index)) {
        message = Bracketed(at->ItemName) + G("已经抽取完毕,不能再修改");
        return false;
      }
      if (r.Kind == TPlanKind::Next) {
        if (static_cast<int32_t>(index) == m_run.curItem) {
          message = Bracketed(at->ItemName) + G("已经是下一个抽取的奖项");
          return false;
        }
        if (!m_run.pool.MayPick(r.ItemId)) {
          message = Bracketed(at->ItemName) + G("已没有可抽取的候选人");
          return false;
        }
        return true;
      }
      if (NamedOf(r.ItemId)) {
        message = Bracketed(at->ItemName) + G("是指定颁奖,名额由指定的人数决定");
        return false;
      }
      if (r.LuckCount < 1 || r.LuckCount > kMaxLuckCount) {
        message = G("[中奖个数]必须大于0,请重新输入!");
        return false;
      }
      if (r.LuckCount < at->DrawnCount) {
        message = Bracketed(at->ItemName) + G("已经抽出") + std::to_string(at->DrawnCount) +
                  G("名,名额不能少于") + std::to_string(at->DrawnCount) + G("名");
        return false;
      }
      if (r.LuckCount == at->LuckCount) {
        message =
            Bracketed(at->ItemName) + G("的名额已经是") + std::to_string(r.LuckCount) + G("名");
        return false;
      }
      return true;
    }
    case TPlanKind::Void:
    case TPlanKind::Named:
      break;
  }
  return false;
}

void TDataDraw::SettlePlan(int32_t wasCurrent, BatchEnd& end) {
  const size_t n = Items().size();
  const size_t from = std::min(static_cast<size_t>(std::max(m_run.curItem, 0)), n);
  // Every item was drawn before this change: the draw was finished already.
  const bool wasFinished = from >= n;
  // The finished items move before those still to draw, each group in its order.
  std::vector<size_t> order(n);
  for (size_t i = 0; i < n; ++i) order[i] = i;
  std::stable_partition(order.begin() + static_cast<std::ptrdiff_t>(from), order.end(),
                        [&](size_t i) { return ItemComplete(i); });
  TArrLuckItem items;
  std::vector<uint8_t> closed;
  for (size_t i : order) {
    items.push_back(Items()[i]);
    closed.push_back(i < m_run.closed.size() ? m_run.closed[i] : 0);
  }
  m_s.Items = std::move(items);
  m_run.closed = std::move(closed);
  size_t cur = from;
  while (cur < n && ItemComplete(cur)) ++cur;
  m_run.curItem = static_cast<int32_t>(cur);
  if (cur == n) {
    end.finished = !wasFinished;
    end.progressText = drawtext::AllDrawn();
  } else {
    end.prizeChanged = Items()[cur].ItemId != wasCurrent;
    end.progressText = drawtext::ItemGoesOn(Items()[cur]);
  }
  m_run.progress = end.progressText;
}

void TDataDraw::ApplyChange(const TPlanRecord& r, BatchEnd& end) {
  const size_t cur = static_cast<size_t>(std::max(m_run.curItem, 0));
  const int32_t wasCurrent = cur < Items().size() ? Items()[cur].ItemId : -1;
  if (r.Kind == TPlanKind::Add) {
    TLuckItem it;
    it.ItemId = r.ItemId;
    it.ItemName = r.Name;
    it.TaskId = Task().TaskId;
    it.LuckCount = r.LuckCount;
    it.ListCount = r.ListCount;
    it.AwardName = r.Gift;
    m_s.Items.push_back(std::move(it));
    m_run.closed.push_back(0);
    if (!r.Rules.Empty()) {
      std::string ignored;  // checked before the record was written
      m_run.pool.GiveItemRules(r.ItemId, OwnRulesIndex(r.ItemId, r.Rules, ignored));
    }
  } else {
    const auto at = std::find_if(m_s.Items.begin(), m_s.Items.end(),
                                 [&](const TLuckItem& it) { return it.ItemId == r.ItemId; });
    if (at == m_s.Items.end()) return;
    if (r.Kind == TPlanKind::Count) {
      at->LuckCount = r.LuckCount;
    } else if (r.Kind == TPlanKind::Next) {
      // The chosen item takes the current one's place; those between move one down.
      const size_t index = static_cast<size_t>(at - m_s.Items.begin());
      if (index > cur) {
        std::rotate(m_s.Items.begin() + static_cast<std::ptrdiff_t>(cur), at, at + 1);
        std::rotate(m_run.closed.begin() + static_cast<std::ptrdiff_t>(cur),
                    m_run.closed.begin() + static_cast<std::ptrdiff_t>(index),
                    m_run.closed.begin() + static_cast<std::ptrdiff_t>(index) + 1);
      }
    }
  }
  m_run.changes.push_back(r);
  SettlePlan(wasCurrent, end);
}

bool TDataDraw::WritePlanRecord(TPlanRecord r, std::string_view audience, BatchEnd& end,
                                std::string& message) {
  end = BatchEnd();
  message.clear();
  if (!MayChangePlan()) {
    message = m_draw.started ? G("正在抽奖,请在本批揭晓后再修改奖项")
                             : G("第一批揭晓后才能修改奖项;开始前请关闭抽奖窗口修改任务设置");
    return false;
  }
  if (!ValidAudienceNumber(audience)) {
    message = G("现场号码只能是1到18位数字");
    return false;
  }
  r.Audience = std::string(audience);
  if (!CheckChange(r, message)) return false;
  Journal(FormatPlanRecord(r));
  if (!r.Audience.empty()) m_rng.Randomize(MixAudience(m_rng.Seed(), r.Audience));
  ApplyChange(r, end);
  if (end.finished) Save(end);
  return true;
}

bool TDataDraw::AddItem(const NewItem& item, bool drawNext, std::string_view audience,
                        BatchEnd& end, std::string& message) {
  TPlanRecord add;
  add.Kind = TPlanKind::Add;
  add.Name = PlanText(item.Name);
  add.Gift = PlanText(item.Gift);
  add.LuckCount = item.LuckCount;
  add.ListCount = item.ListCount;
  // As the record reads it back: sorted, without duplicates.
  TTaskRules own;
  own.Items.push_back(item.Rules);
  NormaliseRules(own);
  if (!own.Items.empty()) add.Rules = own.Items[0];
  end = BatchEnd();
  message.clear();
  if (!MayChangePlan()) return WritePlanRecord(add, audience, end, message);
  // Checked before an id is spent on it; the id is the database's next item id, so that no
  // item made later takes the same files.
  add.ItemId = -1;
  if (!CheckChange(add, message)) return false;
  if (!ValidAudienceNumber(audience)) return WritePlanRecord(add, audience, end, message);
  do {
    add.ItemId = GetNextId(db::kSeqItemId);
    if (add.ItemId < 0) {
      message = G("无法为新奖项分配编号");
      return false;
    }
  } while (std::any_of(Items().begin(), Items().end(),
                       [&](const TLuckItem& it) { return it.ItemId == add.ItemId; }));
  if (!add.Rules.Empty()) add.Rules.ItemId = add.ItemId;
  // A finished draw goes on: its journal takes its open name again, and the winner files
  // are written anew when the added item is drawn.
  const int32_t taskId = Task().TaskId;
  if (state() == State::Finished && !paths::FileExists(paths::JournalPath(taskId))) {
    std::string error;
    if (!files::MoveFile(paths::FinishedJournalPath(taskId), paths::JournalPath(taskId), error)) {
      message = error;
      return false;
    }
  }
  add.Audience = std::string(audience);
  std::string records = FormatPlanRecord(add);
  // Drawn next: the item still being drawn, if any, waits behind it.
  const bool goesNext = drawNext && state() != State::Finished;
  TPlanRecord next;
  if (goesNext) {
    next.Kind = TPlanKind::Next;
    next.ItemId = add.ItemId;
    records += FormatPlanRecord(next);
  }
  Journal(records);
  if (!add.Audience.empty()) m_rng.Randomize(MixAudience(m_rng.Seed(), add.Audience));
  ApplyChange(add, end);
  if (goesNext) {
    BatchEnd after;
    ApplyChange(next, after);
    end.progressText = after.progressText;
    end.prizeChanged = true;
  }
  return true;
}

bool TDataDraw::ChangeCount(int32_t itemId, int32_t count, std::string_view audience, BatchEnd& end,
                            std::string& message) {
  TPlanRecord r;
  r.Kind = TPlanKind::Count;
  r.ItemId = itemId;
  r.LuckCount = count;
  return WritePlanRecord(r, audience, end, message);
}

bool TDataDraw::ChooseNext(int32_t itemId, std::string_view audience, BatchEnd& end,
                           std::string& message) {
  TPlanRecord r;
  r.Kind = TPlanKind::Next;
  r.ItemId = itemId;
  return WritePlanRecord(r, audience, end, message);
}

// --- voids --------------------------------------------------------------------------------

int32_t TDataDraw::PlaceOf(int32_t itemId, int32_t candidate, std::string& message) const {
  message.clear();
  for (size_t i = 0; i < m_s.Winners.size(); ++i)
    if (m_s.Winners[i].ItemId == itemId && m_s.Winners[i].CandidateIndex == candidate)
      return static_cast<int32_t>(i);
  const bool voided = std::any_of(m_run.voids.begin(), m_run.voids.end(), [&](const TVoidId& v) {
    return v.ItemId == itemId && v.CandidateIndex == candidate;
  });
  message = voided ? G("该中奖者已经作废,不能再次作废") : G("该号码不是此奖项的中奖者");
  return -1;
}

bool TDataDraw::VoidWinner(size_t place, std::string_view reason, std::string_view time,
                           bool redraw, BatchEnd& end, std::string& message) {
  return Void({place}, reason, time, redraw, end, message);
}

bool TDataDraw::VoidLastBatch(std::string_view reason, std::string_view time, bool redraw,
                              BatchEnd& end, std::string& message) {
  return Void(LastBatchPlaces(), reason, time, redraw, end, message);
}

bool TDataDraw::Void(std::vector<size_t> places, std::string_view reason, std::string_view time,
                     bool redraw, BatchEnd& end, std::string& message) {
  end = BatchEnd();
  message.clear();
  if (!MayMarkAbsent() || m_run.replace.active) {
    message = G("正在抽奖,请在本批揭晓后再作废");
    return false;
  }
  const std::string why = PlanText(reason);
  if (why.empty()) {
    message = G("请选择或输入作废原因");
    return false;
  }
  if (!ValidPlanTime(time)) {
    message = G("作废时间无效");
    return false;
  }
  std::sort(places.begin(), places.end());
  places.erase(std::unique(places.begin(), places.end()), places.end());
  if (places.empty() || places.back() >= m_s.Winners.size()) {
    message = G("没有可作废的中奖者");
    return false;
  }
  if (redraw)
    for (size_t place : places)
      if (NamedOf(m_s.Winners[place].ItemId)) {
        message = NamedNoRedraw(ItemNameOf(Items(), m_s.Winners[place].ItemId));
        return false;
      }
  // From the last place back: a place left empty moves no place still to be voided.
  std::reverse(places.begin(), places.end());
  std::vector<TPlanRecord> records;
  int32_t empty = 0;
  for (size_t place : places) {
    const TLuckId& w = m_s.Winners[place];
    TPlanRecord r;
    r.Kind = TPlanKind::Void;
    r.ItemId = w.ItemId;
    r.Place = static_cast<int32_t>(place);
    r.Voided = w.CandidateIndex;
    r.Reason = why;
    r.Time = std::string(time);
    if (redraw) {
      const int32_t k = m_run.pool.PickReplacement(w.CandidateIndex, w.ItemId, m_rng);
      if (k < 0 && records.empty()) {
        message = drawtext::NoReplacement(ItemNameOf(Items(), w.ItemId));
        return false;
      }
      if (k >= 0) {
        r.Redraw = true;
        r.Replacement = k;
        r.Rng = m_rng.Seed();
      } else {
        message = Bracketed(ItemNameOf(Items(), w.ItemId)) + G("已没有可抽取的替补号码,") +
                  std::to_string(++empty) + G("个名额空缺");
      }
    }
    // The pool learns each void at once, so that the next redraw picks as the replay will.
    m_run.pool.MarkVoided(r.Voided, r.Redraw ? r.Replacement : -1, r.ItemId);
    records.push_back(std::move(r));
  }
  if (!redraw) {
    std::string lines;
    for (const TPlanRecord& r : records) lines += FormatPlanRecord(r);
    Journal(lines);
    for (const TPlanRecord& r : records) ApplyVoid(r);
    end.progressText = m_run.progress;
    if (state() == State::Finished) SaveFinishedInPlace(end);
    return true;
  }
  // The redraws roll as a replacement does and are revealed together.
  m_run.replace = {true, places.front(), records.front().Replacement, {}, records};
  if (m_run.pool.HasRules()) {
    m_run.replace.shown =
        m_run.pool.ReplacementChoices(records.front().Voided, records.front().ItemId);
  }
  m_run.revealed = false;
  m_run.rolls = 0;
  return true;
}

void TDataDraw::RevealVoids() {
  std::vector<TPlanRecord>& records = m_run.replace.voids;
  // The roll belongs to the last redraw: its state is the generator's now.
  for (size_t i = records.size(); i-- > 0;)
    if (records[i].Redraw) {
      records[i].Rolls = m_run.rolls;
      records[i].Rng = m_rng.Seed();
      break;
    }
  std::string lines;
  for (const TPlanRecord& r : records) lines += FormatPlanRecord(r);
  Journal(lines);
  for (const TPlanRecord& r : records) ApplyVoid(r);
  m_run.revealed = true;
  m_run.lastReplaced = m_run.replace.place;
}

bool TDataDraw::ApplyVoid(const TPlanRecord& r) {
  if (r.Place < 0 || static_cast<size_t>(r.Place) >= m_s.Winners.size()) return false;
  const size_t place = static_cast<size_t>(r.Place);
  TLuckId& w = m_s.Winners[place];
  TVoidId v{w.ItemId, w.TaskId, r.Place, w.CandidateIndex, w.CandidateLine, r.Reason,
            r.Time,   -1,       {}};
  if (r.Redraw) {
    v.ReplacementIndex = r.Replacement;
    v.ReplacementLine = m_s.CandidateLines[static_cast<size_t>(r.Replacement)];
    w.CandidateIndex = r.Replacement;
    w.CandidateLine = v.ReplacementLine;
  } else {
    // The place is gone: those after it move up one, and the last batch loses it.
    const size_t batchFrom =
        m_s.Winners.size() - std::min(m_run.lastBatch.picks.size(), m_s.Winners.size());
    if (place >= batchFrom) {
      auto& picks = m_run.lastBatch.picks;
      const auto at = std::find(picks.begin(), picks.end(), r.Voided);
      if (at != picks.end()) picks.erase(at);
    }
    m_s.Winners.erase(m_s.Winners.begin() + static_cast<std::ptrdiff_t>(place));
    for (TAbsentId& a : m_s.Absences)
      if (a.Place > r.Place) --a.Place;
    for (TVoidId& o : m_run.voids)
      if (o.Place > r.Place) --o.Place;
  }
  m_run.voids.push_back(std::move(v));
  m_run.changes.push_back(r);
  RebuildList();
  return true;
}

void TDataDraw::SaveFinishedInPlace(BatchEnd& end) {
  end.finished = true;
  end.saved = SaveDrawFiles(m_s.Items, m_s.Winners, m_s.Absences, m_run.voids, m_draw.titleLine,
                            false, end.saveError);
}

bool TDataDraw::ReplayPlan(const TPlanRecord& r, BatchEnd& end) {
  if (r.Kind == TPlanKind::Named) {
    // The award the plan has next, handed to exactly those named.
    if (state() != State::Ready && state() != State::BetweenBatches) return false;
    if (m_run.curItem >= static_cast<int32_t>(Items().size())) return false;
    TLuckItem& item = m_s.Items[static_cast<size_t>(m_run.curItem)];
    const std::vector<int32_t>* named = NamedOf(item.ItemId);
    if (item.ItemId != r.ItemId || !named || item.DrawnCount != 0 || r.Winners != *named)
      return false;
    m_run.lastBatch = Batch();
    for (int32_t k : r.Winners) {
      Accept(k, item);
      m_run.lastBatch.picks.push_back(k);
    }
    m_run.changes.push_back(r);
    m_run.lastReplaced.reset();
    end = Advance();
    return true;
  }
  if (r.Kind == TPlanKind::Void) {
    if (r.Place < 0 || static_cast<size_t>(r.Place) >= m_s.Winners.size()) return false;
    const TLuckId& w = m_s.Winners[static_cast<size_t>(r.Place)];
    if (w.ItemId != r.ItemId || w.CandidateIndex != r.Voided) return false;
    if (r.Redraw && !m_run.pool.MayReplace(r.Replacement, r.Voided, r.ItemId)) return false;
    m_run.pool.MarkVoided(r.Voided, r.Redraw ? r.Replacement : -1, r.ItemId);
    if (r.Redraw) m_run.lastRng = r.Rng;
    return ApplyVoid(r);
  }
  if (state() != State::BetweenBatches && state() != State::Finished) return false;
  std::string ignored;
  if (!CheckChange(r, ignored)) return false;
  if (!r.Audience.empty()) m_run.lastRng = MixAudience(m_run.lastRng, r.Audience);
  ApplyChange(r, end);
  return true;
}

std::shared_ptr<const TRulesIndex> TDataDraw::OwnRulesIndex(int32_t itemId, const TItemRules& rules,
                                                            std::string& error) const {
  TPoolRules own;
  own.Rules.Items.push_back(rules);
  own.Rules.Items[0].ItemId = itemId;
  own.TitleLine = m_draw.titleLine;
  std::shared_ptr<const TRulesIndex> index = IndexRules(m_s.CandidateLines, own, error);
  if (!index && error.empty()) error = G("临时加奖的规则为空");
  return index;
}

bool TDataDraw::OpenFinished(std::string& error) {
  const int32_t taskId = Task().TaskId;
  if (!m_draw.setUp || state() != State::Ready || m_draw.started) return false;
  if (m_draw.pending.kind != TPendingKind::None) {
    error = G("本任务还有未完成的抽奖,请先在抽奖窗口中完成");
    return false;
  }
  TJournal done;
  if (ReadJournal(paths::FinishedJournalPath(taskId), done, error) != JournalRead::Ok) {
    if (error.empty()) error = G("本任务没有已完成的抽奖记录");
    return false;
  }
  BatchEnd end;
  if (!done.Head.SameDraw(m_draw.head) || !Replay(done, end) || state() != State::Finished) {
    ResetDraw();
    error = G("任务的名单或奖项在抽奖后已经改动,无法在原抽奖记录上作废");
    return false;
  }
  TakeUp(done, paths::FinishedJournalPath(taskId));
  return true;
}

// --- named awards -------------------------------------------------------------------------

const std::vector<int32_t>* TDataDraw::NamedOf(int32_t itemId) const {
  const auto at = m_draw.named.find(itemId);
  return at == m_draw.named.end() ? nullptr : &at->second;
}

bool TDataDraw::SetUpNamed(TDrawFailure& failure) {
  std::string error;
  std::vector<TNamedItem> items;
  for (const TLuckItem& it : Items()) {
    TNamedItem n{it.ItemId, it.ItemName, it.LuckCount, {}};
    if (!LoadNamedIds(Task().TaskId, it.ItemId, n.Ids, error)) {
      failure = {MessageKind::Error, error};
      return false;
    }
    items.push_back(std::move(n));
  }
  MessageKind kind = MessageKind::Error;
  if (!CheckNamedAwards(items, m_s.CandidateLines, Task().LuckAgain == 1, m_draw.named, kind,
                        error)) {
    m_draw.named.clear();
    failure = {kind, error};
    return false;
  }
  for (const TNamedItem& n : items)
    for (const std::string& id : n.Ids)
      m_draw.head.Named += std::to_string(n.ItemId) + "\t" + id + "\n";
  if (!m_draw.head.Named.empty()) m_draw.head.NamedHash = Sha256Hex(m_draw.head.Named);
  return true;
}
