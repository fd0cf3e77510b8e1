#include "core/draw/DrawJournal.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/records/FileHash.h"
#include "core/text/FileWrite.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"

namespace {

constexpr std::string_view kCheck = "\tcheck=";

// FNV-1a: enough to tell a line cut short or overwritten by a crash from a whole one.
uint32_t Fnv(std::string_view s) {
  uint32_t h = 2166136261u;
  for (unsigned char c : s) {
    h ^= c;
    h *= 16777619u;
  }
  return h;
}

std::string Hex8(uint32_t v) {
  char buf[9];
  static const char* digits = "0123456789abcdef";
  for (int i = 7; i >= 0; --i) {
    buf[i] = digits[v & 15];
    v >>= 4;
  }
  return std::string(buf, 8);
}

std::string Sealed(std::string body) {
  const uint32_t check = Fnv(body);
  body += kCheck;
  body += Hex8(check);
  body += "\r\n";
  return body;
}

template <typename T>
bool Number(std::string_view s, T& v) {
  if (s.empty()) return false;
  const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

// The line's fields after its check value was verified; empty when it does not verify.
std::vector<std::string_view> Verified(std::string_view line) {
  const size_t at = line.rfind(kCheck);
  if (at == std::string_view::npos) return {};
  const std::string_view body = line.substr(0, at);
  if (line.substr(at + kCheck.size()) != Hex8(Fnv(body))) return {};
  return text::SplitAt(body, '\t');
}

// The value of `key=` among the fields, or false.
bool Field(const std::vector<std::string_view>& fields, std::string_view key,
           std::string_view& value) {
  for (size_t i = 1; i < fields.size(); ++i) {
    const std::string_view f = fields[i];
    if (f.size() > key.size() && f.substr(0, key.size()) == key && f[key.size()] == '=') {
      value = f.substr(key.size() + 1);
      return true;
    }
  }
  return false;
}

template <typename T>
bool NumberField(const std::vector<std::string_view>& fields, std::string_view key, T& v) {
  std::string_view s;
  return Field(fields, key, s) && Number(s, v);
}

bool IsHex64(std::string_view s) {
  if (s.size() != 64) return false;
  for (char c : s)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}

// A text that may hold TAB, CR, LF or '%' as one journal field: those bytes, and every other
// byte below 0x20, as %XX (two upper-case hex digits). GBK bytes pass as they are.
std::string Escaped(std::string_view s) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (char c : s) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || c == '%') {
      out += '%';
      out += hex[u >> 4];
      out += hex[u & 15];
    } else {
      out += c;
    }
  }
  return out;
}

bool Unescaped(std::string_view s, std::string& out) {
  out.clear();
  const auto digit = [](char c) {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
  };
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '%') {
      out += s[i];
      continue;
    }
    if (i + 2 >= s.size()) return false;
    const int a = digit(s[i + 1]), b = digit(s[i + 2]);
    if (a < 0 || b < 0) return false;
    out += static_cast<char>(a * 16 + b);
    i += 2;
  }
  return true;
}

// A list of ids as the head holds it: each id followed by LF.
std::string IdLines(const std::vector<std::string>& ids) {
  std::string out;
  for (const std::string& id : ids) out += id + "\n";
  return out;
}

// The ids of IdLines text; false when the last one lacks its LF.
bool ParseIdLines(const std::string& lines, std::vector<std::string>& ids) {
  for (size_t from = 0; from < lines.size();) {
    const size_t end = lines.find('\n', from);
    if (end == std::string::npos) return false;
    ids.push_back(lines.substr(from, end - from));
    from = end + 1;
  }
  return true;
}

