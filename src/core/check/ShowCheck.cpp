#include "core/check/ShowCheck.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <unordered_set>

#include "Version.h"
#include "core/config/TaskSounds.h"
#include "core/draw/CandidatePool.h"
#include "core/draw/DrawTexts.h"
#include "core/presets/PresetList.h"
#include "core/records/DrawDataFile.h"
#include "core/records/FileHash.h"
#include "core/records/Loaders.h"
#include "core/records/WinnerFiles.h"
#include "core/records/WinnerPhotos.h"
#include "core/text/FileWrite.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"

namespace check {

namespace fs = std::filesystem;
using text::G;

namespace {

std::string Num(int64_t n) { return std::to_string(n); }

// Whole megabytes, rounded up; from 10 GB on in gigabytes, rounded down.
std::string MiB(int64_t bytes) {
  const int64_t mb = (bytes + (1 << 20) - 1) >> 20;
  return mb >= 10240 ? Num(bytes >> 30) + " GB" : Num(mb) + " MB";
}

std::string Id(std::string_view line) {
  const size_t blank = line.find(' ');
  return std::string(blank == std::string_view::npos ? line : line.substr(0, blank));
}

std::string ReadFingerprint(int32_t taskId) {
  std::string bytes, error;
  if (!files::ReadWholeFile(ListFingerprintPath(taskId), bytes, error)) return {};
  return text::Trim(bytes);
}

// The list: there, readable as the draw reads it, and the file the import wrote.
TFinding CheckList(const TLuckTask& task, int32_t luckTotal, const std::string& dataPath,
                   TArraySring& lines, std::string& title, std::string& fingerprint) {
  TFinding f{TMark::Warning, G("名单"), {}};
  if (dataPath.empty() || !paths::FileExists(dataPath)) {
    f.Text = G("名单未导入，请在抽奖配置中导入名单");
    return f;
  }
  int32_t idMax = 0;
  std::string error;
  if (!ReadDrawDataFile(dataPath, luckTotal, task.LuckAgain, lines, idMax, title, error)) {
    f.Text = G("名单不能用于抽奖：") + error;
    return f;
  }
  if (!Sha256File(dataPath, fingerprint, error)) {
    f.Text = G("名单无法读取：") + error;
    return f;
  }
  const std::string recorded = ReadFingerprint(task.TaskId);
  if (recorded.empty()) {
    f.Text = G("名单已导入（") + Num(static_cast<int64_t>(lines.size())) +
             G("人），但没有导入时的指纹，无法确认未被改动；请重新导入");
    return f;
  }
  if (recorded != fingerprint) {
    f.Text = G("名单文件在导入后被改动过（指纹与导入时不符），请重新导入名单");
    return f;
  }
  f.Mark = TMark::Ok;
  f.Text = G("名单已导入，共") + Num(static_cast<int64_t>(lines.size())) +
           G("人，导入后未被改动（指纹 ") + fingerprint.substr(0, 12) + G("）");
  return f;
}

TFinding CheckPresets(const TLuckTask& task, const TArrLuckItem& items,
                      const std::unordered_set<std::string>& ids, bool listRead) {
  TFinding f{TMark::Ok, G("预设名单"), {}};
  int64_t entries = 0;
  std::unordered_set<std::string> seen;
  std::vector<std::string> problems;
  for (const TLuckItem& it : items) {
    std::vector<std::string> lines;
    std::string error;
    if (!ReadPresetLines(task.TaskId, it.ItemId, lines, error)) {
      problems.push_back(G("奖项[") + it.ItemName + G("]的预设名单无法读取：") + error);
      continue;
    }
    entries += static_cast<int64_t>(lines.size());
    if (static_cast<int64_t>(lines.size()) > std::max<int64_t>(it.LuckCount, 1))
      problems.push_back(G("奖项[") + it.ItemName + G("]的预设名单有") +
                         Num(static_cast<int64_t>(lines.size())) + G("人，多于中奖人数") +
                         Num(it.LuckCount));
    for (const std::string& line : lines) {
      const std::string id = PresetId(line);
      if (listRead && ids.count(id) == 0)
        problems.push_back(G("奖项[") + it.ItemName + G("]的预设[") + id + G("]不在名单中"));
      else if (!seen.insert(id).second)
        problems.push_back(G("预设[") + id + G("]出现了不止一次"));
    }
  }
  if (!problems.empty()) {
    f.Mark = TMark::Warning;
    f.Text = problems.front();
    if (problems.size() > 1)
      f.Text += G("（另有") + Num(static_cast<int64_t>(problems.size() - 1)) + G("处）");
    return f;
  }
  if (entries == 0) {
    f.Mark = TMark::NotUsed;
    f.Text = G("未设预设名单");
    return f;
  }
  f.Text = G("预设名单有效，共") + Num(entries) + G("人");
  return f;
}

TFinding CheckPhotos(int32_t taskId, const TArraySring& lines) {
  TFinding f{TMark::NotUsed, G("照片"), G("未导入照片")};
  std::vector<std::string> names;
  std::string error;
  const std::string dir = photos::PhotoDir(taskId);
  // No folder of photos: the task shows none.
  if (!photos::ListFolder(dir, names, error) || names.empty()) return f;
  std::unordered_set<std::string> have;
  for (const std::string& n : names) {
    std::string id;
    if (photos::PictureId(n, id)) have.insert(std::move(id));
  }
  // Whose photo is missing, so that it can be fetched before the show: the first few by
  // their lines (id and name), and how many there are.
  constexpr size_t kNamed = 3;
  int64_t found = 0;
  std::vector<std::string> missing;
  for (const std::string& line : lines) {
    if (have.count(Id(line))) {
      ++found;
    } else if (missing.size() < kNamed) {
      const std::vector<std::string> fields = text::SplitFields(line);
      missing.push_back(fields.size() > 1 ? fields[0] + " " + fields[1] : Id(line));
    }
  }
  const int64_t all = static_cast<int64_t>(lines.size());
  f.Mark = found == all ? TMark::Ok : TMark::Warning;
  f.Text = G("找到照片：") + Num(found) + G("/") + Num(all) + G("人");
  if (found < all) {
    f.Text += G("，缺照片：");
    for (size_t i = 0; i < missing.size(); ++i) f.Text += (i ? G("、") : "") + missing[i];
    if (all - found > static_cast<int64_t>(missing.size()))
      f.Text += G("等") + Num(all - found) + G("人");
    f.Text += G("，中奖时不显示照片");
  }
  return f;
}

// The rules finding: the rules' words item by item with the excluded tasks' winners so far.
TFinding CheckRules(const TLuckTask& task, const TArrLuckItem& items, const TArraySring& lines,
                    const std::string& title) {
  TFinding f{TMark::Warning, G("抽奖规则"), {}};
  TRulesWords words;
  if (!RulesWords(task, items, lines, title, words, f.Text)) return f;
  if (words.None) return {TMark::NotUsed, f.Topic, NoRulesText()};
  std::string said;
  for (size_t i = 0; i < items.size() && i < words.Items.size(); ++i) {
    if (!words.Items[i].empty())
      said += (said.empty() ? std::string() : G("；")) + G("奖项[") + items[i].ItemName + G("]") +
              words.Items[i];
  }
  f.Mark = TMark::Ok;
  f.Text = (said.empty() ? G("抽奖规则不涉及任何奖项") : said) + words.Counts;
  return f;
}

// mp3 (an ID3 tag or an MPEG frame), wma (the ASF header) or wav, by the first bytes.
bool LooksLikeMusic(std::string_view b) {
  if (b.size() >= 3 && b.substr(0, 3) == "ID3") return true;
  if (b.size() >= 2 && static_cast<unsigned char>(b[0]) == 0xFF &&
      (static_cast<unsigned char>(b[1]) & 0xE0) == 0xE0)
    return true;
  static const unsigned char kAsf[] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11};
  if (b.size() >= 8 && std::equal(kAsf, kAsf + 8, reinterpret_cast<const unsigned char*>(b.data())))
    return true;
  return b.size() >= 12 && b.substr(0, 4) == "RIFF" && b.substr(8, 4) == "WAVE";
}

// What is wrong with the sound file `path` (GBK, not empty), by its first bytes: None when it
// opens and is mp3, wma or wav.
enum class TSoundFault { None, Missing, Unreadable, NotMusic };
TSoundFault SoundFault(const std::string& path) {
  if (!paths::FileExists(path)) return TSoundFault::Missing;
  files::ReadHandle h = files::OpenForReading(path);
  if (!h) return TSoundFault::Unreadable;
  char buf[16];
  const size_t n = std::fread(buf, 1, sizeof buf, h.get());
  return LooksLikeMusic(std::string_view(buf, n)) ? TSoundFault::None : TSoundFault::NotMusic;
}

TFinding CheckMusic(const std::string& path) {
  TFinding f{TMark::NotUsed, G("背景音乐"), G("未设背景音乐")};
  if (text::Trim(path).empty()) return f;
  f.Mark = TMark::Warning;
  switch (SoundFault(path)) {
    case TSoundFault::Missing:
      f.Text = G("背景音乐文件不存在：") + path;
      break;
    case TSoundFault::Unreadable:
      f.Text = G("背景音乐文件无法打开：") + path;
      break;
    case TSoundFault::NotMusic:
      f.Text = G("背景音乐文件不是mp3、wma或wav音乐：") + path;
      break;
    case TSoundFault::None:
      f.Mark = TMark::Ok;
      f.Text = G("背景音乐可以打开：") + path;
      break;
  }
  return f;
}

}  // namespace

