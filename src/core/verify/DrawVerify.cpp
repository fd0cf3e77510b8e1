#include "core/verify/DrawVerify.h"

#include <algorithm>
#include <filesystem>
#include <set>

#include "core/draw/DrawJournal.h"
#include "core/draw/DrawProof.h"
#include "core/import/Zip.h"
#include "core/records/DrawDataFile.h"
#include "core/records/FileHash.h"
#include "core/records/WinnerFiles.h"
#include "core/text/FileWrite.h"
#include "core/text/Gbk.h"
#include "core/text/LineReader.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"

using text::G;
namespace fs = std::filesystem;

namespace {

std::string Num(int64_t v) { return std::to_string(v); }

// The generator of the draw, written out again so the check shares no code with the engine.
struct Lcg {
  uint32_t state = 0;
  int32_t Random(int32_t n) {
    state = state * 134775813u + 1u;
    return static_cast<int32_t>((static_cast<uint64_t>(state) * static_cast<uint32_t>(n)) >> 32);
  }
};

struct Preset {
  int32_t itemId = 0;
  std::string text;
  bool used = false;
  int32_t line = -1;  // first candidate line equal to the text
};

// The pick rules replayed over the candidate lines.
class Replay {
 public:
  Replay(const std::vector<std::string>& lines, std::vector<Preset> presets, bool again,
         uint32_t seed)
      : m_lines(lines), m_presets(std::move(presets)), m_again(again) {
    m_rng.state = seed;
    m_onList.assign(lines.size(), false);
    m_won.assign(lines.size(), false);
    std::set<std::string> texts;
    for (const Preset& p : m_presets) texts.insert(p.text);
    for (size_t k = 0; k < lines.size(); ++k) m_onList[k] = texts.count(lines[k]) > 0;
    for (Preset& p : m_presets) {
      const auto at = std::find(lines.begin(), lines.end(), p.text);
      p.line = at == lines.end() ? -1 : static_cast<int32_t>(at - lines.begin());
    }
    m_free = std::count(m_onList.begin(), m_onList.end(), false);
    m_notOnList = m_free;
    m_absent.assign(lines.size(), false);
  }

  // The winner `absent` is absent: picks the replacement at random from those not on a
  // list who may still win; -1 when nobody is left.
  int32_t Replace(int32_t absent) {
    if (absent < 0 || absent >= static_cast<int32_t>(m_lines.size())) return -1;
    const size_t a = static_cast<size_t>(absent);
    if (m_again && !m_onList[a] && !m_absent[a]) --m_free;
    m_absent[a] = true;
    if (m_free <= 0) return -1;
    int32_t k;
    do {
      k = m_rng.Random(static_cast<int32_t>(m_lines.size()));
    } while (m_onList[static_cast<size_t>(k)] || !Eligible(k));
    if (!m_again) {
      m_won[static_cast<size_t>(k)] = true;
      --m_free;
    }
    return k;
  }

  // Picks up to n winners for the item; `closed` when no candidate could win any more.
  std::vector<int32_t> Select(int32_t itemId, int32_t n, bool& closed) {
    std::vector<int32_t> picks;
    closed = false;
    while (static_cast<int32_t>(picks.size()) < n) {
      if (!CanPick(itemId)) {
        closed = true;
        break;
      }
      const int32_t k = Pick(itemId);
      if (!Eligible(k)) continue;
      if (!m_again) {
        m_won[static_cast<size_t>(k)] = true;
        if (!m_onList[static_cast<size_t>(k)]) --m_free;
      }
      picks.push_back(k);
    }
    return picks;
  }

  void Roll(int32_t ticks) {
    for (int32_t i = 0; i < ticks; ++i) m_rng.Random(static_cast<int32_t>(m_lines.size()));
  }
  uint32_t State() const { return m_rng.state; }
  int32_t PresetsUsed(int32_t itemId) const {
    int32_t n = 0;
    for (const Preset& p : m_presets) n += p.itemId == itemId && p.used;
    return n;
  }