bool ParseHead(const std::vector<std::string_view>& f, TJournalHead& h) {
  if (f.empty() || f[0] != "DRAW") return false;
  std::string_view data, presets, items, commit, secret;
  if (!NumberField(f, "task", h.TaskId) || !Field(f, "data", data) ||
      !Field(f, "presets", presets) || !NumberField(f, "again", h.LuckAgain) ||
      !Field(f, "items", items))
    return false;
  // A checkable draw names its commitment and secret; an older one its seed.
  const bool checkable = Field(f, "commit", commit);
  if (checkable) {
    if (!Field(f, "secret", secret) || !IsHex64(commit) || !IsHex64(secret)) return false;
    h.Commit = std::string(commit);
    h.Secret = std::string(secret);
    h.Seed = 0;
  } else if (!NumberField(f, "seed", h.Seed)) {
    return false;
  }
  h.DataHash = std::string(data);
  h.PresetHash = std::string(presets);
  h.Rules.clear();
  h.RulesHash.clear();
  h.Excluded.clear();
  if (std::string_view rules; Field(f, "rules", rules)) {
    std::string_view hash, excluded;
    std::string ids;
    if (!Field(f, "rulehash", hash) || !IsHex64(hash) || !Field(f, "excluded", excluded) ||
        !Unescaped(rules, h.Rules) || h.Rules.empty() || !Unescaped(excluded, ids))
      return false;
    h.RulesHash = std::string(hash);
    if (!ParseIdLines(ids, h.Excluded)) return false;
  }
  h.CheckinOnly = false;
  h.Present.clear();
  h.PresentHash.clear();
  if (std::string_view present; Field(f, "checkin", present)) {
    std::string_view hash;
    std::string ids;
    if (!Field(f, "checkinhash", hash) || !IsHex64(hash) || !Unescaped(present, ids)) return false;
    h.CheckinOnly = true;
    h.PresentHash = std::string(hash);
    if (!ParseIdLines(ids, h.Present)) return false;
  }
  h.Opening = 0;
  h.PrevHead.clear();
  if (std::string_view prev; Field(f, "opening", prev)) {
    if (!Number(prev, h.Opening) || h.Opening < 1) return false;
    if (Field(f, "prevhead", prev)) {
      if (!IsHex64(prev) || h.Opening < 2) return false;
      h.PrevHead = std::string(prev);
    }
  }
  h.Named.clear();
  h.NamedHash.clear();
  if (std::string_view named; Field(f, "named", named)) {
    std::string_view hash;
    if (!Field(f, "namedhash", hash) || !IsHex64(hash) || !Unescaped(named, h.Named) ||
        h.Named.empty())
      return false;
    h.NamedHash = std::string(hash);
  }
  h.Items.clear();
  if (items.empty()) return true;
  for (std::string_view one : text::SplitAt(items, ',')) {
    const std::vector<std::string_view> parts = text::SplitAt(one, '/');
    TJournalItem it;
    if (parts.size() != 3 || !Number(parts[0], it.ItemId) || !Number(parts[1], it.LuckCount) ||
        !Number(parts[2], it.ListCount))
      return false;
    h.Items.push_back(it);
  }
  return true;
}

bool ParseStart(const std::vector<std::string_view>& f, TJournalStart& s) {
  std::string_view audience;
  if (!Field(f, "audience", audience) || !NumberField(f, "seed", s.Seed)) return false;
  if (audience.size() > 18) return false;
  for (char c : audience)
    if (c < '0' || c > '9') return false;
  s.Audience = std::string(audience);
  return true;
}

bool ParseBatch(const std::vector<std::string_view>& f, TJournalBatch& b) {
  if (f.empty() || f[0] != "BATCH") return false;
  int closed = 0;
  std::string_view winners;
  if (!NumberField(f, "item", b.ItemId) || !NumberField(f, "drawn", b.Drawn) ||
      !NumberField(f, "closed", closed) || !NumberField(f, "presets", b.PresetsUsed) ||
      !NumberField(f, "rng", b.Rng) || !Field(f, "winners", winners))
    return false;
  b.Closed = closed != 0;
  b.Rolls = -1;
  if (std::string_view rolls; Field(f, "rolls", rolls) && (!Number(rolls, b.Rolls) || b.Rolls < 0))
    return false;
  b.Winners.clear();
  if (winners.empty()) return true;
  for (std::string_view w : text::SplitAt(winners, ',')) {
    int32_t k = 0;
    if (!Number(w, k)) return false;
    b.Winners.push_back(k);
  }
  return true;
}

bool ParseAbsence(const std::vector<std::string_view>& f, TJournalAbsence& a) {
  if (f.empty() || f[0] != "ABSENT") return false;
  if (!NumberField(f, "item", a.ItemId) || !NumberField(f, "place", a.Place) ||
      !NumberField(f, "absent", a.Absent) || !NumberField(f, "replacement", a.Replacement) ||
      !NumberField(f, "rng", a.Rng))
    return false;
  std::string_view rolls;
  if (Field(f, "rolls", rolls) && !Number(rolls, a.Rolls)) return false;
  return true;
}

}  // namespace

std::string SealJournalRecord(std::string body) { return Sealed(std::move(body)); }

