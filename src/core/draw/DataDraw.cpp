#include "core/draw/DataDraw.h"

#include <algorithm>

#include "core/draw/DrawOpenings.h"
#include "core/draw/DrawTexts.h"
#include "core/draw/StageText.h"
#include "core/records/CheckinFile.h"
#include "core/records/DrawDataFile.h"
#include "core/records/FileHash.h"
#include "core/records/Loaders.h"
#include "core/records/ResultsHistory.h"
#include "core/records/WinnerFiles.h"
#include "core/text/FileWrite.h"
#include "core/text/Gbk.h"
#include "core/text/Messages.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"

using text::G;

namespace {
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
  return journal.Start(taskId, paths::JournalPath(taskId), FormatJournalHead(m_draw.head), error);
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
  m_rng.Randomize(m_run.lastRng);
  // The draw goes on with the journal's secret, seed and audience's number.
  const TJournalHead& h = pending.Head;
  m_draw.head.Seed = h.Seed;
  m_draw.head.Commit = h.Commit;
  m_draw.head.Secret = h.Secret;
  m_draw.head.Opening = h.Opening;
  m_draw.head.PrevHead = h.PrevHead;
  if (!h.Secret.empty()) ParseSecretHex(h.Secret, m_draw.secret);
  m_draw.start = pending.Start;
  m_draw.started = true;
  m_draw.startQueued = true;
  m_draw.journal.Continue(pending.WholeBytes);
  // A record cut short goes before anything is appended; if that fails here, the next
  // append tries again.
  if (pending.TornTail) {
    std::string cutError;
    CutJournalTail(paths::JournalPath(Task().TaskId), pending.WholeBytes, cutError);
  }
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