 private:
  bool Eligible(int32_t k) const {
    if (k < 0 || k >= static_cast<int32_t>(m_lines.size())) return false;
    if (m_absent[static_cast<size_t>(k)]) return false;
    return m_again || !m_won[static_cast<size_t>(k)];
  }
  bool CanPick(int32_t itemId) const {
    if (m_free > 0) return true;
    for (const Preset& p : m_presets)
      if (p.itemId == itemId && !p.used && p.line >= 0 && Eligible(p.line)) return true;
    return false;
  }
  int32_t Pick(int32_t itemId) {
    for (Preset& p : m_presets) {
      if (p.itemId != itemId || p.used) continue;
      p.used = true;
      if (p.line >= 0) return p.line;
      break;
    }
    if (m_notOnList == 0) return -1;
    while (true) {
      const int32_t k = m_rng.Random(static_cast<int32_t>(m_lines.size()));
      if (!m_onList[static_cast<size_t>(k)]) return k;
    }
  }

  const std::vector<std::string>& m_lines;
  std::vector<Preset> m_presets;
  bool m_again;
  Lcg m_rng;
  std::vector<bool> m_onList;
  std::vector<bool> m_won;
  std::vector<bool> m_absent;
  int64_t m_free = 0;
  int64_t m_notOnList = 0;
};

std::string Ids(const std::vector<std::string>& lines, const std::vector<int32_t>& picks) {
  std::string s;
  for (int32_t k : picks) {
    if (!s.empty()) s += ' ';
    if (k >= 0 && k < static_cast<int32_t>(lines.size()))
      s += std::string(text::FirstField(lines[static_cast<size_t>(k)]));
    else
      s += "#" + Num(k);
  }
  return s.empty() ? G("(无)") : s;
}

class Checker {
 public:
  Checker(std::string root, int32_t taskId) : m_root(std::move(root)), m_task(taskId) {
    if (!m_root.empty() && m_root.back() != '/' && m_root.back() != '\\') m_root += '/';
  }

  TVerifyResult Run() {
    Check();
    m_result.Passed = m_result.Problems.empty();
    m_result.Lines.push_back(m_result.Passed ? VerifyPassedText() : VerifyFailedText());
    return std::move(m_result);
  }

 private:
  std::string Rel(const std::string& rel) const { return m_root + rel; }
  void Problem(std::string text) {
    m_result.Lines.push_back(text);
    m_result.Problems.push_back(std::move(text));
  }