TFinding SoundsFinding(const TSoundSettings& sounds, const TArrLuckItem& items) {
  TFinding f{TMark::NotUsed, G("音效"), G("未设其他音效")};
  std::vector<std::pair<std::string, std::string>> files;  // name, path
  for (TSoundCue cue :
       {TSoundCue::Hit, TSoundCue::Fanfare, TSoundCue::GrandFanfare, TSoundCue::Applause}) {
    const TCueSound& s = sounds.Of(cue);
    if (!s.builtIn && !text::Trim(s.path).empty()) files.emplace_back(CueName(cue), s.path);
  }
  for (const TLuckItem& it : items) {
    const auto piece = sounds.items.find(it.ItemId);
    if (piece != sounds.items.end() && !text::Trim(piece->second.path).empty())
      files.emplace_back(G("奖项[") + it.ItemName + G("]的音乐"), piece->second.path);
  }
  if (files.empty()) return f;
  std::string faults, fine;
  for (const auto& [name, path] : files) {
    std::string why;
    switch (SoundFault(path)) {
      case TSoundFault::Missing:
        why = G("文件不存在：");
        break;
      case TSoundFault::Unreadable:
        why = G("文件无法打开：");
        break;
      case TSoundFault::NotMusic:
        why = G("文件不是mp3、wma或wav音乐：");
        break;
      case TSoundFault::None:
        fine += (fine.empty() ? std::string() : G("、")) + name;
        continue;
    }
    faults += (faults.empty() ? std::string() : G("；")) + name + why + path;
  }
  if (faults.empty()) {
    f.Mark = TMark::Ok;
    f.Text = G("音效都可以打开：") + fine;
  } else {
    f.Mark = TMark::Warning;
    f.Text = faults + G("。抽奖照常进行，这些音效不响");
  }
  return f;
}

