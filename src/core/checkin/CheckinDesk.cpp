#include "core/checkin/CheckinDesk.h"

#include <algorithm>
#include <chrono>
#include <ctime>

#include "core/checkin/CheckinWall.h"
#include "core/draw/DataDraw.h"
#include "core/draw/DrawProof.h"
#include "core/text/Format.h"
#include "core/text/Gbk.h"
#include "core/text/Text.h"

// The desk keeps enough names for the wall and the row that slides out of it.
static_assert(checkin::kWallLines >= (checkin::kWallRows + 1) * checkin::kWallColumns);

namespace checkin {

namespace {

int64_t SteadyMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::string LocalTime() { return text::LocalTime(std::time(nullptr), "%Y-%m-%d %H:%M:%S"); }

// The blanks phones type that GBK has no place for (no-break and typographic spaces) as
// spaces, and the invisible ones (zero width, byte order mark) left out.
std::string PlainBlanks(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size(); ++i) {
    const auto at = [&](size_t k) { return static_cast<unsigned char>(utf8[k]); };
    if (at(i) == 0xC2 && i + 1 < utf8.size() && at(i + 1) == 0xA0) {  // U+00A0
      out += ' ';
      ++i;
      continue;
    }
    if (at(i) == 0xE2 && i + 2 < utf8.size() && at(i + 1) == 0x80) {
      const unsigned char t = at(i + 2);
      if (t <= 0x8A || t == 0xAF) {  // U+2000-U+200A, U+202F
        out += ' ';
        i += 2;
        continue;
      }
      if (t == 0x8B) {  // U+200B
        i += 2;
        continue;
      }
    }
    if (at(i) == 0xEF && i + 2 < utf8.size() && at(i + 1) == 0xBB && at(i + 2) == 0xBF) {
      i += 2;  // U+FEFF
      continue;
    }
    out += utf8[i];
  }
  return out;
}

// A phone's text as GBK, trimmed; false when it is not UTF-8, has no GBK form, holds a
// control byte or is too long.
bool PhoneText(std::string_view utf8, std::string& gbk) {
  if (!text::IsValidUtf8(utf8) || !text::Utf8ToGbk(PlainBlanks(utf8), gbk)) return false;
  gbk = text::Trim(gbk);
  if (gbk.size() > kMaxFieldBytes) return false;
  for (unsigned char c : gbk)
    if (c < 0x20 || c == 0x7f) return false;
  return true;
}

}  // namespace

std::string LookupText(TLookup answer, uint64_t number) {
  switch (answer) {
    case TLookup::OnList:
      return text::G("你在名单中（第") + std::to_string(number) + text::G("行）");
    case TLookup::NotOnList:
      return text::G("不在名单中：名单中没有这个号码");
    case TLookup::NameMismatch:
      return AnswerText(TAnswer::NameMismatch);
    case TLookup::Empty:
      return AnswerText(TAnswer::Empty);
    case TLookup::BadText:
      return AnswerText(TAnswer::BadText);
    case TLookup::TooMany:
      return AnswerText(TAnswer::TooMany);
    case TLookup::NoList:
      return text::G("名单查询尚未开放");
  }
  return {};
}

std::string LockText(const TCheckinLock& lock) {
  return (lock.IsId ? text::G("号码 ") : text::G("地址 ")) + lock.Key + text::G("（还剩 ") +
         std::to_string(lock.SecondsLeft) + text::G(" 秒）");
}

TCheckinDesk::TCheckinDesk() : m_steadyMs(SteadyMs), m_wallTime(LocalTime) {}

TCheckinDesk::~TCheckinDesk() = default;

void TCheckinDesk::SetClock(std::function<int64_t()> steadyMs,
                            std::function<std::string()> wallTime) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_steadyMs = std::move(steadyMs);
  m_wallTime = std::move(wallTime);
}

