#include "draw/DrawJournal.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <fstream>
#include <sstream>

#include "text/FileWrite.h"
#include "text/Gbk.h"
#include "text/Paths.h"

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

std::vector<std::string_view> Split(std::string_view s, char sep) {
  std::vector<std::string_view> out;
  size_t start = 0;
  while (true) {
    const size_t at = s.find(sep, start);
    out.push_back(
        s.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
    if (at == std::string_view::npos) break;
    start = at + 1;
  }
  return out;
}

// The line's fields after its check value was verified; empty when it does not verify.
std::vector<std::string_view> Verified(std::string_view line) {
  const size_t at = line.rfind(kCheck);
  if (at == std::string_view::npos) return {};
  const std::string_view body = line.substr(0, at);
  if (line.substr(at + kCheck.size()) != Hex8(Fnv(body))) return {};
  return Split(body, '\t');
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

bool ParseHead(const std::vector<std::string_view>& f, TJournalHead& h) {
  if (f.empty() || f[0] != "DRAW") return false;
  std::string_view data, presets, items;
  if (!NumberField(f, "task", h.TaskId) || !Field(f, "data", data) ||
      !Field(f, "presets", presets) || !NumberField(f, "again", h.LuckAgain) ||
      !NumberField(f, "seed", h.Seed) || !Field(f, "items", items))
    return false;
  h.DataHash = std::string(data);
  h.PresetHash = std::string(presets);
  h.Items.clear();
  if (items.empty()) return true;
  for (std::string_view one : Split(items, ',')) {
    const std::vector<std::string_view> parts = Split(one, '/');
    TJournalItem it;
    if (parts.size() != 3 || !Number(parts[0], it.ItemId) || !Number(parts[1], it.LuckCount) ||
        !Number(parts[2], it.ListCount))
      return false;
    h.Items.push_back(it);
  }
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
  b.Winners.clear();
  if (winners.empty()) return true;
  for (std::string_view w : Split(winners, ',')) {
    int32_t k = 0;
    if (!Number(w, k)) return false;
    b.Winners.push_back(k);
  }
  return true;
}

bool ParseAbsence(const std::vector<std::string_view>& f, TJournalAbsence& a) {
  if (f.empty() || f[0] != "ABSENT") return false;
  return NumberField(f, "item", a.ItemId) && NumberField(f, "place", a.Place) &&
         NumberField(f, "absent", a.Absent) && NumberField(f, "replacement", a.Replacement) &&
         NumberField(f, "rng", a.Rng);
}

}  // namespace

bool TJournalHead::SameDraw(const TJournalHead& o) const {
  return TaskId == o.TaskId && DataHash == o.DataHash && PresetHash == o.PresetHash &&
         LuckAgain == o.LuckAgain && Items == o.Items;
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
                std::to_string(a.Replacement) + "\trng=" + std::to_string(a.Rng));
}

std::string FormatJournalHead(const TJournalHead& h) {
  std::string s = "DRAW\ttask=" + std::to_string(h.TaskId) + "\tdata=" + h.DataHash +
                  "\tpresets=" + h.PresetHash + "\tagain=" + std::to_string(h.LuckAgain) +
                  "\tseed=" + std::to_string(h.Seed) + "\titems=";
  for (size_t i = 0; i < h.Items.size(); ++i) {
    if (i) s += ',';
    s += std::to_string(h.Items[i].ItemId) + "/" + std::to_string(h.Items[i].LuckCount) + "/" +
         std::to_string(h.Items[i].ListCount);
  }
  return Sealed(std::move(s));
}

std::string FormatJournalBatch(const TJournalBatch& b) {
  std::string s = "BATCH\titem=" + std::to_string(b.ItemId) + "\tdrawn=" + std::to_string(b.Drawn) +
                  "\tclosed=" + (b.Closed ? "1" : "0") +
                  "\tpresets=" + std::to_string(b.PresetsUsed) + "\trng=" + std::to_string(b.Rng) +
                  "\twinners=";
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
  // Whole lines only: what follows the last line end was cut short.
  std::vector<std::string_view> lines;
  size_t start = 0;
  for (size_t at; (at = all.find('\n', start)) != std::string::npos; start = at + 1) {
    std::string_view l(all.data() + start, at - start);
    if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
    lines.push_back(l);
  }
  // A line that does not verify was cut short by a crash or a failed write: skipped. What
  // it held is missing from the batches, which a replay finds by their counts.
  std::vector<std::vector<std::string_view>> records;
  for (std::string_view l : lines) {
    std::vector<std::string_view> f = Verified(l);
    if (!f.empty()) records.push_back(std::move(f));
  }
  if (records.empty()) return JournalRead::Empty;
  const auto bad = [&] {
    error = text::G("抽奖记录文件已损坏：") + std::string(gbkPath);
    journal = TJournal();
    return JournalRead::Unreadable;
  };
  if (!ParseHead(records[0], journal.Head)) return bad();
  for (size_t i = 1; i < records.size(); ++i) {
    if (!records[i].empty() && records[i][0] == "ABSENT") {
      TJournalAbsence a;
      if (!ParseAbsence(records[i], a)) return bad();
      a.AfterBatches = journal.Batches.size();
      journal.Absences.push_back(a);
      continue;
    }
    TJournalBatch b;
    if (!ParseBatch(records[i], b)) return bad();
    journal.Batches.push_back(std::move(b));
  }
  return JournalRead::Ok;
}

bool AppendJournal(std::string_view gbkPath, std::string_view lines, std::string& error) {
  return files::AppendDurable(gbkPath, lines, error);
}
