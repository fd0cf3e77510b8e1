// The engine's changes to the plan of the night and its voids: each checked, written to the
// journal before it applies, and replayed from the journal on a resume.
#include <algorithm>

#include "core/db/TombolixDM.h"
#include "core/draw/DataDraw.h"
#include "core/draw/DrawTexts.h"
#include "core/records/FileHash.h"
#include "core/records/NamedAwardFile.h"
#include "core/records/WinnerFiles.h"
#include "core/text/FileWrite.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"

using text::G;

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
      if (!m_run.pool.MayPick(r.ItemId)) {
        message = Bracketed(r.Name) + G("已没有可抽取的候选人,不能加奖");
        return false;
      }
      return true;
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

bool TDataDraw::Change(TPlanRecord r, std::string_view audience, BatchEnd& end,
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
  end = BatchEnd();
  message.clear();
  if (!MayChangePlan()) return Change(add, audience, end, message);
  // Checked before an id is spent on it; the id is the database's next item id, so that no
  // item made later takes the same files.
  add.ItemId = -1;
  if (!CheckChange(add, message)) return false;
  if (!ValidAudienceNumber(audience)) return Change(add, audience, end, message);
  do {
    add.ItemId = GetNextId(db::kSeqItemId);
    if (add.ItemId < 0) {
      message = G("无法为新奖项分配编号");
      return false;
    }
  } while (std::any_of(Items().begin(), Items().end(),
                       [&](const TLuckItem& it) { return it.ItemId == add.ItemId; }));
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
  return Change(r, audience, end, message);
}

bool TDataDraw::ChooseNext(int32_t itemId, std::string_view audience, BatchEnd& end,
                           std::string& message) {
  TPlanRecord r;
  r.Kind = TPlanKind::Next;
  r.ItemId = itemId;
  return Change(r, audience, end, message);
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
  m_rng.Randomize(m_run.lastRng);
  const TJournalHead& h = done.Head;
  m_draw.head.Seed = h.Seed;
  m_draw.head.Commit = h.Commit;
  m_draw.head.Secret = h.Secret;
  if (!h.Secret.empty()) ParseSecretHex(h.Secret, m_draw.secret);
  m_draw.start = done.Start;
  m_draw.started = true;
  m_draw.startQueued = true;
  m_draw.journal.Continue(done.WholeBytes);
  if (done.TornTail) {
    std::string cutError;
    CutJournalTail(paths::FinishedJournalPath(taskId), done.WholeBytes, cutError);
  }
  return true;
}

// --- named awards -------------------------------------------------------------------------

const std::vector<int32_t>* TDataDraw::NamedOf(int32_t itemId) const {
  const auto at = m_draw.named.find(itemId);
  return at == m_draw.named.end() ? nullptr : &at->second;
}

bool TDataDraw::SetUpNamed(TDrawFailure& failure) {
  std::string error;
  std::map<int32_t, std::string> namedBy;  // a candidate's named award, by name
  for (const TLuckItem& it : Items()) {
    std::vector<std::string> ids;
    std::vector<int32_t> named;
    if (!LoadNamedIds(Task().TaskId, it.ItemId, ids, error) ||
        !NamedCandidates(ids, m_s.CandidateLines, it.ItemName, named, error)) {
      failure = {MessageKind::Error, error};
      return false;
    }
    if (named.empty()) continue;
    if (static_cast<int32_t>(named.size()) != it.LuckCount) {
      failure = {MessageKind::Attention,
                 G("奖项") + Bracketed(it.ItemName) + G("指定颁奖") + std::to_string(named.size()) +
                     G("人,与中奖人数") + std::to_string(it.LuckCount) + G("不符,请重新配置奖项")};
      return false;
    }
    for (size_t i = 0; i < named.size(); ++i) {
      const auto [at, fresh] = namedBy.emplace(named[i], it.ItemName);
      if (!fresh && Task().LuckAgain != 1) {
        failure = {MessageKind::Attention,
                   G("号码[") + ids[i] + G("]在奖项") + Bracketed(at->second) + G("和") +
                       Bracketed(it.ItemName) + G("中都被指定颁奖,但本任务不允许重复中奖")};
        return false;
      }
      m_draw.head.Named += std::to_string(it.ItemId) + "\t" + ids[i] + "\n";
    }
    m_draw.named[it.ItemId] = std::move(named);
  }
  if (!m_draw.head.Named.empty()) m_draw.head.NamedHash = Sha256Hex(m_draw.head.Named);
  return true;
}