bool TCheckinDesk::Open(const TCheckinTask& task, std::string& error) {
  TCheckinFile file;
  if (!ReadCheckinFile(task.FilePath, file, error)) return false;
  if (file.WholeBytes > 0 && file.TaskId != task.TaskId) {
    error = text::G("签到记录文件") + task.FilePath + text::G("属于另一个抽奖任务，无法继续签到。");
    return false;
  }
  // Built before the lock: the phones go on being answered meanwhile.
  auto tree = std::make_unique<listtree::TListTree>(task.Lines);
  std::lock_guard<std::mutex> lock(m_mutex);
  m_task = task;
  m_tree = std::move(tree);
  m_list.Load(task.TitleLine, task.Lines);
  m_writer.Continue(task.FilePath, task.TaskId, file.WholeBytes);
  m_in.clear();
  m_tokens.clear();
  m_tokenNames.clear();
  m_wall.clear();
  m_arrivals = 0;
  m_addressFailures.clear();
  m_idFailures.clear();
  m_addressLookups.clear();
  m_confirmed.clear();
  m_confirmedIds.clear();
  for (const TCheckinRecord& r : file.Records) {
    const int64_t line = m_list.LineOf(r.Id, r.Name);
    if (line < 0) {
      m_tokens.emplace(r.Token, r.Id);
      continue;
    }
    const size_t at = static_cast<size_t>(line);
    if (!m_in.insert(at).second) continue;
    m_tokens[r.Token] = m_list.IdOf(at);
    m_confirmed.insert(at);
    m_confirmedIds.insert(m_list.IdOf(at));
    m_wall.push_back(m_list.HasNameField() ? m_list.NameOf(at)
                                           : MaskId(r.Id, task.HideBegin, task.HideEnd));
    m_tokenNames[r.Token] = m_wall.back();
    ++m_arrivals;
    if (m_wall.size() > kWallLines) m_wall.pop_front();
  }
  m_open = true;
  PublishLocked();
  return true;
}

void TCheckinDesk::Close() {
  std::unique_lock<std::mutex> lock(m_mutex);
  m_open = false;
  // Check-ins already accepted are written and answered first: once Close returns, the
  // file holds every check-in there will be.
  m_commit.Drain(lock);
  PublishLocked();
}

bool TCheckinDesk::Reopen() {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_task.FilePath.empty()) return false;
  m_open = true;
  PublishLocked();
  return true;
}

bool TCheckinDesk::IsOpen() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_open;
}

bool TCheckinDesk::HasNameField() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_list.HasNameField();
}

bool TCheckinDesk::RepeatedId(std::string_view id) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_list.RepeatedId(id);
}

std::string TCheckinDesk::TaskName() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_task.TaskName;
}

std::string TCheckinDesk::IdTitle() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_list.IdTitle();
}

bool TCheckinDesk::NumericIds() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_list.NumericIds();
}

bool TCheckinDesk::Limited(Failures& failures, const std::string& key, int max, int64_t now) {
  auto it = failures.find(key);
  if (it == failures.end())
    return failures.size() >= kMaxAddresses && [&] {
      // Full: forget keys whose failures have all expired, then judge again.
      for (auto i = failures.begin(); i != failures.end();) {
        if (i->second.empty() || now - i->second.back() >= kFailureWindowMs)
          i = failures.erase(i);
        else
          ++i;
      }
      return failures.size() >= kMaxAddresses;
    }();
  std::deque<int64_t>& times = it->second;
  while (!times.empty() && now - times.front() >= kFailureWindowMs) times.pop_front();
  return static_cast<int>(times.size()) >= max;
}

void TCheckinDesk::CountFailure(Failures& failures, const std::string& key, int64_t now) {
  if (failures.size() >= kMaxAddresses && !failures.count(key)) return;
  failures[key].push_back(now);
}

