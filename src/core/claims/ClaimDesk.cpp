#include "core/claims/ClaimDesk.h"

#include <algorithm>
#include <ctime>

#include <nettle/hmac.h>

#include "core/draw/DrawProof.h"
#include "core/records/Loaders.h"
#include "core/records/WinnerFiles.h"
#include "core/results/QueryRules.h"
#include "core/text/FileWrite.h"
#include "core/text/Format.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"

namespace claims {

namespace {

std::string LocalTime() { return text::LocalTime(std::time(nullptr), "%Y-%m-%d %H:%M:%S"); }

// The 姓名 field of the title line, or -1.
int NameField(std::string_view titleLine) {
  const std::vector<std::string> heads = text::SplitFields(titleLine);
  for (size_t i = 1; i < heads.size(); ++i)
    if (heads[i] == text::G("姓名")) return static_cast<int>(i);
  return -1;
}

std::string NameIn(std::string_view line, int field) {
  if (field < 0) return {};
  const std::vector<std::string> f = text::SplitFields(line);
  return static_cast<size_t>(field) < f.size() ? f[static_cast<size_t>(field)] : std::string();
}

std::string DigitsOf(std::string_view code) {
  std::string out;
  for (char c : code) {
    if (c >= '0' && c <= '9')
      out += c;
    else if (c != ' ' && c != '-')
      return {};
  }
  return out;
}

// The draw's claim-code key, kept in DATA/ (never in LUCK_FILE/ nor in an audit bundle), so
// the codes on the winners' phones still hold after a restart. Made on first use; a key that
// cannot be read or kept serves this run only, and the codes are then new after a restart.
TDrawSecret ClaimCodeKey(int32_t taskId, std::string_view drawKey) {
  const std::string path = paths::DataRoot() + "DATA/CLAIMKEY_" + std::to_string(taskId) + "_" +
                           std::string(drawKey.substr(0, 16)) + ".txt";
  TDrawSecret key{};
  std::string bytes, error;
  if (files::ReadWholeFile(path, bytes, error) && bytes.size() >= 64 &&
      ParseSecretHex(std::string_view(bytes).substr(0, 64), key))
    return key;
  if (!SystemSecret(key, error)) return key;
  files::WriteFileAtomic(path, SecretHex(key) + "\r\n", error);
  return key;
}

}  // namespace

std::string ClaimAnswerText(TClaimAnswer answer, std::string_view time) {
  switch (answer) {
    case TClaimAnswer::Claimed:
      return text::G("领取成功");
    case TClaimAnswer::AlreadyClaimed:
      return text::G("已于 ") + ClockOf(time) + text::G(" 领取");
    case TClaimAnswer::Absent:
      return text::G("该中奖者已标为缺席，奖项已由替补获得，不能领取");
    case TClaimAnswer::Voided:
      return text::G("该中奖者的中奖已作废，不能领取");
    case TClaimAnswer::NotWinner:
      return text::G("不是本次抽奖的中奖者，或领奖码有误");
    case TClaimAnswer::NotSaved:
      return text::G("领取记录未能写入，请再试一次");
    case TClaimAnswer::Closed:
      return text::G("还没有可以领取的奖项");
  }
  return {};
}

TClaimDesk::TClaimDesk() : m_wallTime(LocalTime) {}

void TClaimDesk::SetClock(std::function<std::string()> wallTime) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_wallTime = std::move(wallTime);
}

bool TClaimDesk::Use(TClaimDraw draw, std::string& error) {
  {
    // The stage's reveals of the draw held never wait on a claim being written.
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_draw.TaskId == draw.TaskId && m_draw.DrawKey == draw.DrawKey) {
      TakeLocked(std::move(draw), true);
      return true;
    }
  }
  // Another draw: its own file (nobody appends to it before the switch below), taken once
  // no claim of the one held is on its way to disk.
  TClaimFile file;
  if (!ReadDrawClaims(draw.TaskId, draw.DrawKey, file, error)) return false;
  const TDrawSecret codeKey = ClaimCodeKey(draw.TaskId, draw.DrawKey);
  std::unique_lock<std::mutex> lock(m_mutex);
  m_commit.Drain(lock);
  m_codeKey = codeKey;
  m_codes.clear();
  m_byCode.clear();
  m_claimed.clear();
  m_absent.clear();
  m_voided.clear();
  m_index.clear();
  for (TClaimRecord& r : file.Records) {
    Key key(r.Id, r.ItemId);
    m_claimed.emplace(std::move(key), std::move(r));
  }
  m_writer.Continue(ClaimFilePath(draw.TaskId, draw.DrawKey), draw.TaskId, draw.DrawKey,
                    file.WholeBytes);
  TakeLocked(std::move(draw), false);
  return true;
}

