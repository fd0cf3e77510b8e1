#include "core/draw/DataDraw.h"

#include <algorithm>

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

std::string MaskId(std::string_view s, int32_t hideBegin, int32_t hideEnd) {
  std::string t = text::Trim(s);
  if (hideBegin > hideEnd) return t;
  const int64_t first = std::max<int64_t>(hideBegin, 1);
  const int64_t last = std::min<int64_t>(hideEnd, static_cast<int64_t>(t.size()));
  for (int64_t p = first; p <= last; ++p) t[static_cast<size_t>(p - 1)] = 'X';
  return t;
}

std::vector<std::string> RevealLayout(const std::vector<std::string>& ids) {
  std::vector<std::string> lines;
  std::string line;
  for (const std::string& raw : ids) {
    const std::string id = text::Trim(raw);
    if (id.size() > 8) {
      std::string t = text::Trim(line);
      if (!t.empty()) lines.push_back(std::move(t));
      lines.push_back(id);
      line.clear();
      continue;
    }
    const std::string extended = id + text::RepeatText(" ", 8 - static_cast<int>(id.size()));
    const std::string previous = line;
    line += extended;
    if (line.size() > 26) {
      lines.push_back(text::Trim(previous));
      line = extended;
    }
    line += ' ';
  }
  std::string t = text::Trim(line);
  if (!t.empty()) lines.push_back(std::move(t));
  return lines;
}

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
  const int64_t w = static_cast<int64_t>(kCharWidth) * static_cast<int64_t>(t.size());
  if (m_width < w) m_width = static_cast<int>(std::min<int64_t>(w, 1 << 20));
  m_lines.push_back(std::move(t));
}

bool TDataDraw::SetUp(int32_t taskId, Failure& failure) {
  m_setUp = false;
  m_curItem = 0;
  m_state = State::Ready;
  m_pending = Pending::None;
  m_pendingJournal = TJournal();
  m_journalStarted = false;
  m_journalBytes = 0;
  m_unwritten.clear();
  m_journalError.clear();
  m_start = TJournalStart();
  m_started = false;
  m_startWritten = false;
  if (taskId <= 0) {
    failure = {MessageKind::Information, G("抽奖任务未选择,请重新选择")};
    return false;
  }
  std::string error;
  if (!m_s.LoadTask(taskId, error)) {
    failure = {MessageKind::Error, error};
    return false;
  }
  // An item that can take no winner would never complete, and the draw could never finish.
  for (const TLuckItem& it : m_s.Items) {
    if (it.LuckCount < 1 || it.ListCount < 1) {
      failure = {MessageKind::Attention,
                 G("奖项[") + it.ItemName + G("]的中奖人数和每次抽取人数必须大于0,请重新配置奖项")};
      return false;
    }
  }
  m_s.Winners.clear();
  m_dataPath = DrawDataFileOf(m_s.Task);
  if (!m_s.LoadCandidates(m_dataPath, m_titleLine, error)) {
    failure = {MessageKind::Error, error};
    return false;
  }
  m_s.LoadPresets();

  // What this draw is drawn from, for its journal and for matching an earlier one.
  m_head = TJournalHead();
  m_head.TaskId = taskId;
  if (!Sha256File(m_dataPath, m_head.DataHash, error)) {
    failure = {MessageKind::Error, error};
    return false;
  }
  std::string presets;
  for (const TCheatId& e : m_s.Presets)
    presets += std::to_string(e.ItemId) + "\t" + e.IdText + "\n";
  m_head.PresetHash = Sha256Hex(presets);
  m_head.LuckAgain = m_s.Task.LuckAgain;
  for (const TLuckItem& it : m_s.Items)
    m_head.Items.push_back({it.ItemId, it.LuckCount, it.ListCount});
  if (!MakeSecret(error)) {
    failure = {MessageKind::Error, error};
    return false;
  }

  // Which candidate lines are on a preset list, and where each entry's line first stands.
  const TArraySring& lines = m_s.CandidateLines;
  const size_t n = lines.size();
  m_isPreset.assign(n, 0);
  m_presetIndex.assign(m_s.Presets.size(), -1);
  if (!m_s.Presets.empty()) {
    std::unordered_map<std::string_view, int32_t> first;
    for (const TCheatId& e : m_s.Presets) first.emplace(e.IdText, -1);
    for (size_t k = 0; k < n; ++k) {
      auto it = first.find(lines[k]);
      if (it == first.end()) continue;
      m_isPreset[k] = 1;
      if (it->second < 0) it->second = static_cast<int32_t>(k);
    }
    for (size_t e = 0; e < m_s.Presets.size(); ++e) m_presetIndex[e] = first[m_s.Presets[e].IdText];
  }
  m_nonPresetCount =
      static_cast<int64_t>(n) - std::count(m_isPreset.begin(), m_isPreset.end(), uint8_t{1});
  ResetDraw();

  std::string ignored;
  switch (ReadJournal(paths::JournalPath(taskId), m_pendingJournal, ignored)) {
    case JournalRead::Ok:
      if (m_pendingJournal.Batches.empty()) {  // nothing shown: set aside unasked
        CatchUpFinishedFiles();
        break;
      }
      if (!m_pendingJournal.Head.SameDraw(m_head)) {
        m_pending = Pending::Mismatch;
        break;
      }
      {
        // A journal whose batches complete every item only lacks its winner files.
        BatchEnd end;
        const bool replays = Replay(m_pendingJournal, end);
        m_pending = replays && m_state == State::Finished ? Pending::Complete : Pending::Resumable;
        ResetDraw();
      }
      break;
    case JournalRead::Damaged:
      m_pending = Pending::Damaged;
      break;
    case JournalRead::Unreadable:
      m_pending = Pending::Mismatch;
      break;
    case JournalRead::Missing:
    case JournalRead::Empty:  // set aside when this draw's journal starts
      CatchUpFinishedFiles();
      break;
  }
  m_setUp = true;
  return true;
}