std::string JournalHeadKey(std::string_view headLine) { return Sha256Hex(headLine); }

bool TJournalHead::SameDraw(const TJournalHead& o) const {
  return TaskId == o.TaskId && DataHash == o.DataHash && PresetHash == o.PresetHash &&
         LuckAgain == o.LuckAgain && Items == o.Items && Rules == o.Rules &&
         RulesHash == o.RulesHash && Excluded == o.Excluded && CheckinOnly == o.CheckinOnly &&
         Present == o.Present && PresentHash == o.PresentHash && Named == o.Named &&
         NamedHash == o.NamedHash;
}

int32_t TJournal::WinnerCount() const {
  int64_t n = 0;
  for (const TJournalBatch& b : Batches) n += static_cast<int64_t>(b.Winners.size());
  n += static_cast<int64_t>(Absences.size());
  return static_cast<int32_t>(std::min<int64_t>(n, INT32_MAX));
}

uint32_t TJournal::LastRng() const {
  if (!Absences.empty() && Absences.back().AfterBatches >= Batches.size())
    return Absences.back().Rng;
  return Batches.empty() ? Head.Seed : Batches.back().Rng;
}

std::string FormatJournalAbsence(const TJournalAbsence& a) {
  return Sealed("ABSENT\titem=" + std::to_string(a.ItemId) + "\tplace=" + std::to_string(a.Place) +
                "\tabsent=" + std::to_string(a.Absent) + "\treplacement=" +
                std::to_string(a.Replacement) + "\trng=" + std::to_string(a.Rng) +
                (a.Rolls >= 0 ? "\trolls=" + std::to_string(a.Rolls) : std::string()));
}

std::string FormatJournalHead(const TJournalHead& h) {
  std::string s = "DRAW\ttask=" + std::to_string(h.TaskId) + "\tdata=" + h.DataHash +
                  "\tpresets=" + h.PresetHash + "\tagain=" + std::to_string(h.LuckAgain);
  if (h.Commit.empty())
    s += "\tseed=" + std::to_string(h.Seed);
  else
    s += "\tcommit=" + h.Commit + "\tsecret=" + h.Secret;
  s += "\titems=";
  for (size_t i = 0; i < h.Items.size(); ++i) {
    if (i) s += ',';
    s += std::to_string(h.Items[i].ItemId) + "/" + std::to_string(h.Items[i].LuckCount) + "/" +
         std::to_string(h.Items[i].ListCount);
  }
  // Only a draw with rules has these fields; one without keeps the head it always had.
  if (!h.Rules.empty())
    s += "\trules=" + Escaped(h.Rules) + "\trulehash=" + h.RulesHash +
         "\texcluded=" + Escaped(IdLines(h.Excluded));
  // Only a draw of those checked in names them.
  if (h.CheckinOnly)
    s += "\tcheckin=" + Escaped(IdLines(h.Present)) + "\tcheckinhash=" + h.PresentHash;
  // Counted openings; a head without a number reads as before.
  if (h.Opening > 0) {
    s += "\topening=" + std::to_string(h.Opening);
    if (!h.PrevHead.empty()) s += "\tprevhead=" + h.PrevHead;
  }
  // Only a draw with named awards names them.
  if (!h.Named.empty()) s += "\tnamed=" + Escaped(h.Named) + "\tnamedhash=" + h.NamedHash;
  return Sealed(std::move(s));
}

std::string FormatJournalStart(const TJournalStart& st) {
  return Sealed("START\taudience=" + st.Audience + "\tseed=" + std::to_string(st.Seed));
}

std::string FormatJournalBatch(const TJournalBatch& b) {
  std::string s = "BATCH\titem=" + std::to_string(b.ItemId) + "\tdrawn=" + std::to_string(b.Drawn) +
                  "\tclosed=" + (b.Closed ? "1" : "0") +
                  "\tpresets=" + std::to_string(b.PresetsUsed) + "\trng=" + std::to_string(b.Rng);
  if (b.Rolls >= 0) s += "\trolls=" + std::to_string(b.Rolls);
  s += "\twinners=";
  for (size_t i = 0; i < b.Winners.size(); ++i) {
    if (i) s += ',';
    s += std::to_string(b.Winners[i]);
  }
  return Sealed(std::move(s));
}