void TClaimDesk::TakeLocked(TClaimDraw draw, bool sameDraw) {
  std::map<Key, size_t> index;
  for (size_t i = 0; i < draw.Winners.size(); ++i)
    index.emplace(Key(draw.Winners[i].Id, draw.Winners[i].ItemId), i);
  std::set<Key> absent;
  for (const TClaimWinner& w : draw.Absent) absent.insert({w.Id, w.ItemId});
  std::set<Key> voided;
  for (const TClaimWinner& w : draw.Voided) voided.insert({w.Id, w.ItemId});
  if (sameDraw) {
    // A winner the stage no longer lists was marked absent: the place went to another.
    absent.insert(m_absent.begin(), m_absent.end());
    voided.insert(m_voided.begin(), m_voided.end());
    for (const auto& [key, at] : m_index)
      if (!index.count(key) && !voided.count(key)) absent.insert(key);
  }
  for (const auto& [key, at] : index) {  // a winner again (another item, or drawn anew)
    absent.erase(key);
    voided.erase(key);
  }
  for (const Key& key : voided) absent.erase(key);
  // The voided keep their names for the answers.
  if (sameDraw)
    for (const TClaimWinner& w : m_draw.Voided)
      if (std::none_of(draw.Voided.begin(), draw.Voided.end(),
                       [&](const TClaimWinner& v) { return v.Id == w.Id && v.ItemId == w.ItemId; }))
        draw.Voided.push_back(w);
  m_draw = std::move(draw);
  m_index = std::move(index);
  m_absent = std::move(absent);
  m_voided = std::move(voided);
  for (const auto& [key, at] : m_index) {
    if (m_codes.count(key)) continue;
    const std::string code = NewCodeLocked(key);
    if (code.empty()) continue;
    m_codes.emplace(key, code);
    m_byCode.emplace(code, key);
  }
}

std::string TClaimDesk::NewCodeLocked(const Key& key) {
  // The same prize gets the same code in every run: a keyed hash of the prize, tried again
  // with the next number only where two prizes meet (about 1 in 10^8 a pair).
  for (int tries = 0; tries < 100; ++tries) {
    const std::string what =
        key.first + "\t" + std::to_string(key.second) + "\t" + std::to_string(tries);
    hmac_sha256_ctx ctx;
    hmac_sha256_set_key(&ctx, m_codeKey.size(), m_codeKey.data());
    hmac_sha256_update(&ctx, what.size(), reinterpret_cast<const uint8_t*>(what.data()));
    uint8_t digest[SHA256_DIGEST_SIZE];
    hmac_sha256_digest(&ctx, sizeof digest, digest);
    uint64_t n = 0;
    for (size_t i = 0; i < 8; ++i) n = n << 8 | digest[i];
    std::string code = std::to_string(n % 100'000'000);
    code.insert(0, kClaimCodeDigits - code.size(), '0');
    if (!m_byCode.count(code)) return code;
  }
  return {};
}

int32_t TClaimDesk::TaskId() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_draw.TaskId;
}

std::string TClaimDesk::DrawKey() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_draw.DrawKey;
}

TPrize TClaimDesk::PrizeLocked(size_t winner) const {
  TPrize p;
  p.Winner = m_draw.Winners[winner];
  const Key key(p.Winner.Id, p.Winner.ItemId);
  if (const auto c = m_codes.find(key); c != m_codes.end()) p.Code = c->second;
  if (const auto r = m_claimed.find(key); r != m_claimed.end()) {
    p.Claimed = true;
    p.Time = r->second.Time;
    p.Desk = r->second.Desk;
  }
  return p;
}

