#include "core/draw/Console.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <map>
#include <set>
#include <system_error>
#include <utility>

#include "core/draw/DataDraw.h"
#include "core/draw/StageView.h"
#include "core/text/Format.h"
#include "core/text/Gbk.h"

#ifdef _WIN32
#include <windows.h>
#endif

using text::G;

namespace console {

namespace {

std::string FirstLine(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return line;
}

std::string Gigabytes(int64_t bytes) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f", static_cast<double>(bytes) / (1024.0 * 1024 * 1024));
  return buf;
}

}  // namespace

void ProbeMachine(const std::filesystem::path& dataDir, TRoom& room,
                  const std::filesystem::path& powerSupply) {
  std::error_code ec;
  const std::filesystem::space_info space = std::filesystem::space(dataDir, ec);
  if (!ec && space.available != static_cast<std::uintmax_t>(-1))
    room.freeBytes = static_cast<int64_t>(space.available);
#ifdef _WIN32
  (void)powerSupply;
  SYSTEM_POWER_STATUS power;
  if (GetSystemPowerStatus(&power) && power.BatteryFlag != 128 && power.BatteryFlag != 255) {
    if (power.BatteryLifePercent <= 100) room.batteryPercent = power.BatteryLifePercent;
    room.onBattery = power.ACLineStatus == 0;
  }
#else
  // Each supply is a folder: a battery says its capacity and whether it discharges; a mains
  // supply whether it is online.
  bool mainsKnown = false, mainsOnline = false, discharging = false;
  for (const auto& entry : std::filesystem::directory_iterator(powerSupply, ec)) {
    const std::string type = FirstLine(entry.path() / "type");
    if (type == "Battery") {
      if (FirstLine(entry.path() / "present") == "0") continue;
      const std::string capacity = FirstLine(entry.path() / "capacity");
      int percent = -1;
      if (std::sscanf(capacity.c_str(), "%d", &percent) == 1 && percent >= 0 && percent <= 100)
        room.batteryPercent = percent;
      if (FirstLine(entry.path() / "status") == "Discharging") discharging = true;
    } else if (type == "Mains") {
      mainsKnown = true;
      mainsOnline = mainsOnline || FirstLine(entry.path() / "online") == "1";
    }
  }
  room.onBattery = room.batteryPercent >= 0 && (mainsKnown ? !mainsOnline : discharging);
#endif
}

TFeed::TFeed(std::function<std::string()> clock) : m_clock(std::move(clock)) {
  if (!m_clock) m_clock = [] { return text::LocalTime(std::time(nullptr), "%H:%M:%S"); };
}

void TFeed::Revealed(const TRevealedList& list) {
  // A winner's line the hall had not seen is the reveal's; a resumed draw's whole list,
  // told first, is the draw so far and no batch of its own.
  std::set<std::pair<int32_t, std::string>> seen;
  for (const TRevealedLine& l : m_list.lines)
    if (l.place >= 0) seen.insert({l.place, l.text});
  // A list told during the opening is a resumed draw's: what was drawn before.
  const bool resumed = !m_state.open || m_state.phase == TStagePhase::Opening;
  std::vector<TBatch> added;
  for (const TRevealedLine& l : list.lines) {
    if (l.place < 0 || seen.count({l.place, l.text})) continue;
    if (added.empty() || added.back().item != l.item) added.push_back({m_clock(), l.item, {}});
    added.back().winners.push_back(l.text);
  }
  if (!resumed)
    for (TBatch& b : added) {
      m_batches.push_front(std::move(b));
      if (m_batches.size() > kBatches) m_batches.pop_back();
    }
  m_list = list;
  ++m_revision;
}

void TFeed::Moved(const TStageState& state) {
  if (state == m_state) return;
  m_state = state;
  ++m_revision;
}

std::string PhaseText(TStagePhase phase) {
  switch (phase) {
    case TStagePhase::Opening:
      return G("开场");
    case TStagePhase::Ready:
      return G("准备开始");
    case TStagePhase::Selecting:
      return G("抽取中");
    case TStagePhase::Rolling:
      return G("滚动中");
    case TStagePhase::Landing:
      return G("停止中");
    case TStagePhase::Revealed:
      return G("已揭晓");
    case TStagePhase::Choosing:
      return G("选择缺席者");
    case TStagePhase::Replacing:
      return G("替补滚动中");
    case TStagePhase::Summary:
      return G("全部中奖名单");
    case TStagePhase::Finished:
      return G("已全部抽完");
    case TStagePhase::Closed:
      break;
  }
  return G("已关闭");
}