std::vector<TCheckinLock> TCheckinDesk::Locks() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  const int64_t now = m_steadyMs();
  std::vector<TCheckinLock> out;
  const auto collect = [&](std::vector<TCheckinLock>& some, const Failures& failures, int max,
                           bool isId) {
    for (const auto& [key, times] : failures) {
      // Locked while `max` failures stay in the window: until the oldest of them expires.
      size_t live = 0;
      while (live < times.size() && now - times[live] >= kFailureWindowMs) ++live;
      if (static_cast<int>(times.size() - live) < max) continue;
      const int64_t until = times[times.size() - static_cast<size_t>(max)] + kFailureWindowMs;
      some.push_back({key, isId, (until - now + 999) / 1000});
    }
  };
  // By key; an address locked for its failures and for its lookups is one lock, the longer.
  const auto sorted = [&](std::vector<TCheckinLock>& some) {
    std::sort(some.begin(), some.end(), [](const TCheckinLock& a, const TCheckinLock& b) {
      return a.Key != b.Key ? a.Key < b.Key : a.SecondsLeft > b.SecondsLeft;
    });
    const auto sameKey = [](const TCheckinLock& a, const TCheckinLock& b) {
      return a.Key == b.Key;
    };
    some.erase(std::unique(some.begin(), some.end(), sameKey), some.end());
    out.insert(out.end(), some.begin(), some.end());
  };
  std::vector<TCheckinLock> ids, addresses;
  collect(ids, m_idFailures, kMaxIdFailures, true);
  collect(addresses, m_addressFailures, kMaxAddressFailures, false);
  collect(addresses, m_addressLookups, kMaxAddressLookups, false);
  sorted(ids);
  sorted(addresses);
  return out;
}

void TCheckinDesk::Lift(const std::string& key, bool isId) {
  std::lock_guard<std::mutex> lock(m_mutex);
  (isId ? m_idFailures : m_addressFailures).erase(key);
  if (!isId) m_addressLookups.erase(key);
}

TCheckinResult TCheckinDesk::CheckIn(std::string_view address, std::string_view idUtf8,
                                     std::string_view nameUtf8) {
  TCheckinResult result;
  std::string id, name;
  const bool readable = PhoneText(idUtf8, id) && PhoneText(nameUtf8, name);
  std::unique_lock<std::mutex> lock(m_mutex);
  if (!m_open) return result;
  int64_t line = -1;
  result.Answer = MatchLocked(std::string(address), readable, id, name, true, m_steadyMs(), line);
  if (result.Answer != TAnswer::CheckedIn) return result;
  const std::string listId = m_list.IdOf(static_cast<size_t>(line));
  TDrawSecret secret{};
  std::string ignored;
  if (!SystemSecret(secret, ignored)) {
    result.Answer = TAnswer::NotSaved;
    return result;
  }
  const size_t at = static_cast<size_t>(line);
  const std::string token = SecretHex(secret).substr(0, 32);
  const std::string listName = m_list.NameOf(at);
  m_in.insert(at);
  const std::string lines = FormatCheckinRecord(
      {listId, m_wallTime(), token, m_list.SharedId(listId) ? listName : std::string()});
  Queued queued{at, listId,
                listName.empty() ? MaskId(listId, m_task.HideBegin, m_task.HideEnd) : listName,
                token};
  const bool ok = m_commit.Commit(
      lock, lines, std::move(queued),
      [this](const std::string& batch, std::string& error) {
        return m_writer.Append(batch, error);
      },
      [this](std::vector<Queued>& batch, bool written) {
        for (Queued& q : batch) {
          if (!written) {
            m_in.erase(q.line);
            continue;
          }
          m_tokens[q.token] = q.id;
          m_tokenNames[q.token] = q.wallName;
          m_confirmed.insert(q.line);
          m_confirmedIds.insert(q.id);
          m_wall.push_back(q.wallName);
          ++m_arrivals;
          if (m_wall.size() > kWallLines) m_wall.pop_front();
        }
        PublishLocked();
      });
  if (!ok) {
    result.Answer = TAnswer::NotSaved;
    return result;
  }
  result.Name = listName;
  result.Token = token;
  result.Proof = ProofLocked(at);
  return result;
}

TAnswer TCheckinDesk::MatchLocked(const std::string& from, bool readable, const std::string& id,
                                  const std::string& name, bool checkingIn, int64_t now,
                                  int64_t& line) {
  line = -1;
  if (Limited(m_addressFailures, from, kMaxAddressFailures, now)) return TAnswer::TooMany;
  if (!readable) return TAnswer::BadText;
  TAnswer answer = m_list.Match(id, name, line);
  // An attempt that names an id of the list counts against that id too.
  const bool idKnown = line >= 0;
  const std::string listId = idKnown ? m_list.IdOf(static_cast<size_t>(line)) : std::string();
  if (idKnown && Limited(m_idFailures, listId, kMaxIdFailures, now)) return TAnswer::TooMany;
  if (checkingIn && answer == TAnswer::CheckedIn && m_in.count(static_cast<size_t>(line)))
    answer = TAnswer::AlreadyIn;
  if (answer != TAnswer::CheckedIn && IsFailure(answer)) {
    CountFailure(m_addressFailures, from, now);
    if (idKnown) CountFailure(m_idFailures, listId, now);
  }
  return answer;
}