JournalRead ReadJournal(std::string_view gbkPath, TJournal& journal, std::string& error) {
  journal = TJournal();
  if (!paths::FileExists(gbkPath)) return JournalRead::Missing;
  std::ifstream in(paths::NativePath(gbkPath), std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  if (in.bad()) {
    error = text::G("无法读取文件") + std::string(gbkPath);
    return JournalRead::Unreadable;
  }
  return ParseJournal(ss.str(), journal, gbkPath, error);
}

JournalRead ParseJournal(std::string_view all, TJournal& journal, std::string_view gbkPath,
                         std::string& error) {
  journal = TJournal();
  struct Line {
    std::string_view text;  // without its line end
    size_t end;             // offset just past its line end
  };
  // Whole lines only: what follows the last line end was cut short.
  std::vector<Line> lines;
  size_t start = 0;
  for (size_t at; (at = all.find('\n', start)) != std::string::npos; start = at + 1) {
    std::string_view l(all.data() + start, at - start);
    if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
    lines.push_back({l, at + 1});
  }
  // The records that pass their check; the last of them ends the whole part. A failing
  // line after it is the tail of a write cut short, one before it is damage.
  std::vector<std::vector<std::string_view>> fields(lines.size());
  size_t lastWhole = lines.size();
  for (size_t i = 0; i < lines.size(); ++i) {
    fields[i] = Verified(lines[i].text);
    if (!fields[i].empty()) lastWhole = i;
  }
  if (lastWhole == lines.size()) return JournalRead::Empty;
  const auto damaged = [&] {
    error = text::G("抽奖记录文件已损坏：") + std::string(gbkPath);
    journal = TJournal();
    return JournalRead::Damaged;
  };
  if (fields[0].empty()) {
    // The head itself failed while later records passed: not a torn write.
    return damaged();
  }
  if (!ParseHead(fields[0], journal.Head)) {
    error = text::G("抽奖记录文件已损坏：") + std::string(gbkPath);
    journal = TJournal();
    return JournalRead::Unreadable;
  }
  const bool checkable = !journal.Head.Commit.empty();
  for (size_t i = 1; i <= lastWhole; ++i) {
    const std::vector<std::string_view>& f = fields[i];
    if (f.empty()) return damaged();
    if (f[0] == "START") {
      if (!checkable || journal.Started || !journal.Batches.empty()) return damaged();
      if (!ParseStart(f, journal.Start)) return damaged();
      journal.Started = true;
    } else if (f[0] == "BATCH") {
      TJournalBatch b;
      if (!ParseBatch(f, b)) return damaged();
      // A checkable draw's batches follow its START and count their roll ticks.
      if (checkable && (!journal.Started || b.Rolls < 0)) return damaged();
      journal.Batches.push_back(std::move(b));
    } else if (f[0] == "ABSENT") {
      TJournalAbsence a;
      if (!ParseAbsence(f, a)) return damaged();
      if (checkable && (!journal.Started || a.Rolls < 0)) return damaged();
      a.AfterBatches = journal.Batches.size();
      journal.Absences.push_back(a);
    } else if (f[0] == "DRAW") {
      return damaged();
    } else {
      journal.Others.push_back(
          {journal.Batches.size(), journal.Absences.size(), std::string(lines[i].text)});
    }
  }
  journal.WholeBytes = lines[lastWhole].end;
  journal.TornTail = journal.WholeBytes < all.size();
  return JournalRead::Ok;
}

bool AppendJournal(std::string_view gbkPath, std::string_view lines, std::string& error) {
  return files::AppendDurable(gbkPath, lines, error);
}

int64_t JournalSize(std::string_view gbkPath) {
  std::error_code ec;
  const auto n = std::filesystem::file_size(paths::NativePath(gbkPath), ec);
  return ec ? -1 : static_cast<int64_t>(n);
}

bool CutJournalTail(std::string_view gbkPath, size_t wholeBytes, std::string& error) {
  std::ostringstream ss;
  {
    // Closed before the file is replaced: Windows replaces no file that is still open.
    std::ifstream in(paths::NativePath(gbkPath), std::ios::binary);
    ss << in.rdbuf();
    if (!in.is_open() || in.bad()) {
      error = text::G("无法读取文件") + std::string(gbkPath);
      return false;
    }
  }
  const std::string all = ss.str();
  if (all.size() < wholeBytes) {
    error = text::G("抽奖记录文件已损坏：") + std::string(gbkPath);
    return false;
  }
  if (all.size() == wholeBytes) return true;
  return files::WriteFileAtomic(gbkPath, std::string_view(all).substr(0, wholeBytes), error);
}