TClaimResult TClaimDesk::Claim(std::string_view id, int32_t itemId, std::string_view desk) {
  TClaimResult result;
  std::unique_lock<std::mutex> lock(m_mutex);
  const Key key(std::string(id), itemId);
  // The same prize being written for another desk: its outcome decides this answer.
  m_commit.WaitUntil(lock, [&] { return !m_writing.count(key); });
  if (m_draw.DrawKey.empty()) return result;
  const auto at = m_index.find(key);
  if (at == m_index.end()) {
    result.Answer = m_voided.count(key)   ? TClaimAnswer::Voided
                    : m_absent.count(key) ? TClaimAnswer::Absent
                                          : TClaimAnswer::NotWinner;
    if (result.Answer != TClaimAnswer::NotWinner) {
      const auto& named = result.Answer == TClaimAnswer::Voided ? m_draw.Voided : m_draw.Absent;
      for (const TClaimWinner& w : named)
        if (w.Id == id && w.ItemId == itemId) result.Prize.Winner = w;
      if (result.Prize.Winner.Id.empty()) result.Prize.Winner = {key.first, itemId, {}, {}};
      result.Prize.Voided = result.Answer == TClaimAnswer::Voided;
    }
    return result;
  }
  result.Prize = PrizeLocked(at->second);
  if (result.Prize.Claimed) {
    result.Answer = TClaimAnswer::AlreadyClaimed;
    return result;
  }
  std::string deskName = text::Trim(desk);
  if (deskName.size() > kMaxDeskBytes) deskName.resize(kMaxDeskBytes);
  for (char& c : deskName)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
  if (deskName.empty()) deskName = "?";
  TClaimRecord record{key.first, itemId, m_wallTime(), deskName};
  m_writing.insert(key);
  // Readers go on while the claim is written.
  const bool ok = m_commit.Commit(
      lock, FormatClaimRecord(record), Queued{key, record},
      [this](const std::string& batch, std::string& error) {
        return m_writer.Append(batch, error);
      },
      [this](std::vector<Queued>& batch, bool written) {
        for (Queued& q : batch) {
          m_writing.erase(q.key);
          if (written) m_claimed.emplace(q.key, std::move(q.record));
        }
      });
  if (!ok) {
    result.Answer = TClaimAnswer::NotSaved;
    return result;
  }
  result.Prize.Claimed = true;
  result.Prize.Time = record.Time;
  result.Prize.Desk = record.Desk;
  result.Answer = TClaimAnswer::Claimed;
  return result;
}

TClaimResult TClaimDesk::ClaimCode(std::string_view code, std::string_view desk) {
  Key key;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_byCode.find(DigitsOf(code));
    if (it == m_byCode.end()) {
      TClaimResult none;
      none.Answer = m_draw.DrawKey.empty() ? TClaimAnswer::Closed : TClaimAnswer::NotWinner;
      return none;
    }
    key = it->second;
  }
  return Claim(key.first, key.second, desk);
}

std::optional<TPrize> TClaimDesk::Find(std::string_view code) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  const auto it = m_byCode.find(DigitsOf(code));
  if (it == m_byCode.end()) return std::nullopt;
  const auto at = m_index.find(it->second);
  if (at == m_index.end()) {
    // The code of a winner since marked absent or voided.
    TPrize p;
    p.Winner = {it->second.first, it->second.second, {}, {}};
    p.Voided = m_voided.count(it->second) > 0;
    for (const TClaimWinner& w : p.Voided ? m_draw.Voided : m_draw.Absent)
      if (w.Id == p.Winner.Id && w.ItemId == p.Winner.ItemId) p.Winner = w;
    return p;
  }
  return PrizeLocked(at->second);
}

std::vector<TPrize> TClaimDesk::Search(std::string_view gbk) const {
  const std::string needle = text::Trim(gbk);
  std::vector<TPrize> out;
  if (needle.empty()) return out;
  std::lock_guard<std::mutex> lock(m_mutex);
  for (size_t i = 0; i < m_draw.Winners.size(); ++i)
    if (m_draw.Winners[i].Id == needle) out.push_back(PrizeLocked(i));
  for (size_t i = 0; i < m_draw.Winners.size() && out.size() < kMaxSearchHits; ++i) {
    const TClaimWinner& w = m_draw.Winners[i];
    if (w.Id != needle &&
        (query::ContainsText(w.Id, needle) || query::ContainsText(w.Name, needle)))
      out.push_back(PrizeLocked(i));
  }
  if (out.size() > kMaxSearchHits) out.resize(kMaxSearchHits);
  return out;
}

std::vector<TPrize> TClaimDesk::PrizesOf(std::string_view id) const {
  std::vector<TPrize> out;
  std::lock_guard<std::mutex> lock(m_mutex);
  for (size_t i = 0; i < m_draw.Winners.size(); ++i)
    if (m_draw.Winners[i].Id == id) out.push_back(PrizeLocked(i));
  return out;
}

std::vector<TPrize> TClaimDesk::Prizes() const {
  std::vector<TPrize> out;
  std::lock_guard<std::mutex> lock(m_mutex);
  for (size_t i = 0; i < m_draw.Winners.size(); ++i) out.push_back(PrizeLocked(i));
  return out;
}

size_t TClaimDesk::ClaimedCount() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_claimed.size();
}