void TDataDraw::CatchUpFinishedFiles() {
  TJournal done;
  std::string ignored;
  if (ReadJournal(paths::FinishedJournalPath(Task().TaskId), done, ignored) != JournalRead::Ok ||
      done.Absences.empty() || !done.Head.SameDraw(m_head))
    return;
  // Only a replacement made once the draw had finished can be missing from the files.
  if (done.Absences.back().AfterBatches < done.Batches.size()) return;
  BatchEnd end;
  TJournal before = done;
  before.Absences.pop_back();
  const bool replaysBefore = Replay(before, end) && m_state == State::Finished;
  const TArrLuckId winnersBefore = m_s.Winners;
  const TArrAbsentId absencesBefore = m_s.Absences;
  ResetDraw();
  if (replaysBefore && Replay(done, end) && m_state == State::Finished &&
      DrawFilesBehind(m_s.Items, m_s.Winners, m_s.Absences, winnersBefore, absencesBefore,
                      m_titleLine))
    SaveDrawFiles(m_s.Items, m_s.Winners, m_s.Absences, m_titleLine, false, ignored);
  ResetDraw();
}

bool TDataDraw::MakeSecret(std::string& error) {
  if (m_fixedSecret) {
    m_secret = NumberedSecret(*m_fixedSecret);
  } else if (!SystemSecret(m_secret, error)) {
    return false;
  }
  m_head.Secret = SecretHex(m_secret);
  m_head.Commit = Commitment(m_secret);
  m_head.Seed = 0;
  return true;
}

bool TDataDraw::StartJournal(std::string& error) {
  if (!m_setUp || m_journalStarted || m_started) return m_journalStarted;
  const int32_t taskId = Task().TaskId;
  const std::string path = paths::JournalPath(taskId);
  if (paths::FileExists(path)) {
    std::string folder;
    if (!MoveToHistory(taskId, {path}, folder, error)) return false;
  }
  const std::string head = FormatJournalHead(m_head);
  if (!files::WriteFileAtomic(path, head, error)) return false;
  m_journalStarted = true;
  m_journalBytes = head.size();
  return true;
}

std::string TDataDraw::ProofText() const {
  const size_t n = m_s.CandidateLines.size();
  return G("抽奖凭证  名单 ") + m_head.DataHash.substr(0, 12) + "  " + std::to_string(n) +
         G("人  承诺 ") + m_head.Commit.substr(0, 16);
}

