#include "draw/DataDraw.h"

#include <algorithm>

#include "records/DrawDataFile.h"
#include "records/Loaders.h"
#include "records/WinnerFiles.h"
#include "text/Gbk.h"
#include "text/Messages.h"
#include "text/Text.h"

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

void TWinnerList::Add(std::string_view maskedLine, std::string_view itemName) {
  std::string t = text::Trim(maskedLine);
  if (m_lines.empty()) m_lines.emplace_back();
  if (!itemName.empty() && itemName != m_lastItemName) {
    m_lines.emplace_back();
    m_lines.push_back(std::string(itemName) + ":");
    m_lastItemName = std::string(itemName);
  }
  const int64_t w = static_cast<int64_t>(kCharWidth) * static_cast<int64_t>(t.size());
  if (m_width < w) m_width = static_cast<int>(std::min<int64_t>(w, 1 << 20));
  m_lines.push_back(std::move(t));
}

bool TDataDraw::SetUp(int32_t taskId, Failure& failure) {
  m_curItem = 0;
  m_state = State::Ready;
  if (taskId <= 0) {
    failure = {MessageKind::Information, G("抽奖任务未选择,请重新选择")};
    return false;
  }
  std::string error;
  if (!LoadLuckTask(taskId, global::CurrentTask, error)) {
    failure = {MessageKind::Error, error};
    return false;
  }
  if (!LoadLuckItems(taskId, global::CurrentItems, global::ItemCount, global::LuckTotal, error)) {
    failure = {MessageKind::Error, error};
    return false;
  }
  // An item that can take no winner would never complete, and the draw could never finish.
  for (const TLuckItem& it : global::CurrentItems) {
    if (it.LuckCount < 1 || it.ListCount < 1) {
      failure = {MessageKind::Attention,
                 G("奖项[") + it.ItemName + G("]的中奖人数和每次抽取人数必须大于0,请重新配置奖项")};
      return false;
    }
  }
  global::WinnerRecords.clear();
  if (!ReadDrawData(global::CurrentTask.DataFilePath, m_titleLine, error)) {
    failure = {MessageKind::Error, error};
    return false;
  }
  global::PresetEntries.clear();
  for (const TLuckItem& it : global::CurrentItems) {
    std::string ignored;
    LoadPresetEntries(taskId, it.ItemId, global::PresetEntries, ignored);
  }

  // Which candidate lines are on a preset list, and where each entry's line first stands.
  const TArraySring& lines = global::CandidateLines;
  const size_t n = lines.size();
  m_drawn.assign(n, 0);
  m_isPreset.assign(n, 0);
  m_presetIndex.assign(global::PresetEntries.size(), -1);
  m_presets.clear();
  if (!global::PresetEntries.empty()) {
    std::unordered_map<std::string_view, int32_t> first;
    for (const TCheatId& e : global::PresetEntries) first.emplace(e.IdText, -1);
    for (size_t k = 0; k < n; ++k) {
      auto it = first.find(lines[k]);
      if (it == first.end()) continue;
      m_isPreset[k] = 1;
      if (it->second < 0) it->second = static_cast<int32_t>(k);
    }
    for (size_t e = 0; e < global::PresetEntries.size(); ++e) {
      m_presetIndex[e] = first[global::PresetEntries[e].IdText];
      m_presets[global::PresetEntries[e].ItemId].entries.push_back(e);
    }
  }
  m_nonPresetCount =
      static_cast<int64_t>(n) - std::count(m_isPreset.begin(), m_isPreset.end(), uint8_t{1});
  m_randomPool = m_nonPresetCount;
  m_closed.assign(global::CurrentItems.size(), 0);
  m_list = TWinnerList();
  m_batchIds.clear();
  return true;
}

int TDataDraw::RollLabelCount() const {
  if (!IsNumeric()) return 1;
  return std::clamp<int32_t>(global::IdMaxLength, 0, kMaxRollLabels);
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
  if (k < 0 || k >= static_cast<int32_t>(global::CandidateLines.size())) return false;
  if (global::CurrentTask.LuckAgain == 1) return true;
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
    global::PresetEntries[e].Used = true;  // used up whatever follows
    if (m_presetIndex[e] >= 0) return m_presetIndex[e];
  }
  if (m_nonPresetCount == 0) return -1;
  const int32_t count = static_cast<int32_t>(global::CandidateLines.size());
  while (true) {
    const int32_t k = m_rng.Random(count);
    if (!m_isPreset[static_cast<size_t>(k)]) return k;
  }
}

void TDataDraw::Accept(int32_t k, const TLuckItem& item) {
  const std::string& line = global::CandidateLines[static_cast<size_t>(k)];
  global::WinnerRecords.push_back({item.ItemId, global::CurrentTask.TaskId, k, line});
  if (global::CurrentTask.LuckAgain != 1) {
    m_drawn[static_cast<size_t>(k)] = 1;
    if (!m_isPreset[static_cast<size_t>(k)]) --m_randomPool;
  }
  const TLuckTask& t = global::CurrentTask;
  m_list.Add(MaskId(line, t.HideBegin, t.HideEnd), item.ItemName);
  m_batchIds.emplace_back(CandidateId(line));
}

TDataDraw::Batch TDataDraw::SelectBatchWinners() {
  Batch batch;
  if (m_state != State::Ready && m_state != State::BetweenBatches) return batch;
  batch.wanted = BatchSize();
  if (batch.wanted == 0) return batch;
  m_state = State::Selecting;
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
  const TArraySring& lines = global::CandidateLines;
  if (lines.empty()) return RollTexts({});
  const int32_t r = m_rng.Random(static_cast<int32_t>(lines.size()));
  return RollTexts(CandidateId(lines[static_cast<size_t>(r)]));
}

std::vector<std::string> TDataDraw::RevealBatch() {
  std::vector<std::string> lines = RevealLayout(m_batchIds);
  m_batchIds.clear();
  return lines;
}

TDataDraw::BatchEnd TDataDraw::EndBatch() {
  BatchEnd end;
  if (m_state != State::Rolling) return end;
  TLuckItem& item = global::CurrentItems[static_cast<size_t>(m_curItem)];
  item.DrawnCount += static_cast<int32_t>(m_lastBatch.picks.size());
  const bool closed = m_closed[static_cast<size_t>(m_curItem)] != 0;
  if (item.DrawnCount < item.LuckCount && !closed) {
    m_state = State::BetweenBatches;
    end.progressText = G("[") + item.ItemName + G("]已经抽取") + std::to_string(item.DrawnCount) +
                       G("名, 请继续抽取(还剩") + std::to_string(item.LuckCount - item.DrawnCount) +
                       G("名)");
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
    return end;
  }
  m_state = State::Finished;
  end.finished = true;
  end.progressText = G("所有奖项已经全部抽取完毕!");
  end.saved =
      SaveWinnerFiles(global::CurrentItems, global::WinnerRecords, m_titleLine, end.saveError);
  return end;
}