std::string NextKeyText(const TStageState& s) {
  if (!s.open) return {};
  if (s.blanked) return G("投影已黑屏，不能开始抽奖　B：恢复投影");
  if (!s.prompt.empty()) return s.promptAsks ? G("回车：是　Esc：否") : G("回车：确定");
  const std::string absent = s.mayMarkAbsent ? G("　Q：标记缺席") : std::string();
  switch (s.phase) {
    case TStagePhase::Ready:
      return G("回车：开始抽奖　数字键：现场号码");
    case TStagePhase::Selecting:
      return G("正在抽取，请稍候");
    case TStagePhase::Rolling:
    case TStagePhase::Replacing:
      return G("回车：停止");
    case TStagePhase::Landing:
      return G("回车：立即揭晓");
    case TStagePhase::Revealed:
      if (s.grand) return G("回车：结束大奖展示") + absent;
      return G("回车：抽下一批") + absent + G("　B：黑屏");
    case TStagePhase::Choosing:
      return G("↑↓选择,数字键选本批第几名,回车确认,Esc取消");
    case TStagePhase::Finished:
      if (s.grand) return G("回车：结束大奖展示") + absent;
      return G("Esc：结束") + absent;
    case TStagePhase::Summary:
      return G("Esc：结束");
    case TStagePhase::Opening:
    case TStagePhase::Closed:
      break;
  }
  return G("请稍候");
}

std::vector<std::string> RoomLines(const TRoom& room, std::vector<std::string>& warnings) {
  std::vector<std::string> lines;
  if (room.checkins >= 0) lines.push_back(G("签到：") + std::to_string(room.checkins) + G("人"));
  if (room.claims >= 0) lines.push_back(G("已领奖：") + std::to_string(room.claims) + G("人"));
  lines.push_back(G("主持人手机：") + (room.hostPaired ? G("已配对") : G("未配对")));
  lines.push_back(G("领奖台：") + std::to_string(room.desks) + G("台已配对"));
  if (room.freeBytes >= 0) {
    lines.push_back(G("数据盘剩余：") + Gigabytes(room.freeBytes) + " GB");
    if (room.freeBytes < kLowDiskBytes)
      warnings.push_back(G("数据盘剩余空间不足") + Gigabytes(room.freeBytes) +
                         G(" GB，请腾出空间，以免中奖记录无法保存"));
  }
  if (room.batteryPercent >= 0) {
    lines.push_back(G("电池：") + std::to_string(room.batteryPercent) + "%" +
                    (room.onBattery ? G("（正在使用电池）") : G("（已接电源）")));
    if (room.onBattery)
      warnings.push_back(G("笔记本正在使用电池（剩余") + std::to_string(room.batteryPercent) +
                         G("%），请接上电源"));
  }
  return lines;
}

bool OverlayMayShow(const TStageState& s) {
  if (!s.open || s.grand) return false;
  return s.phase == TStagePhase::Ready || s.phase == TStagePhase::Revealed ||
         s.phase == TStagePhase::Finished;
}

TView ViewOf(const TFeed& feed, const TDataDraw& engine, const TRoom& given) {
  const TStageState& s = feed.State();
  TView v;
  v.task = s.task;
  v.phase = s.phase;
  v.phaseText = PhaseText(s.phase);
  v.nextKey = NextKeyText(s);
  v.blanked = s.blanked;
  v.note = s.note;
  v.prize = s.prize;
  if (s.phase == TStagePhase::Ready) v.audience = stageview::AudienceText(engine.AudienceNumber());
  const TArrLuckItem& items = engine.Session().Items;
  const int32_t cur = engine.CurItemIndex();
  for (size_t i = 0; i < items.size(); ++i) {
    const TLuckItem& it = items[i];
    v.items.push_back({it.ItemName, it.LuckCount, it.DrawnCount,
                       std::max(0, it.LuckCount - it.DrawnCount), static_cast<int32_t>(i) == cur});
  }
  if (s.open && cur >= 0 && static_cast<size_t>(cur) < items.size()) {
    v.mayWin = engine.Pool().MayWinCount(items[static_cast<size_t>(cur)].ItemId);
    v.mayWinText = G("可随机抽中[") + items[static_cast<size_t>(cur)].ItemName + G("]的还有") +
                   std::to_string(v.mayWin) + G("人");
  }
  v.batches.assign(feed.Batches().begin(), feed.Batches().end());
  TRoom room = given;
  // A draw of those checked in knows how many they are.
  if (room.checkins < 0 && engine.JournalHead().CheckinOnly)
    room.checkins = static_cast<int64_t>(engine.JournalHead().Present.size());
  v.room = RoomLines(room, v.warnings);
  return v;
}

}  // namespace console