bool TDataDraw::AudienceOpen() const {
  return m_setUp && m_state == State::Ready && !m_started && m_s.Winners.empty();
}

bool TDataDraw::SetAudienceNumber(std::string_view digits) {
  if (!AudienceOpen() || !ValidAudienceNumber(digits)) return false;
  m_start.Audience = std::string(digits);
  return true;
}

void TDataDraw::ResetDraw() {
  m_curItem = 0;
  m_state = State::Ready;
  m_s.Winners.clear();
  for (TLuckItem& it : m_s.Items) it.DrawnCount = 0;
  for (TCheatId& e : m_s.Presets) e.Used = false;
  m_drawn.assign(m_s.CandidateLines.size(), 0);
  m_absent.assign(m_s.CandidateLines.size(), 0);
  m_s.Absences.clear();
  m_replace = Replace();
  m_progress.clear();
  m_randomPool = m_nonPresetCount;
  m_presets.clear();
  for (size_t e = 0; e < m_s.Presets.size(); ++e)
    m_presets[m_s.Presets[e].ItemId].entries.push_back(e);
  m_closed.assign(m_s.Items.size(), 0);
  m_list = TWinnerList();
  m_lastBatch = Batch();
  m_lastReveal.clear();
  m_revealed = false;
}

std::string TDataDraw::ResumeQuestion() const {
  return G("上次抽奖尚未完成(已抽出") + std::to_string(PendingWinners()) +
         G("名),是否继续上次的抽奖?");
}

std::string TDataDraw::DamagedText() {
  return G("上次未完成的抽奖记录已损坏,无法准确继续,已移至历史记录,将重新开始抽奖");
}

std::string TDataDraw::MismatchText() {
  return G(
      "上次未完成的抽奖与当前的抽奖数据或奖项设置不一致,无法继续,已移至历史记录,将重新开始抽奖");
}

bool TDataDraw::HasResults() const { return HasWinnerFiles(Task().TaskId); }

std::string TDataDraw::ResultsQuestion() {
  return G("该抽奖任务已有中奖结果,重新抽奖后原结果将移至历史记录,是否继续?");
}

std::string TDataDraw::TakeJournalError() {
  std::string e;
  e.swap(m_journalError);
  return e;
}

bool TDataDraw::SetAsidePending(std::string& error) {
  const std::string path = paths::JournalPath(Task().TaskId);
  m_pending = Pending::None;
  m_pendingJournal = TJournal();
  if (!paths::FileExists(path)) return true;
  std::string folder;
  return MoveToHistory(Task().TaskId, {path}, folder, error);
}