std::string NoRulesText() { return G("未设抽奖规则，名单中每个人都可以中奖"); }

bool RulesWords(const TLuckTask& task, const TArrLuckItem& items, const TArraySring& lines,
                const std::string& title, TRulesWords& out, std::string& error) {
  out = TRulesWords();
  std::string stored;
  TTaskRules rules;
  if (!LoadRulesText(task.TaskId, stored, error) || !ParseRules(stored, rules, error)) {
    error = G("抽奖规则无法读取：") + error;
    return false;
  }
  if (rules.Empty()) {
    out.None = true;
    return true;
  }
  TPoolRules pool{rules, title, {}, false, {}};
  std::vector<std::string> names;
  for (int32_t other : rules.ExcludeTasks) {
    std::vector<std::string> ids;
    TLuckTask named;
    std::string ignored;
    const std::string name = LoadLuckTask(other, named, ignored) && !named.TaskName.empty()
                                 ? named.TaskName
                                 : G("任务") + Num(other);
    names.push_back(name);
    if (!CurrentWinnerIds(other, ids, error)) {
      error = drawtext::ExcludedUnreadable(other, error);
      return false;
    }
    out.Counts += (out.Counts.empty() ? G("；") : G("，")) + G("[") + name + G("]目前有中奖者") +
                  Num(static_cast<int64_t>(ids.size())) + G("人");
    pool.ExcludedIds.insert(pool.ExcludedIds.end(), ids.begin(), ids.end());
  }
  std::sort(pool.ExcludedIds.begin(), pool.ExcludedIds.end());
  pool.ExcludedIds.erase(std::unique(pool.ExcludedIds.begin(), pool.ExcludedIds.end()),
                         pool.ExcludedIds.end());
  std::shared_ptr<const TRulesIndex> index;
  if (!lines.empty()) {
    index = IndexRules(lines, pool, error);
    if (!index) {
      error = G("抽奖规则不能用于本名单：") + error;
      return false;
    }
  }
  for (const TLuckItem& it : items) {
    const int64_t listed = index ? ListedCandidates(*index, it.ItemId) : 0;
    out.Items.push_back(drawtext::RulesLine(rules, it.ItemId, names, listed));
  }
  return true;
}