  void Check() {
    const std::string id = Num(m_task);
    // Names within the bundle, as the messages show them.
    std::string journalName = paths::FinishedJournalPath("", m_task);
    bool finished = true;
    if (!paths::FileExists(Rel(journalName))) {
      const std::string open = paths::JournalPath("", m_task);
      if (!paths::FileExists(Rel(open))) {
        Problem(G("找不到抽奖记录文件") + journalName);
        return;
      }
      journalName = open;
      finished = false;
    }
    TJournal j;
    std::string error;
    switch (ReadJournal(Rel(journalName), j, error)) {
      case JournalRead::Ok:
        break;
      case JournalRead::Missing:
        Problem(G("找不到抽奖记录文件") + journalName);
        return;
      default:
        Problem(G("抽奖记录文件") + journalName + G("已损坏"));
        return;
    }
    if (j.TornTail) {
      Problem(G("抽奖记录文件") + journalName + G("的最后一行不完整或已被改动"));
      return;
    }
    const TJournalHead& h = j.Head;
    if (h.TaskId != m_task) {
      Problem(G("抽奖记录文件") + journalName + G("属于抽奖任务") + Num(h.TaskId));
      return;
    }
    if (h.Commit.empty()) {
      Problem(G("抽奖记录文件") + journalName + G("没有抽奖凭证(由旧版本写下),无法验证"));
      return;
    }
    // The secret must be the one committed to before the draw.
    TDrawSecret secret{};
    if (!ParseSecretHex(h.Secret, secret) || Commitment(secret) != h.Commit) {
      Problem(G("抽奖记录中的密钥与抽奖凭证的承诺值不符"));
      return;
    }
    // The candidate list.
    const std::string dataName = paths::DrawDataPath("", m_task);
    std::string hash;
    if (!Sha256File(Rel(dataName), hash, error)) {
      Problem(G("无法读取名单文件") + dataName);
      return;
    }
    if (hash != h.DataHash) {
      Problem(G("名单文件") + dataName + G("与抽奖记录中的指纹不符"));
      return;
    }
    std::vector<std::string> lines;
    int32_t idMax = 0;
    std::string title;
    if (!ReadDrawDataFile(Rel(dataName), 0, 1, lines, idMax, title, error)) {
      Problem(G("名单文件") + dataName + G("无法读取：") + error);
      return;
    }
    // The preset lists, in the order of the prize items.
    std::vector<Preset> presets;
    std::vector<std::pair<int32_t, std::string>> entries;
    for (const TJournalItem& it : h.Items) {
      const std::string name = paths::PresetFilePath("", m_task, it.ItemId);
      if (!ForEachTrimmedLine(
              Rel(name),
              [&](std::string_view t) {
                entries.emplace_back(it.ItemId, std::string(t));
                presets.push_back({it.ItemId, std::string(t), false, -1});
              },
              error)) {
        Problem(G("无法读取指定中奖文件") + name);
        return;
      }
    }
    if (PresetHashOf(entries) != h.PresetHash) {
      Problem(G("指定中奖文件(") + std::string(paths::kDataFileFolder) +
              std::string(paths::kPresetPrefix) + id + G("_*.txt)与抽奖记录中的指纹不符"));
      return;
    }
    if (!j.Started) {
      if (!j.Batches.empty())
        Problem(G("抽奖记录缺少开始记录(START)"));
      else
        Problem(G("抽奖尚未开始,没有可验证的批次"));
      return;
    }
    std::vector<TProofItem> items;
    for (const TJournalItem& it : h.Items) items.push_back({it.ItemId, it.LuckCount, it.ListCount});
    const uint32_t seed =
        DeriveSeed(h.Secret, j.Start.Audience, h.DataHash, h.PresetHash, ItemsText(items));
    if (seed != j.Start.Seed) {
      Problem(G("抽奖记录中的种子") + Num(j.Start.Seed) + G("与推导结果") + Num(seed) + G("不符"));
      return;
    }
    m_result.Lines.push_back(
        G("名单") + Num(static_cast<int64_t>(lines.size())) + G("人, 承诺值与密钥一致, 现场号码") +
        (j.Start.Audience.empty() ? G("(无)") : j.Start.Audience) + G(", 种子") + Num(seed));

    // Every batch from the seed.
    Replay replay(lines, presets, h.LuckAgain == 1, seed);
    std::vector<int32_t> drawn(h.Items.size(), 0);
    // Every winner in draw order: the item's index and the candidate; a replacement takes
    // the place of its absent winner.
    std::vector<std::pair<size_t, int32_t>> flat;
    std::vector<TAbsentId> absent;
    size_t cur = 0;
    int n = 0;
    size_t nextAbsence = 0;
    // The absences the journal holds after `batches` batches.
    const auto replacements = [&](size_t batches) {
      for (; nextAbsence < j.Absences.size() && j.Absences[nextAbsence].AfterBatches == batches;
           ++nextAbsence) {
        const TJournalAbsence& a = j.Absences[nextAbsence];
        const std::string head = G("第") + Num(static_cast<int64_t>(nextAbsence + 1)) +
                                 G("次缺席 奖项") + Num(a.ItemId) + ": ";
        if (a.Place < 0 || static_cast<size_t>(a.Place) >= flat.size() ||
            h.Items[flat[static_cast<size_t>(a.Place)].first].ItemId != a.ItemId ||
            flat[static_cast<size_t>(a.Place)].second != a.Absent) {
          Problem(head + G("缺席者不是此位置上的中奖者"));
          return false;
        }
        const int32_t k = replay.Replace(a.Absent);
        replay.Roll(a.Rolls);
        if (k != a.Replacement) {
          Problem(head + G("抽奖记录中的替补为 ") + Ids(lines, {a.Replacement}) +
                  G(", 按规则重放应为 ") + (k < 0 ? G("(无人可替补)") : Ids(lines, {k})));
          return false;
        }
        if (a.Rng != replay.State()) {
          Problem(head + G("滚动") + Num(a.Rolls) + G("次后随机数状态为") + Num(replay.State()) +
                  G(", 抽奖记录为") + Num(a.Rng));
          return false;
        }
        const size_t k0 = static_cast<size_t>(a.Absent);
        const size_t k1 = static_cast<size_t>(k);
        absent.push_back({a.ItemId, m_task, a.Place, a.Absent, lines[k0], k, lines[k1]});
        flat[static_cast<size_t>(a.Place)].second = k;
        m_result.Lines.push_back(head + Ids(lines, {a.Absent}) + G(" 缺席, 替补 ") +
                                 Ids(lines, {k}) + G("  一致"));
      }
      return true;
    };
    for (const TJournalBatch& b : j.Batches) {
      ++n;
      const std::string label = G("第") + Num(n) + G("批");
      if (cur >= h.Items.size() || b.ItemId != h.Items[cur].ItemId) {
        Problem(label + G(": 奖项") + Num(b.ItemId) + G("不是此时应抽的奖项"));
        return;
      }
      const TJournalItem& it = h.Items[cur];
      const int32_t want = std::min(it.ListCount, it.LuckCount - drawn[cur]);
      bool closed = false;
      const std::vector<int32_t> picks = replay.Select(it.ItemId, want, closed);
      replay.Roll(b.Rolls);
      const std::string head = label + G(" 奖项") + Num(it.ItemId) + " " +
                               Num(static_cast<int64_t>(picks.size())) + G("名: ");
      if (picks != b.Winners) {
        Problem(head + G("抽奖记录为 ") + Ids(lines, b.Winners) + G(", 按规则重放应为 ") +
                Ids(lines, picks));
        return;
      }
      drawn[cur] += static_cast<int32_t>(picks.size());
      if (b.Drawn != drawn[cur] || b.Closed != closed ||
          b.PresetsUsed != replay.PresetsUsed(it.ItemId)) {
        Problem(head + G("抽奖记录中的计数与重放结果不符"));
        return;
      }
      if (b.Rng != replay.State()) {
        Problem(head + G("滚动") + Num(b.Rolls) + G("次后随机数状态为") + Num(replay.State()) +
                G(", 抽奖记录为") + Num(b.Rng));
        return;
      }
      m_result.Lines.push_back(head + Ids(lines, picks) + G("  一致"));
      for (int32_t k : picks) flat.emplace_back(cur, k);
      if (drawn[cur] >= it.LuckCount || closed) ++cur;
      if (!replacements(static_cast<size_t>(n))) return;
    }
    if (nextAbsence < j.Absences.size()) {
      Problem(G("抽奖记录中的缺席记录不在批次之后"));
      return;
    }
    if (cur < h.Items.size()) {
      Problem(finished ? G("抽奖记录标为已完成,但奖项") + Num(h.Items[cur].ItemId) + G("尚未抽完")
                       : G("抽奖尚未完成,还没有中奖名单文件可以核对"));
      return;
    }
    // The winner files hold the replayed winners, nothing else; the absent files the
    // absent winners with their replacements.
    for (size_t i = 0; i < h.Items.size(); ++i) {
      const std::string name = paths::WinnerFilePath("", m_task, h.Items[i].ItemId);
      std::string expected = title + "\r\n";
      for (const auto& [item, k] : flat)
        if (item == i) expected += lines[static_cast<size_t>(k)] + "\r\n";
      std::string got;
      if (!files::ReadWholeFile(Rel(name), got, error)) {
        Problem(G("找不到中奖名单文件") + name);
      } else if (got != expected) {
        Problem(G("中奖名单文件") + name + G("与重放结果不符"));
      }
      std::string absentText;
      for (const TAbsentId& a : absent)
        if (a.ItemId == h.Items[i].ItemId) absentText += AbsentLine(a) + "\r\n";
      const std::string absentName = paths::AbsentFilePath("", m_task, h.Items[i].ItemId);
      const bool there = files::ReadWholeFile(Rel(absentName), got, error);
      if (absentText.empty()) {
        if (there) Problem(G("缺席名单文件") + absentName + G("不在抽奖记录中"));
      } else if (!there) {
        Problem(G("找不到缺席名单文件") + absentName);
      } else if (got != title + "\r\n" + absentText) {
        Problem(G("缺席名单文件") + absentName + G("与重放结果不符"));
      }
    }
  }