bool TDataDraw::Replay(const TJournal& journal, BatchEnd& end) {
  const int32_t count = static_cast<int32_t>(Items().size());
  const int32_t candidates = static_cast<int32_t>(m_s.CandidateLines.size());
  size_t nextAbsence = 0;
  // The absences written after `batches` batches, in their order.
  const auto absencesAfter = [&](size_t batches) {
    for (; nextAbsence < journal.Absences.size() &&
           journal.Absences[nextAbsence].AfterBatches == batches;
         ++nextAbsence) {
      const TJournalAbsence& a = journal.Absences[nextAbsence];
      if (a.Place < 0 || static_cast<size_t>(a.Place) >= m_s.Winners.size()) return false;
      const TLuckId& w = m_s.Winners[static_cast<size_t>(a.Place)];
      if (w.ItemId != a.ItemId || w.CandidateIndex != a.Absent) return false;
      // The replacement was eligible once its winner was absent.
      const uint8_t was = m_absent[static_cast<size_t>(a.Absent)];
      m_absent[static_cast<size_t>(a.Absent)] = 1;
      const bool ok = IsReplaceable(a.Replacement);
      m_absent[static_cast<size_t>(a.Absent)] = was;
      if (!ok) return false;
      MarkAbsent(static_cast<size_t>(a.Place), a.Replacement);
      m_lastReveal = RevealLayout(IdsOf({a.Replacement}));
    }
    return true;
  };
  if (!absencesAfter(0)) return false;
  size_t done = 0;
  for (const TJournalBatch& b : journal.Batches) {
    if (m_state == State::Finished || m_curItem >= count) return false;
    TLuckItem& item = m_s.Items[static_cast<size_t>(m_curItem)];
    if (item.ItemId != b.ItemId || b.PresetsUsed < 0) return false;
    auto q = m_presets.find(item.ItemId);
    const size_t used = static_cast<size_t>(b.PresetsUsed);
    const size_t available = q == m_presets.end() ? 0 : q->second.entries.size();
    if (used > available) return false;
    if (q != m_presets.end()) {
      if (used < q->second.next) return false;
      for (size_t i = q->second.next; i < used; ++i) m_s.Presets[q->second.entries[i]].Used = true;
      q->second.next = used;
    }
    m_lastBatch = Batch();
    if (static_cast<int64_t>(b.Winners.size()) > BatchSize()) return false;
    for (int32_t k : b.Winners) {
      if (k < 0 || k >= candidates || !IsEligible(k)) return false;
      Accept(k, item);
      m_lastBatch.picks.push_back(k);
    }
    if (item.DrawnCount + static_cast<int32_t>(b.Winners.size()) != b.Drawn) return false;
    if (b.Closed) m_closed[static_cast<size_t>(m_curItem)] = 1;
    m_lastReveal = RevealLayout(IdsOf(m_lastBatch.picks));
    m_state = State::Rolling;
    end = Advance();
    if (!absencesAfter(++done)) return false;
  }
  return !journal.Batches.empty() && nextAbsence == journal.Absences.size();
}

bool TDataDraw::Resume(BatchEnd& end, std::string& error) {
  end = BatchEnd();
  if ((m_pending != Pending::Resumable && m_pending != Pending::Complete) ||
      m_state != State::Ready)
    return false;
  if (!Replay(m_pendingJournal, end)) {
    ResetDraw();
    m_pending = Pending::Mismatch;
    error = MismatchText();
    return false;
  }
  m_rng.Randomize(m_pendingJournal.LastRng());
  // The draw goes on with the journal's secret, seed and audience's number.
  const TJournalHead& h = m_pendingJournal.Head;
  m_head.Seed = h.Seed;
  m_head.Commit = h.Commit;
  m_head.Secret = h.Secret;
  if (!h.Secret.empty()) ParseSecretHex(h.Secret, m_secret);
  m_start = m_pendingJournal.Start;
  m_started = true;
  m_startWritten = true;
  m_journalStarted = true;
  m_journalBytes = m_pendingJournal.WholeBytes;
  // A record cut short goes before anything is appended; if that fails here, the next
  // append tries again.
  if (m_pendingJournal.TornTail) {
    std::string cutError;
    CutJournalTail(paths::JournalPath(Task().TaskId), m_journalBytes, cutError);
  }
  m_pending = Pending::None;
  m_pendingJournal = TJournal();
  if (m_state == State::Finished) Save(end);
  return true;
}

int TDataDraw::RollLabelCount() const {
  if (!IsNumeric()) return 1;
  return std::clamp<int32_t>(m_s.IdMaxLength, 0, kMaxRollLabels);
}

std::string TDataDraw::ReadyText() const {
  return G("请点击[开始]抽取") + (Items().empty() ? std::string() : Items()[0].ItemName);
}

std::string TDataDraw::PrizeText(int itemIndex) const {
  if (itemIndex < 0 || itemIndex >= static_cast<int>(Items().size())) return {};
  const TLuckItem& it = Items()[static_cast<size_t>(itemIndex)];
  return it.AwardName.empty() ? std::string() : it.ItemName + G("奖品:") + it.AwardName;
}

std::string TDataDraw::SelectingText() { return G("正在初始化数据......"); }
std::string TDataDraw::RollingText() { return G("请按回车键抽取中奖号码"); }

int TDataDraw::BatchSize() const {
  if (m_curItem < 0 || m_curItem >= static_cast<int32_t>(Items().size())) return 0;
  const TLuckItem& it = Items()[static_cast<size_t>(m_curItem)];
  if (it.DrawnCount >= it.LuckCount || m_closed[static_cast<size_t>(m_curItem)]) return 0;
  return std::min(it.LuckCount - it.DrawnCount, it.ListCount);
}