int64_t BytesNeeded(int64_t winners, int64_t longestLine) {
  // A winner file line and a journal record per winner, and the history's copy of both.
  const int64_t perWinner = (longestLine + 2) + 96;
  return std::max<int64_t>(int64_t{1} << 20, 2 * 2 * winners * perWinner);
}

TFinding DiskFinding(int64_t available, int64_t needed) {
  TFinding f{TMark::Ok, G("磁盘空间"), {}};
  if (available < 0) {
    f.Mark = TMark::Warning;
    f.Text = G("无法得知中奖文件所在磁盘的剩余空间");
  } else if (available < needed) {
    f.Mark = TMark::Warning;
    f.Text = G("磁盘剩余空间不足：只剩") + MiB(available) + G("，中奖名单和抽奖记录需要约") +
             MiB(needed) + G("，请先腾出空间");
  } else {
    f.Text = G("磁盘剩余") + MiB(available) + G("，足够保存中奖名单和抽奖记录");
  }
  return f;
}

bool CheckShow(int32_t taskId, TShowCheck& out, std::string& error) {
  out = TShowCheck();
  TLuckTask task;
  if (!LoadLuckTask(taskId, task, error)) return false;
  if (task.TaskId != taskId) {
    error = G("抽奖项目不存在");
    return false;
  }
  TArrLuckItem items;
  int32_t count = 0, sum = 0;
  if (!LoadLuckItems(taskId, items, count, sum, error)) return false;

  TArraySring lines;
  std::string title, fingerprint;
  const std::string dataPath = DrawDataFileOf(task);
  out.Findings.push_back(CheckList(task, sum, dataPath, lines, title, fingerprint));
  out.Candidates = static_cast<int64_t>(lines.size());
  std::unordered_set<std::string> ids;
  ids.reserve(lines.size());
  size_t longest = 0;
  for (const std::string& line : lines) {
    ids.insert(Id(line));
    longest = std::max(longest, line.size());
  }
  out.Findings.push_back(CheckPresets(task, items, ids, !lines.empty()));
  out.Findings.push_back(CheckRules(task, items, lines, title));
  out.Findings.push_back(CheckPhotos(taskId, lines));
  out.Findings.push_back(CheckMusic(task.MusicFilePath));
  TSoundSettings sounds;
  if (!config::LoadTaskSounds(task, sounds, error)) return false;
  const TFinding cues = SoundsFinding(sounds, items);
  if (cues.Mark != TMark::NotUsed) out.Findings.push_back(cues);

  std::error_code ec;
  fs::path where = paths::NativePath(paths::LuckFileDir());
  if (!fs::exists(where, ec)) where = paths::NativePath(paths::DataRoot());
  const fs::space_info space = fs::space(where, ec);
  const int64_t available = ec ? -1 : static_cast<int64_t>(space.available);
  out.Findings.push_back(DiskFinding(available, BytesNeeded(sum, static_cast<int64_t>(longest))));

  if (!LoadCheckinOnly(taskId, out.CheckinOnly, error)) return false;

  if (!text::Trim(task.MainImageName).empty())
    out.Pictures.push_back({G("背景图片"), {}, task.MainImageName});
  for (const TLuckItem& it : items) {
    if (!text::Trim(it.AwardImageName).empty())
      out.Pictures.push_back({G("奖品图片"), it.ItemName, it.AwardImageName});
  }
  return true;
}

