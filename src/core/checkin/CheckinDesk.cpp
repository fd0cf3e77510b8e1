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

// A phone's text as GBK, trimmed; false when it is not UTF-8, has no GBK form, holds a
// control byte or is too long.
bool PhoneText(std::string_view utf8, std::string& gbk) {
  if (!text::IsValidUtf8(utf8) || !text::Utf8ToGbk(utf8, gbk)) return false;
  gbk = text::Trim(gbk);
  if (gbk.size() > kMaxFieldBytes) return false;
  for (unsigned char c : gbk)
    if (c < 0x20 || c == 0x7f) return false;
  return true;
}

}  // namespace

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
  std::lock_guard<std::mutex> lock(m_mutex);
  m_task = task;
  m_list.Load(task.TitleLine, task.Lines);
  m_writer.Continue(task.FilePath, task.TaskId, file.WholeBytes);
  m_in.clear();
  m_tokens.clear();
  m_wall.clear();
  m_arrivals = 0;
  m_failures.clear();
  m_confirmed.clear();
  for (const TCheckinRecord& r : file.Records) {
    if (!m_in.insert(r.Id).second) continue;
    m_tokens[r.Token] = r.Id;
    const int64_t line = m_list.LineOf(r.Id);
    if (line < 0) continue;
    m_confirmed.insert(r.Id);
    m_wall.push_back(m_list.HasNameField() ? m_list.NameOf(static_cast<size_t>(line))
                                           : MaskId(r.Id, task.HideBegin, task.HideEnd));
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
  m_flushed.wait(lock, [this] { return !m_flushing && m_queued.empty(); });
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

std::string TCheckinDesk::TaskName() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_task.TaskName;
}

bool TCheckinDesk::Limited(const std::string& address, int64_t now) {
  auto it = m_failures.find(address);
  if (it == m_failures.end())
    return m_failures.size() >= kMaxAddresses && [&] {
      // Full: forget addresses whose failures have all expired, then judge again.
      for (auto i = m_failures.begin(); i != m_failures.end();) {
        if (i->second.empty() || now - i->second.back() >= kFailureWindowMs)
          i = m_failures.erase(i);
        else
          ++i;
      }
      return m_failures.size() >= kMaxAddresses;
    }();
  std::deque<int64_t>& times = it->second;
  while (!times.empty() && now - times.front() >= kFailureWindowMs) times.pop_front();
  return static_cast<int>(times.size()) >= kMaxFailures;
}

void TCheckinDesk::CountFailure(const std::string& address, int64_t now) {
  if (m_failures.size() >= kMaxAddresses && !m_failures.count(address)) return;
  m_failures[address].push_back(now);
}

TCheckinResult TCheckinDesk::CheckIn(std::string_view address, std::string_view idUtf8,
                                     std::string_view nameUtf8) {
  TCheckinResult result;
  std::string id, name;
  const bool readable = PhoneText(idUtf8, id) && PhoneText(nameUtf8, name);
  std::unique_lock<std::mutex> lock(m_mutex);
  if (!m_open) return result;
  const std::string from(address);
  const int64_t now = m_steadyMs();
  if (Limited(from, now)) {
    result.Answer = TAnswer::TooMany;
    return result;
  }
  if (!readable) {
    result.Answer = TAnswer::BadText;
    return result;
  }
  int64_t line = -1;
  result.Answer = m_list.Match(id, name, line);
  if (result.Answer == TAnswer::CheckedIn && m_in.count(id)) result.Answer = TAnswer::AlreadyIn;
  if (result.Answer != TAnswer::CheckedIn) {
    if (IsFailure(result.Answer)) CountFailure(from, now);
    return result;
  }
  TDrawSecret secret{};
  std::string ignored;
  if (!SystemSecret(secret, ignored)) {
    result.Answer = TAnswer::NotSaved;
    return result;
  }
  const std::string token = SecretHex(secret).substr(0, 32);
  const std::string listName = m_list.NameOf(static_cast<size_t>(line));
  m_in.insert(id);
  m_pending += FormatCheckinRecord({id, m_wallTime(), token});
  auto outcome = std::make_shared<Outcome>();
  m_queued.push_back({id,
                      listName.empty() ? MaskId(id, m_task.HideBegin, m_task.HideEnd) : listName,
                      token, outcome});
  // Group commit: whoever finds no write running writes everything queued so far in one
  // flushed append; the others wait for theirs to be on disk.
  while (!outcome->done) {
    if (m_flushing) {
      m_flushed.wait(lock);
      continue;
    }
    m_flushing = true;
    std::string lines;
    lines.swap(m_pending);
    std::vector<Queued> batch;
    batch.swap(m_queued);
    lock.unlock();
    std::string error;
    const bool ok = m_writer.Append(lines, error);
    lock.lock();
    m_flushing = false;
    for (Queued& q : batch) {
      q.outcome->done = true;
      q.outcome->ok = ok;
      if (!ok) {
        m_in.erase(q.id);
        continue;
      }
      m_tokens[q.token] = q.id;
      m_confirmed.insert(q.id);
      m_wall.push_back(q.wallName);
      ++m_arrivals;
      if (m_wall.size() > kWallLines) m_wall.pop_front();
    }
    PublishLocked();
    m_flushed.notify_all();
  }
  if (!outcome->ok) {
    result.Answer = TAnswer::NotSaved;
    return result;
  }
  result.Name = listName;
  result.Token = token;
  return result;
}

void TCheckinDesk::PublishLocked() {
  std::lock_guard<std::mutex> view(m_viewMutex);
  m_view.Open = m_open;
  m_view.CheckedIn = m_confirmed.size();
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
  return {m_confirmed.begin(), m_confirmed.end()};
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