bool TDataDraw::IsEligible(int32_t k) const {
  if (k < 0 || k >= static_cast<int32_t>(m_s.CandidateLines.size())) return false;
  if (m_absent[static_cast<size_t>(k)]) return false;  // never wins again in this draw
  if (m_s.Task.LuckAgain == 1) return true;
  return m_drawn[static_cast<size_t>(k)] == 0;
}

bool TDataDraw::CanPickFor(int32_t itemId) const {
  if (m_randomPool > 0) return true;
  // Only preset entries can still give a winner: one of the unused ones must.
  auto q = m_presets.find(itemId);
  if (q == m_presets.end()) return false;
  for (size_t i = q->second.next; i < q->second.entries.size(); ++i) {
    const int32_t k = m_presetIndex[q->second.entries[i]];
    if (k >= 0 && IsEligible(k)) return true;
  }
  return false;
}

int32_t TDataDraw::PickCandidate(int32_t itemId) {
  auto q = m_presets.find(itemId);
  if (q != m_presets.end() && q->second.next < q->second.entries.size()) {
    const size_t e = q->second.entries[q->second.next++];
    m_s.Presets[e].Used = true;  // used up whatever follows
    if (m_presetIndex[e] >= 0) return m_presetIndex[e];
  }
  if (m_nonPresetCount == 0) return -1;
  const int32_t count = static_cast<int32_t>(m_s.CandidateLines.size());
  while (true) {
    const int32_t k = m_rng.Random(count);
    if (!m_isPreset[static_cast<size_t>(k)]) return k;
  }
}

void TDataDraw::Accept(int32_t k, const TLuckItem& item) {
  const std::string& line = m_s.CandidateLines[static_cast<size_t>(k)];
  m_s.Winners.push_back({item.ItemId, m_s.Task.TaskId, k, line});
  if (m_s.Task.LuckAgain != 1) {
    m_drawn[static_cast<size_t>(k)] = 1;
    if (!m_isPreset[static_cast<size_t>(k)]) --m_randomPool;
  }
  const TLuckTask& t = m_s.Task;
  m_list.Add(MaskId(line, t.HideBegin, t.HideEnd), item.ItemName,
             static_cast<int32_t>(m_s.Winners.size()) - 1);
}

bool TDataDraw::BeginBatch() {
  if (!m_setUp || (m_state != State::Ready && m_state != State::BetweenBatches)) return false;
  if (BatchSize() == 0) return false;
  m_state = State::Selecting;
  return true;
}

TDataDraw::Batch TDataDraw::SelectBatchWinners() {
  Batch batch;
  if (m_state != State::Ready && m_state != State::BetweenBatches && m_state != State::Selecting)
    return batch;
  batch.wanted = BatchSize();
  if (batch.wanted == 0) {
    if (m_state == State::Selecting)
      m_state = m_curItem == 0 && m_s.Winners.empty() ? State::Ready : State::BetweenBatches;
    return batch;
  }
  m_state = State::Selecting;
  m_revealed = false;
  m_rolls = 0;
  if (!m_started) {
    // The first batch: the seed follows from the committed secret and the audience's
    // number, both fixed from now on.
    std::vector<TProofItem> items;
    for (const TJournalItem& it : m_head.Items)
      items.push_back({it.ItemId, it.LuckCount, it.ListCount});
    m_start.Seed = DeriveSeed(m_head.Secret, m_start.Audience, m_head.DataHash, m_head.PresetHash,
                              ItemsText(items));
    m_rng.Randomize(m_start.Seed);
    m_started = true;
  }
  const TLuckItem& item = Items()[static_cast<size_t>(m_curItem)];
  batch.picks.reserve(static_cast<size_t>(batch.wanted));
  while (static_cast<int>(batch.picks.size()) < batch.wanted) {
    if (!CanPickFor(item.ItemId)) {
      batch.exhaustedText = G("[") + item.ItemName + G("]可抽取的号码已不足,无法继续抽取");
      m_closed[static_cast<size_t>(m_curItem)] = 1;
      break;
    }
    const int32_t k = PickCandidate(item.ItemId);
    if (!IsEligible(k)) continue;
    Accept(k, item);
    batch.picks.push_back(k);
  }
  m_lastBatch = batch;
  m_state = State::Rolling;
  return batch;
}