TLineProof TCheckinDesk::ProofLocked(size_t line) const {
  TLineProof p;
  if (!m_tree || line >= m_tree->Count()) return p;
  p.Number = line + 1;
  p.Line = m_list.Line(line);
  p.Proof = m_tree->ProofText(p.Number);
  p.Root = m_tree->RootHex();
  return p;
}

TLookupResult TCheckinDesk::Lookup(std::string_view address, std::string_view idUtf8,
                                   std::string_view nameUtf8) {
  TLookupResult result;
  std::string id, name;
  const bool readable = PhoneText(idUtf8, id) && PhoneText(nameUtf8, name);
  std::lock_guard<std::mutex> lock(m_mutex);
  if (!m_tree) return result;
  const std::string from(address);
  const int64_t now = m_steadyMs();
  if (Limited(m_addressLookups, from, kMaxAddressLookups, now)) {
    result.Answer = TLookup::TooMany;
    return result;
  }
  int64_t line = -1;
  const TAnswer answer = MatchLocked(from, readable, id, name, false, now, line);
  switch (answer) {
    case TAnswer::CheckedIn:
      result.Answer = TLookup::OnList;
      result.Proof = ProofLocked(static_cast<size_t>(line));
      break;
    case TAnswer::NotOnList:
      result.Answer = TLookup::NotOnList;
      break;
    case TAnswer::NameMismatch:
      result.Answer = TLookup::NameMismatch;
      break;
    case TAnswer::Empty:
      result.Answer = TLookup::Empty;
      break;
    case TAnswer::BadText:
      result.Answer = TLookup::BadText;
      break;
    default:
      result.Answer = TLookup::TooMany;
      break;
  }
  if (result.Answer != TLookup::Empty && result.Answer != TLookup::TooMany)
    CountFailure(m_addressLookups, from, now);
  return result;
}

void TCheckinDesk::PublishLocked() {
  std::lock_guard<std::mutex> view(m_viewMutex);
  m_view.Open = m_open;
  m_view.CheckedIn = m_confirmed.size();
  m_view.CheckedInIds = m_confirmedIds.size();
  m_view.Total = m_list.Count();
  m_view.Latest.assign(m_wall.begin(), m_wall.end());
  m_view.Arrivals = m_arrivals;
  ++m_view.Generation;
}

TCheckinView TCheckinDesk::View() const {
  std::lock_guard<std::mutex> view(m_viewMutex);
  return m_view;
}

std::vector<std::string> TCheckinDesk::CheckedInIds() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  std::set<std::string> ids;
  for (size_t line : m_confirmed) ids.insert(m_list.IdOf(line));
  return {ids.begin(), ids.end()};
}

std::string TCheckinDesk::CheckedInAs(std::string_view token) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  const auto it = m_tokenNames.find(std::string(token));
  return it == m_tokenNames.end() ? std::string() : it->second;
}

std::string TCheckinDesk::IdOfToken(std::string_view token) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  const auto it = m_tokens.find(std::string(token));
  return it == m_tokens.end() ? std::string() : it->second;
}

void TCheckinDesk::SetBoard(TWinnersBoard board) {
  std::lock_guard<std::mutex> lock(m_boardMutex);
  m_board = std::move(board);
}

void TCheckinDesk::ReadBoard(std::string_view token, std::vector<TBoardLine>& lines,
                             std::string& wonItem) const {
  std::string id;
  if (!token.empty()) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_tokens.find(std::string(token));
    if (it != m_tokens.end()) id = it->second;
  }
  std::lock_guard<std::mutex> lock(m_boardMutex);
  lines = m_board.Lines;
  wonItem.clear();
  if (id.empty()) return;
  const auto won = m_board.WonBy.find(id);
  if (won != m_board.WonBy.end()) wonItem = won->second;
}

}  // namespace checkin