bool ResultsDraw(int32_t taskId, TClaimDraw& draw, std::string& error) {
  draw = TClaimDraw();
  draw.TaskId = taskId;
  draw.DrawKey = ResultsDrawKey(taskId);
  TArrLuckItem items;
  int32_t count = 0, sum = 0;
  if (!LoadLuckItems(taskId, items, count, sum, error)) return false;
  for (const TLuckItem& item : items) {
    TWinnerFile file;
    std::string warning;
    if (!LoadWinnerFile(taskId, item.ItemId, file, warning)) {
      error = warning;
      return false;
    }
    int nameField = -1;
    if (!file.head.empty()) {
      std::string title;
      for (const std::string& h : file.head) title += (title.empty() ? "" : " ") + h;
      nameField = NameField(title);
    }
    const auto nameOf = [&](const std::vector<std::string>& fields) {
      return nameField >= 0 && static_cast<size_t>(nameField) < fields.size()
                 ? fields[static_cast<size_t>(nameField)]
                 : std::string();
    };
    for (const std::vector<std::string>& row : file.rows)
      if (!row.empty()) draw.Winners.push_back({row[0], item.ItemId, item.ItemName, nameOf(row)});
    TAbsentFile absent;
    if (!LoadAbsentFile(taskId, item.ItemId, absent, error)) return false;
    for (const TAbsentFile::Row& r : absent.rows)
      if (!r.fields.empty())
        draw.Absent.push_back({r.fields[0], item.ItemId, item.ItemName, nameOf(r.fields)});
    TVoidFile voids;
    if (!LoadItemVoids(taskId, item.ItemId, voids, error)) return false;
    for (const TVoidRow& r : voids.rows) {
      const std::vector<std::string> fields = text::SplitFields(r.CandidateLine);
      if (!fields.empty())
        draw.Voided.push_back({fields[0], item.ItemId, item.ItemName, nameOf(fields)});
    }
  }
  return true;
}

std::string ResultsDeskName() { return text::G("结果查询"); }

TClaimResult ClaimFromResults(int32_t taskId, std::string_view id, int32_t itemId,
                              std::string& error, const std::shared_ptr<TClaimDesk>& held) {
  error.clear();
  const std::string key = ResultsDrawKey(taskId);
  // Another task's desk is never taken over.
  std::shared_ptr<TClaimDesk> desk = held && (held->TaskId() == taskId || held->TaskId() == 0)
                                         ? held
                                         : std::make_shared<TClaimDesk>();
  // A desk holding a draw now on stage is left to it: these results have a file of their own.
  if (!desk->DrawKey().empty() && desk->TaskId() == taskId && desk->DrawKey() != key)
    desk = std::make_shared<TClaimDesk>();
  // Taken again each time: the results may have changed since (a void).
  TClaimDraw draw;
  if (!ResultsDraw(taskId, draw, error) || !desk->Use(std::move(draw), error)) {
    TClaimResult r;
    r.Answer = TClaimAnswer::NotSaved;
    return r;
  }
  TClaimResult r = desk->Claim(id, itemId, ResultsDeskName());
  if (r.Answer == TClaimAnswer::NotSaved && error.empty())
    error = ClaimAnswerText(TClaimAnswer::NotSaved);
  return r;
}

bool RetakeResults(int32_t taskId, const std::shared_ptr<TClaimDesk>& held, std::string& error) {
  if (!held || held->TaskId() != taskId || held->DrawKey() != ResultsDrawKey(taskId)) return true;
  TClaimDraw draw;
  return ResultsDraw(taskId, draw, error) && held->Use(std::move(draw), error);
}

TClaimDraw RevealedDraw(const TRevealedList& list, std::string_view titleLine) {
  TClaimDraw draw;
  draw.TaskId = list.taskId;
  draw.DrawKey = CurrentDrawKey(list.taskId);
  const int nameField = NameField(titleLine);
  std::set<std::pair<std::string, int32_t>> voided;
  for (const TRevealedLine& l : list.voided) {
    if (l.id.empty() || !voided.insert({l.id, l.itemId}).second) continue;
    draw.Voided.push_back({l.id, l.itemId, l.item, NameIn(l.line, nameField)});
  }
  // A place drawn again still lists its voided winner until the replacement is revealed.
  for (const TRevealedLine& l : list.lines)
    if (l.place >= 0 && !l.id.empty() && !voided.count({l.id, l.itemId}))
      draw.Winners.push_back({l.id, l.itemId, l.item, NameIn(l.line, nameField)});
  return draw;
}

void TClaimFeed::Revealed(const TRevealedList& list) {
  if (list.taskId != m_taskId) return;
  m_error.clear();
  m_desk->Use(RevealedDraw(list, m_title), m_error);
}

}  // namespace claims