TFinding PictureFinding(const TPictureToOpen& picture, bool exists, bool opened,
                        std::string_view reason) {
  TFinding f{TMark::Ok, picture.Topic, {}};
  const std::string what =
      picture.Name.empty() ? picture.Topic : G("奖项[") + picture.Name + G("]的") + picture.Topic;
  if (!exists) {
    f.Mark = TMark::Warning;
    f.Text = what + G("不存在：") + picture.Path;
  } else if (!opened) {
    f.Mark = TMark::Warning;
    f.Text = what + G("无法打开（") + std::string(reason) + G("）：") + picture.Path;
  } else {
    f.Text = what + G("可以打开");
  }
  return f;
}

TFinding FontFinding(const std::vector<std::string>& missing) {
  TFinding f{TMark::Ok, G("字体"), G("舞台字体已安装")};
  if (missing.empty()) return f;
  f.Mark = TMark::Warning;
  f.Text = G("缺少字体：");
  for (size_t i = 0; i < missing.size(); ++i) f.Text += (i ? G("、") : std::string()) + missing[i];
  f.Text += G("，抽奖画面的中文会用其他字体显示");
  return f;
}

TFinding ScreenFinding(int screens, int drawScreen, int width, int height) {
  TFinding f{TMark::Ok, G("屏幕"), {}};
  if (screens < 1) {
    f.Mark = TMark::Warning;
    f.Text = G("没有找到屏幕");
    return f;
  }
  f.Text = G("找到") + Num(screens) + G("块屏幕，抽奖画面在第") + Num(drawScreen) + G("块（") +
           Num(width) + "x" + Num(height) + G("）");
  // One screen may well be a projector that mirrors the laptop: said, not warned.
  if (screens == 1) f.Text += G("；只有这一块屏幕");
  return f;
}

TFinding CheckinFinding(bool listFixed, bool running, bool answered, std::string_view url,
                        int64_t checkedIn, int64_t total) {
  TFinding f{TMark::Warning, G("签到"), {}};
  if (listFixed) {
    const std::string over = G("签到已结束，名单已确定");
    f.Mark = running && !answered ? TMark::Warning : TMark::Ok;
    f.Text = !running ? over + G("；网页服务未启动")
             : answered
                 ? over + G("；网页应答正常：") + std::string(url)
                 : over + G("；网页没有应答：") + std::string(url) + G("，请检查网络和防火墙");
  } else if (!running) {
    f.Text = G("本项目只抽取已签到人员，但签到尚未开始：请先开始签到");
  } else if (!answered) {
    f.Text = G("签到网页没有应答：") + std::string(url) + G("，请检查网络和防火墙");
  } else {
    f.Mark = TMark::Ok;
    f.Text = G("签到网页应答正常：") + std::string(url) + G("，已签到") + Num(checkedIn) + " / " +
             Num(total);
  }
  return f;
}

TFinding FirewallFinding(bool blocked, std::string_view profiles) {
  const std::string where = G("（") + std::string(profiles) + G("）");
  if (!blocked) return {TMark::Ok, G("防火墙"), G("Windows防火墙允许手机连接本程序") + where};
  return {TMark::Warning, G("防火墙"),
          G("Windows防火墙会挡住手机签到、主持人遥控和领奖核销") + where +
              G("：请把这台电脑连接的网络设为专用网络，或在“允许应用通过Windows防火墙”中允许") +
              G(kProductName)};
}

}  // namespace check