  std::string m_root;
  int32_t m_task;
  TVerifyResult m_result;
};

// A bundle's entries that the check reads; anything else in it is ignored.
bool BundleEntry(const std::string& name, int32_t& taskId) {
  auto digitsThen = [](std::string_view s, size_t& at) {
    const size_t from = at;
    while (at < s.size() && s[at] >= '0' && s[at] <= '9') ++at;
    return at > from && at - from < 10;
  };
  const auto startsWith = [](std::string_view s, std::string_view a, std::string_view b = {}) {
    return s.substr(0, a.size()) == a && s.substr(a.size(), b.size()) == b;
  };
  std::string_view s = name;
  size_t at = 0;
  if (startsWith(s, paths::kLuckFileFolder, paths::kJournalPrefix)) {
    const size_t from = paths::kLuckFileFolder.size() + paths::kJournalPrefix.size();
    at = from;
    if (!digitsThen(s, at) || s.substr(at) != paths::kFinishedSuffix) return false;
    taskId = std::stoi(std::string(s.substr(from, at - from)));
    return true;
  }
  // Only a list file (DATA_FILE/<task>.txt) ends right after its first number.
  bool listFile = false;
  if (startsWith(s, paths::kDataFileFolder, paths::kPresetPrefix)) {
    at = paths::kDataFileFolder.size() + paths::kPresetPrefix.size();
  } else if (startsWith(s, paths::kLuckFileFolder, paths::kAbsentPrefix)) {
    at = paths::kLuckFileFolder.size() + paths::kAbsentPrefix.size();
  } else if (startsWith(s, paths::kDataFileFolder)) {
    at = paths::kDataFileFolder.size();
    listFile = true;
  } else if (startsWith(s, paths::kLuckFileFolder)) {
    at = paths::kLuckFileFolder.size();
  } else {
    return false;
  }
  if (!digitsThen(s, at)) return false;
  if (s.substr(at) == ".txt") return listFile;
  if (at >= s.size() || s[at] != '_') return false;
  ++at;
  return digitsThen(s, at) && s.substr(at) == ".txt";
}

}  // namespace