std::vector<std::string> TDataDraw::RollTexts(std::string_view id) const {
  const std::string t = MaskId(id, Task().HideBegin, Task().HideEnd);
  if (!IsNumeric()) return {t};
  std::vector<std::string> labels(static_cast<size_t>(RollLabelCount()));
  for (size_t j = 0; j < labels.size() && j < t.size(); ++j) labels[j] = t.substr(j, 1);
  return labels;
}

std::vector<std::string> TDataDraw::RollStep() {
  const TArraySring& lines = m_s.CandidateLines;
  if (lines.empty()) return RollTexts({});
  // Only a batch's roll before its reveal draws numbers, which the journal counts; at any
  // other moment the first candidate stands still.
  if (m_state != State::Rolling || m_revealed) return RollTexts(CandidateId(lines.front()));
  ++m_rolls;
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
  if (m_state != State::Rolling || m_revealed) return {};
  if (m_replace.active) return IdsOf({m_replace.pick});
  return IdsOf(m_lastBatch.picks);
}

std::vector<std::string> TDataDraw::RevealBatch() {
  if (m_state != State::Rolling || m_revealed) return {};
  if (m_replace.active) {
    const TLuckId& w = m_s.Winners[m_replace.place];
    TJournalAbsence record;
    record.ItemId = w.ItemId;
    record.Place = static_cast<int32_t>(m_replace.place);
    record.Absent = w.CandidateIndex;
    record.Replacement = m_replace.pick;
    record.Rng = m_rng.Seed();
    record.Rolls = m_rolls;
    Journal(FormatJournalAbsence(record));
    MarkAbsent(m_replace.place, m_replace.pick);
    m_revealed = true;
    m_lastReveal = RevealLayout(IdsOf({m_replace.pick}));
    return m_lastReveal;
  }
  const TLuckItem& item = Items()[static_cast<size_t>(m_curItem)];
  auto q = m_presets.find(item.ItemId);
  TJournalBatch record;
  record.ItemId = item.ItemId;
  record.Drawn = item.DrawnCount + static_cast<int32_t>(m_lastBatch.picks.size());
  record.Closed = m_closed[static_cast<size_t>(m_curItem)] != 0;
  record.PresetsUsed = q == m_presets.end() ? 0 : static_cast<int32_t>(q->second.next);
  record.Rng = m_rng.Seed();
  record.Rolls = m_rolls;
  record.Winners = m_lastBatch.picks;
  Journal(FormatJournalBatch(record));
  m_revealed = true;
  m_lastReveal = RevealLayout(IdsOf(m_lastBatch.picks));
  return m_lastReveal;
}

std::string TDataDraw::JournalFile() const {
  const int32_t taskId = Task().TaskId;
  // A finished draw's journal has its final name; replacements made then are added to it.
  if (m_journalStarted && !paths::FileExists(paths::JournalPath(taskId)) &&
      paths::FileExists(paths::FinishedJournalPath(taskId)))
    return paths::FinishedJournalPath(taskId);
  return paths::JournalPath(taskId);
}

void TDataDraw::Journal(const std::string& record) {
  const int32_t taskId = Task().TaskId;
  const std::string path = JournalFile();
  std::string records = m_unwritten;
  if (!m_startWritten && !m_head.Commit.empty()) {
    records += FormatJournalStart(m_start);
    m_startWritten = true;  // from now on it travels in m_unwritten until written
  }
  records += record;
  std::string lines;
  if (!m_journalStarted) {
    // A journal of an earlier draw that was never continued goes to the history first.
    if (paths::FileExists(path)) {
      std::string folder;
      if (!MoveToHistory(taskId, {path}, folder, m_journalError)) {
        m_unwritten = records;
        return;
      }
    }
    lines = FormatJournalHead(m_head) + records;
  } else {
    lines = records;
    // A write that failed half way, or a torn record, is cut back first: the next record
    // never lands on a torn line.
    if (JournalSize(path) != static_cast<int64_t>(m_journalBytes) &&
        !CutJournalTail(path, m_journalBytes, m_journalError)) {
      m_unwritten = records;
      return;
    }
  }
  std::string error;
  if (AppendJournal(path, lines, error)) {
    if (!m_journalStarted) m_journalBytes = 0;
    m_journalStarted = true;
    m_journalBytes += lines.size();
    m_unwritten.clear();
    return;
  }
  m_unwritten = records;
  m_journalError = error;
}

TDataDraw::BatchEnd TDataDraw::EndBatch() {
  if (m_state != State::Rolling) return BatchEnd();
  if (m_replace.active) return EndReplacement();
  if (!m_revealed) RevealBatch();
  BatchEnd end = Advance();
  if (end.finished) Save(end);
  return end;
}

TDataDraw::BatchEnd TDataDraw::Advance() {
  BatchEnd end;
  TLuckItem& item = m_s.Items[static_cast<size_t>(m_curItem)];
  item.DrawnCount += static_cast<int32_t>(m_lastBatch.picks.size());
  m_revealed = false;
  const bool closed = m_closed[static_cast<size_t>(m_curItem)] != 0;
  if (item.DrawnCount < item.LuckCount && !closed) {
    m_state = State::BetweenBatches;
    end.progressText = G("[") + item.ItemName + G("]已经抽取") + std::to_string(item.DrawnCount) +
                       G("名, 请继续抽取(还剩") + std::to_string(item.LuckCount - item.DrawnCount) +
                       G("名)");
    m_progress = end.progressText;
    return end;
  }
  ++m_curItem;
  const int32_t count = static_cast<int32_t>(Items().size());
  if (m_curItem < count) {
    m_state = State::BetweenBatches;
    end.progressText = G("[") + item.ItemName + G("]已经抽取完毕,请继续抽取[") +
                       Items()[static_cast<size_t>(m_curItem)].ItemName + G("],还剩") +
                       std::to_string(count - m_curItem) + G("个奖项");
    end.prizeChanged = true;
    end.prizeText = PrizeText(m_curItem);
    m_progress = end.progressText;
    return end;
  }
  m_state = State::Finished;
  end.finished = true;
  end.progressText = G("所有奖项已经全部抽取完毕!");
  m_progress = end.progressText;
  return end;
}

void TDataDraw::Save(BatchEnd& end) {
  // Killed after the winner files, before the journal's rename: they stay as they are.
  end.saved = DrawFilesInPlace(m_s.Items, m_s.Winners, m_s.Absences, m_titleLine) ||
              SaveDrawFiles(m_s.Items, m_s.Winners, m_s.Absences, m_titleLine, true, end.saveError);
  if (!end.saved) return;  // the journal keeps the draw: opening it again saves it
  const int32_t taskId = Task().TaskId;
  std::string ignored;
  if (paths::FileExists(paths::JournalPath(taskId)))
    files::MoveFile(paths::JournalPath(taskId), paths::FinishedJournalPath(taskId), ignored);
}

// --- absent winners ----------------------------------------------------------------------

std::string TDataDraw::AbsentQuestion(size_t place) const {
  if (place >= m_s.Winners.size()) return {};
  const TLuckId& w = m_s.Winners[place];
  std::string item;
  for (const TLuckItem& it : Items())
    if (it.ItemId == w.ItemId) item = it.ItemName;
  return G("[") + item + G("]的中奖者") + std::string(CandidateId(w.CandidateLine)) +
         G("缺席,是否为该奖项抽取一名替补?");
}

bool TDataDraw::IsReplaceable(int32_t k) const {
  if (k < 0 || k >= static_cast<int32_t>(m_s.CandidateLines.size())) return false;
  // Preset lists force winners into batches only; a replacement is drawn at random.
  return !m_isPreset[static_cast<size_t>(k)] && IsEligible(k);
}