std::string VerifyPassedText() { return G("验证通过"); }
std::string VerifyFailedText() { return G("验证未通过"); }

TVerifyResult VerifyDrawFolder(const std::string& gbkRoot, int32_t taskId) {
  return Checker(gbkRoot, taskId).Run();
}

TVerifyResult VerifyAuditBundle(const std::string& gbkZipPath) {
  TVerifyResult failed;
  auto fail = [&](std::string text) {
    failed.Lines = {text, VerifyFailedText()};
    failed.Problems = {std::move(text)};
    return failed;
  };
  sheet::ZipArchive zip;
  std::string error;
  if (!paths::FileExists(gbkZipPath)) return fail(G("找不到审计包文件") + gbkZipPath);
  // The reader's own words speak of spreadsheets; a bundle is told in its own.
  if (!zip.OpenFile(gbkZipPath, error))
    return fail(G("审计包") + gbkZipPath + G("不是有效的zip文件,或者已经损坏"));
  // The names come from the archive's directory; only the known ones are unpacked.
  const std::vector<std::string> names = zip.Names();
  int32_t taskId = 0;
  std::vector<std::string> wanted;
  for (const std::string& n : names) {
    int32_t t = 0;
    if (!BundleEntry(n, t)) continue;
    if (t > 0) taskId = t;
    wanted.push_back(n);
  }
  if (taskId <= 0) return fail(G("审计包中没有已完成的抽奖记录"));
  // A fresh folder of our own under the system's temporary folder.
  std::error_code ec;
  TDrawSecret r{};
  if (!SystemSecret(r, error)) return fail(error);
  const fs::path dir =
      fs::temp_directory_path(ec) / ("tombolix-verify-" + SecretHex(r).substr(0, 16));
  if (ec || !fs::create_directory(dir, ec)) return fail(G("无法创建临时目录"));
  const std::string root = text::Utf8ToGbk(paths::U8(dir)) + "/";
  TVerifyResult result;
  bool unpacked = true;
  for (const std::string& n : wanted) {
    std::string bytes;
    if (!zip.ReadPart(n, bytes, error) || !files::WriteFileAtomic(root + n, bytes, error)) {
      unpacked = false;
      break;
    }
  }
  result = unpacked ? VerifyDrawFolder(root, taskId) : fail(error);
  fs::remove_all(dir, ec);
  return result;
}