bool TDataDraw::BeginReplacement(size_t place, std::string& message) {
  message.clear();
  if (!MayMarkAbsent() || m_replace.active || place >= m_s.Winners.size()) return false;
  const TLuckId& w = m_s.Winners[place];
  std::string item;
  for (const TLuckItem& it : Items())
    if (it.ItemId == w.ItemId) item = it.ItemName;
  // Who may still be drawn at random, the absent winner left out.
  int64_t pool = m_randomPool;
  const size_t absent = static_cast<size_t>(w.CandidateIndex);
  if (m_s.Task.LuckAgain == 1 && !m_isPreset[absent] && !m_absent[absent]) --pool;
  if (pool <= 0) {
    message = G("[") + item + G("]已没有可抽取的替补号码,中奖名单不变");
    return false;
  }
  const uint8_t was = m_absent[absent];
  m_absent[absent] = 1;  // for the pick only; the reveal records the absence
  const int32_t count = static_cast<int32_t>(m_s.CandidateLines.size());
  int32_t k;
  do {
    k = m_rng.Random(count);
  } while (!IsReplaceable(k));
  m_absent[absent] = was;
  m_replace.active = true;
  m_replace.place = place;
  m_replace.pick = k;
  m_replace.back = m_state;
  m_revealed = false;
  m_rolls = 0;
  m_state = State::Rolling;
  return true;
}

void TDataDraw::MarkAbsent(size_t place, int32_t replacement) {
  TLuckId& w = m_s.Winners[place];
  const size_t absent = static_cast<size_t>(w.CandidateIndex);
  const bool again = m_s.Task.LuckAgain == 1;
  // Drawn once, the absent winner is out of the pool already; with repeated winning on it
  // leaves the pool now.
  if (again && !m_isPreset[absent] && !m_absent[absent]) --m_randomPool;
  m_absent[absent] = 1;
  const std::string& line = m_s.CandidateLines[static_cast<size_t>(replacement)];
  m_s.Absences.push_back({w.ItemId, w.TaskId, static_cast<int32_t>(place), w.CandidateIndex,
                          w.CandidateLine, replacement, line});
  w.CandidateIndex = replacement;
  w.CandidateLine = line;
  if (!again) {
    m_drawn[static_cast<size_t>(replacement)] = 1;
    --m_randomPool;
  }
  RebuildList();
}

void TDataDraw::RebuildList() {
  const TLuckTask& t = m_s.Task;
  std::unordered_map<int32_t, std::string> names;
  for (const TLuckItem& it : Items()) names.emplace(it.ItemId, it.ItemName);
  std::vector<std::vector<const TAbsentId*>> before(m_s.Winners.size());
  for (const TAbsentId& a : m_s.Absences)
    if (a.Place >= 0 && static_cast<size_t>(a.Place) < before.size())
      before[static_cast<size_t>(a.Place)].push_back(&a);
  // An absent winner stays in the list, marked, just above whoever took the place.
  TWinnerList list;
  for (size_t i = 0; i < m_s.Winners.size(); ++i) {
    const TLuckId& w = m_s.Winners[i];
    const std::string& name = names[w.ItemId];
    for (const TAbsentId* a : before[i])
      list.Add(MaskId(a->CandidateLine, t.HideBegin, t.HideEnd) + " " + G("缺席"), name);
    list.Add(MaskId(w.CandidateLine, t.HideBegin, t.HideEnd), name, static_cast<int32_t>(i));
  }
  m_list = std::move(list);
  ++m_listGeneration;
}

TDataDraw::BatchEnd TDataDraw::EndReplacement() {
  BatchEnd end;
  if (!m_replace.active) return end;
  if (!m_revealed) RevealBatch();
  m_state = m_replace.back;
  m_replace = Replace();
  m_revealed = false;
  end.progressText = m_progress;
  if (m_state == State::Finished) {
    // The files of this draw are written again with the replacement in its place.
    end.finished = true;
    end.saved =
        SaveDrawFiles(m_s.Items, m_s.Winners, m_s.Absences, m_titleLine, false, end.saveError);
  }
  return end;
}

std::vector<size_t> TDataDraw::LastBatchPlaces() const {
  std::vector<size_t> places;
  const size_t n = std::min(m_lastBatch.picks.size(), m_s.Winners.size());
  for (size_t i = m_s.Winners.size() - n; i < m_s.Winners.size(); ++i) places.push_back(i);
  return places;
}
