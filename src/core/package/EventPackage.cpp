#include "core/package/EventPackage.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <system_error>

#include "core/config/TaskIds.h"
#include "core/db/TombolixDM.h"
#include "core/draw/DrawJournal.h"
#include "core/draw/DrawProof.h"
#include "core/draw/DrawRules.h"
#include "core/draw/DrawnItems.h"
#include "core/draw/PlanRecords.h"
#include "core/import/Zip.h"
#include "core/records/DrawDataFile.h"
#include "core/records/FileHash.h"
#include "core/records/Loaders.h"
#include "core/records/NamedAwardFile.h"
#include "core/records/ResultsHistory.h"
#include "core/records/WinnerFiles.h"
#include "core/records/WinnerPhotos.h"
#include "core/text/FileWrite.h"
#include "core/text/Gbk.h"
#include "core/text/LineReader.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"

namespace package {

namespace fs = std::filesystem;
using text::G;

namespace {

// The path columns: the package carries their files and gives them new paths on import.
constexpr std::string_view kDataColumn = "DataFilePath";
constexpr std::string_view kBackgroundColumn = "MainImageName";
constexpr std::string_view kMusicColumn = "MusicFilePath";
constexpr std::string_view kPrizeColumn = "AwardImageName";

bool Same(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

const std::string* Value(const TRow& row, std::string_view column) {
  for (const auto& [name, value] : row)
    if (Same(name, column)) return &value;
  return nullptr;
}

TRow With(TRow row, std::string_view column, std::string value) {
  for (auto& [name, v] : row) {
    if (Same(name, column)) {
      v = std::move(value);
      return row;
    }
  }
  row.emplace_back(std::string(column), std::move(value));
  return row;
}

std::string Escape(std::string_view s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out += c;
    }
  }
  return out;
}

bool Unescape(std::string_view s, std::string& out) {
  out.clear();
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\') {
      out += s[i];
      continue;
    }
    if (++i >= s.size()) return false;
    switch (s[i]) {
      case '\\':
        out += '\\';
        break;
      case 't':
        out += '\t';
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      default:
        return false;
    }
  }
  return true;
}

// A table's columns here: name and whether it holds integers.
struct TColumn {
  std::string name;
  bool integer = false;
};

bool Columns(const char* table, std::vector<TColumn>& out, std::string& error) {
  out.clear();
  if (!TombolixDataModule) {
    error = db::NotConnectedText();
    return false;
  }
  db::TQuery q(TombolixDataModule->ADOConnection1);
  if (!db::OpenSql(q, "select name, type from pragma_table_info(?)", {std::string(table)}, error))
    return false;
  for (q.First(); !q.Eof(); q.Next())
    out.push_back({q.FieldAsString("name"), Same(q.FieldAsString("type"), "integer")});
  if (out.empty()) error = G("数据库中没有表") + table;
  return !out.empty();
}

bool ReadRows(const char* table, const std::vector<TColumn>& cols, std::string_view where,
              int32_t taskId, std::vector<TRow>& rows, std::string& error) {
  std::string sql = "select ";
  for (size_t i = 0; i < cols.size(); ++i) sql += (i ? ", " : "") + cols[i].name;
  sql += std::string(" from ") + table + " " + std::string(where);
  db::TQuery q(TombolixDataModule->ADOConnection1);
  if (!db::OpenSql(q, sql, {int64_t{taskId}}, error)) return false;
  rows.clear();
  for (q.First(); !q.Eof(); q.Next()) {
    TRow r;
    for (size_t i = 0; i < cols.size(); ++i)
      r.emplace_back(cols[i].name, cols[i].integer ? q.FieldText(static_cast<int>(i))
                                                   : q.FieldAsString(cols[i].name));
    rows.push_back(std::move(r));
  }
  return true;
}

// The file's extension, lower case, when it is a plain one; else "bin".
std::string Extension(std::string_view gbkPath) {
  const size_t slash = gbkPath.find_last_of("/\\");
  const size_t dot = gbkPath.rfind('.');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
    return "bin";
  std::string ext(gbkPath.substr(dot + 1));
  if (ext.empty() || ext.size() > 5) return "bin";
  for (char& c : ext) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (!std::isalnum(static_cast<unsigned char>(c))) return "bin";
  }
  return ext;
}

bool PlainExtension(std::string_view ext) {
  if (ext.empty() || ext.size() > 5) return false;
  return std::all_of(ext.begin(), ext.end(),
                     [](char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); });
}

// "<prefix><name>.<ext>" with a plain extension: true with the name part. With `plainStem`
// the name is letters, digits and '_' only, so it can never leave its folder.
bool MediaName(std::string_view entry, std::string_view prefix, std::string& stem,
               bool plainStem = true) {
  if (entry.substr(0, prefix.size()) != prefix) return false;
  const std::string_view rest = entry.substr(prefix.size());
  const size_t dot = rest.rfind('.');
  if (dot == std::string_view::npos || dot == 0 || !PlainExtension(rest.substr(dot + 1)))
    return false;
  stem = std::string(rest.substr(0, dot));
  return !plainStem || std::all_of(stem.begin(), stem.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
  });
}

std::string Num(int64_t n) { return std::to_string(n); }

int64_t CandidatesIn(std::string_view bytes) {
  const size_t first = bytes.find('\n');
  if (first == std::string_view::npos) return 0;
  const size_t second = bytes.find('\n', first + 1);
  std::string_view line = bytes.substr(
      first + 1, second == std::string_view::npos ? std::string_view::npos : second - first - 1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  const size_t eq = line.find('=');
  const std::string_view digits = eq == std::string_view::npos ? "" : line.substr(eq + 1);
  if (digits.empty() || digits.size() > 9 || !text::IsAllDigits(digits)) return 0;
  return std::stoll(std::string(digits));
}

struct TCounts {
  int64_t items = 0, candidates = 0, presets = 0, photos = 0, pictures = 0, music = 0;
};

std::string CountsText(const TCounts& c) {
  std::string s = G("奖项") + Num(c.items) + G("个，名单") + Num(c.candidates) + G("人");
  if (c.presets) s += G("，预设") + Num(c.presets) + G("人");
  if (c.photos) s += G("，照片") + Num(c.photos) + G("张");
  if (c.pictures) s += G("，图片") + Num(c.pictures) + G("张");
  if (c.music) s += G("，背景音乐");
  return s;
}

int64_t Lines(std::string_view bytes) {
  int64_t n = 0;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string_view::npos) end = bytes.size();
    if (!text::TrimView(bytes.substr(start, end - start)).empty()) ++n;
    start = end + 1;
  }
  return n;
}

TCounts CountsOf(const TEventPackage& pkg) {
  TCounts c;
  c.items = static_cast<int64_t>(pkg.Items.size());
  for (const TPackedFile& f : pkg.Files) {
    if (f.Entry == pkg.ListEntry) c.candidates = CandidatesIn(f.Bytes);
    if (f.Entry.rfind("presets/", 0) == 0) c.presets += Lines(f.Bytes);
    if (f.Entry.rfind("photos/", 0) == 0) ++c.photos;
  }
  c.pictures = (pkg.BackgroundEntry.empty() ? 0 : 1);
  for (const std::string& e : pkg.PrizeEntries) c.pictures += e.empty() ? 0 : 1;
  c.music = pkg.MusicEntry.empty() ? 0 : 1;
  return c;
}

// The ids, each followed by LF.
std::string IdLines(const std::vector<std::string>& ids) {
  std::string out;
  for (const std::string& id : ids) out += id + "\n";
  return out;
}

bool IsHex64(std::string_view s) {
  return s.size() == 64 && std::all_of(s.begin(), s.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
         });
}

// The tasks the rules text `gbkRules` excludes; none when it does not parse (the import
// refuses such rules itself).
std::vector<int32_t> ExcludedTasks(const std::string* gbkRules) {
  TTaskRules rules;
  std::string ignored;
  if (!gbkRules || !ParseRules(*gbkRules, rules, ignored)) return {};
  return rules.ExcludeTasks;
}

// What task `taskId` looks like as an exclusion here: its name and its winners.
bool ExclusionHere(int32_t taskId, TPackedExclusion& out, std::string& error) {
  out = TPackedExclusion();
  out.TaskId = taskId;
  TLuckTask task;
  std::string ignored;
  if (LoadLuckTask(taskId, task, ignored)) out.Name = task.TaskName;
  if (!CurrentWinnerIds(taskId, out.Ids, error)) return false;
  std::sort(out.Ids.begin(), out.Ids.end());
  out.Ids.erase(std::unique(out.Ids.begin(), out.Ids.end()), out.Ids.end());
  out.Fingerprint = ExcludedHashOf(out.Ids);
  return true;
}

// --- sections ----------------------------------------------------------------------------
//
// A package is made of sections (the settings, the items, the list, the pictures, ...). Each
// writes its manifest lines and entries, reads its lines back and checks its entries, and
// knows from which version of the format it exists: a new version adds a section.

// Where a section's lines and entries go in the package: before the items, with each item
// (in the items' order), or after them.
enum class TPlace { BeforeItems, PerItem, AfterItems };

// An export under way: the task's rows and what has been written so far.
struct TWriting {
  int32_t TaskId = 0;
  TRow Task;
  std::vector<TRow> Items;
  std::string ListPath;  // the task's draw data file
  std::string Manifest;  // the lines after the head
  TCounts Counts;
  std::string Warning;  // added to the summary
  sheet::ZipWriter Zip;
  std::vector<std::unique_ptr<std::string>> Kept;  // the entries' bytes, alive until Finish
  uint64_t Total = 0;

  // Adds the file at `gbkPath` as `entry`; its bytes stay in Kept.back().
  bool Add(const std::string& entry, const std::string& gbkPath, std::string& error) {
    auto bytes = std::make_unique<std::string>();
    std::string why;
    if (!files::ReadWholeFile(gbkPath, *bytes, why)) {
      error = G("无法读取文件") + gbkPath + G("：") + why;
      return false;
    }
    Total += bytes->size();
    // What the import would refuse is not written.
    if (Total > kMaxPackageBytes) {
      error = G("活动包会超过1024MB，无法导出；请减少照片或图片的大小");
      return false;
    }
    if (!Zip.Add(entry, *bytes)) {
      error = G("无法创建压缩文件");
      return false;
    }
    Kept.push_back(std::move(bytes));
    return true;
  }

  // A file the task names must go along, as media/<stem>.<ext>; an empty name is none, and
  // leaves `entry` empty.
  bool Media(const std::string& what, const std::string* path, const std::string& stem,
             std::string& entry, std::string& error) {
    entry.clear();
    if (!path || text::Trim(*path).empty()) return true;
    if (!paths::FileExists(*path)) {
      error = what + G("文件不存在，无法导出：") + *path;
      return false;
    }
    entry = "media/" + stem + "." + Extension(*path);
    return Add(entry, *path, error);
  }
};

// A package being read: the manifest's lines gathered into `Pkg`.
struct TReading {
  explicit TReading(TEventPackage& pkg) : Pkg(pkg) {}
  TEventPackage& Pkg;
  std::map<size_t, TRow> Items;
  std::map<size_t, std::string> Prizes;
  std::set<std::string> Named;  // entries the manifest names
  std::set<std::string> ItemIds;
  bool RollSeen = false;
};

using TFields = std::vector<std::string_view>;
// Files of an install: where each is staged and where it goes.
using TPlaces = std::vector<std::pair<std::string, std::string>>;

// Where an imported task's pictures and music go.
std::string MediaDir(int32_t id) {
  return paths::DataFileDir() + "MEDIA_" + std::to_string(id) + "/";
}

bool IsColumnName(std::string_view name) {
  return !name.empty() && name.size() <= 64 && std::all_of(name.begin(), name.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
  });
}

bool IsSmallNumber(std::string_view s, size_t digits) {
  return !s.empty() && s.size() <= digits && text::IsAllDigits(s);
}

class TSection {
 public:
  virtual ~TSection() = default;
  // The first version of the format with this section: a package with any of its lines is
  // written with at least this version.
  virtual int Since() const { return 1; }
  virtual TPlace Place() const { return TPlace::BeforeItems; }
  // The task's (or for PerItem sections the items') path column whose file the section
  // carries: written empty, given the file's new path on import.
  virtual std::string_view PathColumn() const { return {}; }
  // The folder of its entries, "<folder>/", when it has one.
  virtual std::string_view Folder() const { return {}; }

  // Export: adds the section's lines to w.Manifest and its entries to w.Zip, for the task
  // (or for item `item` of a PerItem section). False with the error text.
  virtual bool Write(TWriting&, std::string&) const { return true; }
  virtual bool WriteItem(TWriting&, size_t /*item*/, std::string&) const { return true; }

  // Reading: takes the manifest line `f` when it is one of the section's and sound; false
  // leaves `r` as it was.
  virtual bool Line(const TFields&, TReading&) const { return false; }
  // After every line, first every section's Gather (putting what was read in order), then
  // every section's Check (what must be there). False with the error text.
  virtual bool Gather(TReading&, std::string&) const { return true; }
  virtual bool Check(TReading&, std::string&) const { return true; }
  // Whether the file entry `n` (not a folder) is one of the section's.
  virtual bool Owns(const std::string&, const TReading&) const { return false; }
  // After every entry is unpacked. False with the error text.
  virtual bool Unpacked(const TEventPackage&, std::string&) const { return true; }

  // Install: where the section's file `entry` goes for task `id`; false when not its own.
  virtual bool Target(const std::string&, const TEventPackage&, int32_t /*id*/,
                      std::string& /*target*/) const {
    return false;
  }
  // The entry whose file fills PathColumn() (of item `item` for a PerItem section), or empty.
  virtual std::string EntryOf(const TEventPackage&, size_t /*item*/) const { return {}; }
  // After every file is staged: more files to stage in `staging` as (staged, final).
  virtual bool Stage(const TEventPackage&, int32_t /*id*/, const std::string& /*staging*/, TPlaces&,
                     std::string&) const {
    return true;
  }
  // After the rows are in, in the same transaction: what the section keeps elsewhere.
  virtual bool Store(const TEventPackage&, int32_t /*id*/, std::string&) const { return true; }
};

// The start of every manifest error: "…第<n>行" or what is wrong.
std::string Bad() { return G("活动包的清单有误，第"); }

// `roll` TAB sphere|numbers: how the draw screen rolls; written only for 名单球.
class TRollSection final : public TSection {
 public:
  int Since() const override { return kRollVersion; }
  bool Write(TWriting& w, std::string& error) const override {
    TRollStyle style = TRollStyle::Numbers;
    if (!config::LoadRollStyle(w.TaskId, style, error)) return false;
    if (style == TRollStyle::Sphere) w.Manifest += "roll\tsphere\n";
    return true;
  }
  bool Line(const TFields& f, TReading& r) const override {
    if (f[0] != "roll" || f.size() != 2 || r.RollSeen || (f[1] != "sphere" && f[1] != "numbers"))
      return false;
    r.RollSeen = true;
    r.Pkg.RollStyle = f[1] == "sphere" ? TRollStyle::Sphere : TRollStyle::Numbers;
    return true;
  }
  // Always stored: a row left by a deleted task of the same id must not decide the look.
  bool Store(const TEventPackage& pkg, int32_t id, std::string& error) const override {
    return config::SaveRollStyle(id, pkg.RollStyle, error);
  }
};

// The list: `file` TAB list TAB list.txt and its entry.
class TListSection final : public TSection {
 public:
  std::string_view PathColumn() const override { return kDataColumn; }
  bool Write(TWriting& w, std::string& error) const override {
    if (!paths::FileExists(w.ListPath)) return true;
    if (!w.Add("list.txt", w.ListPath, error)) return false;
    w.Counts.candidates = CandidatesIn(*w.Kept.back());
    w.Manifest += "file\tlist\tlist.txt\n";
    return true;
  }
  bool Line(const TFields& f, TReading& r) const override {
    if (f[0] != "file" || f.size() != 3 || f[1] != "list" || f[2] != "list.txt" ||
        !r.Pkg.ListEntry.empty())
      return false;
    r.Pkg.ListEntry = std::string(f[2]);
    r.Named.insert(r.Pkg.ListEntry);
    return true;
  }
  bool Owns(const std::string& n, const TReading& r) const override {
    return n == "list.txt" && r.Pkg.ListEntry == n;
  }
  bool Unpacked(const TEventPackage& pkg, std::string& error) const override {
    if (pkg.ListEntry.empty()) return true;
    const auto list = std::find_if(pkg.Files.begin(), pkg.Files.end(),
                                   [&](const TPackedFile& f) { return f.Entry == pkg.ListEntry; });
    const std::string_view b = list->Bytes;
    if (b.substr(0, 5) == "BEGIN" && CandidatesIn(b) >= 1) return true;
    error = G("活动包中的名单不是抽奖名单文件");
    return false;
  }
  bool Target(const std::string& entry, const TEventPackage& pkg, int32_t id,
              std::string& target) const override {
    if (pkg.ListEntry.empty() || entry != pkg.ListEntry) return false;
    target = paths::DrawDataPath(id);
    return true;
  }
  std::string EntryOf(const TEventPackage& pkg, size_t) const override { return pkg.ListEntry; }
  // The list's fingerprint, as an import leaves it: the one the list's import left on the
  // first machine when the package has it, else the list's own.
  bool Stage(const TEventPackage& pkg, int32_t id, const std::string& staging, TPlaces& places,
             std::string& error) const override {
    if (pkg.ListEntry.empty()) return true;
    const std::string staged = staging + "fingerprint";
    std::string hex;
    const auto list = std::find_if(places.begin(), places.end(), [&](const auto& p) {
      return p.second == paths::DrawDataPath(id);
    });
    if (list == places.end() ||
        (pkg.ListFingerprint.empty() ? !Sha256File(list->first, hex, error)
                                     : (hex = pkg.ListFingerprint, false)) ||
        !files::WriteFileAtomic(staged, hex + "\r\n", error))
      return false;
    places.emplace_back(staged, ListFingerprintPath(id));
    return true;
  }
};

// A picture or the music of the task: `file` TAB <stem> TAB media/<stem>.<ext>.
class TTaskMediaSection final : public TSection {
 public:
  TTaskMediaSection(std::string_view stem, std::string_view column, const char* what,
                    std::string TEventPackage::*entry, int64_t TCounts::*count)
      : m_stem(stem), m_column(column), m_what(what), m_entry(entry), m_count(count) {}
  std::string_view PathColumn() const override { return m_column; }
  std::string_view Folder() const override { return "media/"; }
  bool Write(TWriting& w, std::string& error) const override {
    std::string entry;
    if (!w.Media(G(m_what), Value(w.Task, m_column), std::string(m_stem), entry, error))
      return false;
    if (entry.empty()) return true;
    w.Manifest += "file\t" + std::string(m_stem) + "\t" + entry + "\n";
    ++(w.Counts.*m_count);
    return true;
  }
  bool Line(const TFields& f, TReading& r) const override {
    std::string stem;
    std::string& slot = r.Pkg.*m_entry;
    if (f[0] != "file" || f.size() != 3 || f[1] != m_stem || !MediaName(f[2], "media/", stem) ||
        stem != m_stem || !slot.empty())
      return false;
    slot = std::string(f[2]);
    r.Named.insert(slot);
    return true;
  }
  bool Owns(const std::string& n, const TReading& r) const override {
    std::string stem;
    return MediaName(n, "media/", stem) && n == r.Pkg.*m_entry;
  }
  bool Target(const std::string& entry, const TEventPackage& pkg, int32_t id,
              std::string& target) const override {
    if ((pkg.*m_entry).empty() || entry != pkg.*m_entry) return false;
    target = MediaDir(id) + entry.substr(6);
    return true;
  }
  std::string EntryOf(const TEventPackage& pkg, size_t) const override { return pkg.*m_entry; }

 private:
  std::string_view m_stem, m_column;
  const char* m_what;
  std::string TEventPackage::*m_entry;
  int64_t TCounts::*m_count;
};

// The task's settings: `task` TAB column TAB value, every LuckTask column.
class TSettingsSection final : public TSection {
 public:
  bool Write(TWriting& w, std::string& error) const override;
  bool Line(const TFields& f, TReading& r) const override {
    std::string value;
    if (f[0] != "task" || f.size() != 3 || !IsColumnName(f[1]) || !Unescape(f[2], value) ||
        Value(r.Pkg.Task, f[1]))
      return false;
    r.Pkg.Task.emplace_back(std::string(f[1]), text::Utf8ToGbk(value));
    return true;
  }
  bool Check(TReading& r, std::string& error) const override {
    const std::string* id = Value(r.Pkg.Task, "TaskId");
    if (id && IsSmallNumber(*id, 9) && std::stol(*id) >= 1 && Value(r.Pkg.Task, "TaskName"))
      return true;
    error = Bad() + G("抽奖项目缺少序号或名称");
    return false;
  }
};

// The tasks the rules exclude: `exclude` TAB id TAB name TAB fingerprint TAB ids.
class TExclusionsSection final : public TSection {
 public:
  int Since() const override { return 2; }
  bool Write(TWriting& w, std::string& error) const override {
    // Each excluded task's winners travel as they stand: its id alone would name another task.
    for (int32_t other : ExcludedTasks(Value(w.Task, "Rules"))) {
      TPackedExclusion x;
      if (!ExclusionHere(other, x, error)) {
        error = G("无法读取被排除的抽奖任务") + Num(other) + G("的中奖名单：") + error;
        return false;
      }
      w.Manifest += "exclude\t" + Num(other) + "\t" + Escape(text::GbkToUtf8(x.Name)) + "\t" +
                    x.Fingerprint + "\t" + Escape(text::GbkToUtf8(IdLines(x.Ids))) + "\n";
    }
    return true;
  }
  bool Line(const TFields& f, TReading& r) const override {
    std::string name, ids;
    if (f[0] != "exclude" || f.size() != 5 || !IsSmallNumber(f[1], 9) || !IsHex64(f[3]) ||
        !Unescape(f[2], name) || !Unescape(f[4], ids))
      return false;
    TPackedExclusion x;
    x.TaskId = static_cast<int32_t>(std::stol(std::string(f[1])));
    x.Name = text::Utf8ToGbk(name);
    x.Fingerprint = std::string(f[3]);
    ids = text::Utf8ToGbk(ids);
    for (std::string_view id : text::SplitAt(ids, '\n'))
      if (!id.empty()) x.Ids.emplace_back(id);
    // The ids must be what their fingerprint says, and each a rule's token.
    if (ExcludedHashOf(x.Ids) != x.Fingerprint ||
        std::any_of(r.Pkg.Exclusions.begin(), r.Pkg.Exclusions.end(),
                    [&](const TPackedExclusion& o) { return o.TaskId == x.TaskId; }) ||
        std::any_of(x.Ids.begin(), x.Ids.end(), [](const std::string& id) {
          return std::any_of(id.begin(), id.end(),
                             [](char c) { return static_cast<unsigned char>(c) <= 32; });
        }))
      return false;
    r.Pkg.Exclusions.push_back(std::move(x));
    return true;
  }
};

// `fingerprint` TAB hex: the list's fingerprint as its import left it.
class TFingerprintSection final : public TSection {
 public:
  int Since() const override { return 2; }
  bool Write(TWriting& w, std::string&) const override {
    // The import's fingerprint, not one of the list as it is now: an edit since then stays
    // visible on the other machine.
    std::string recorded, ignoredError;
    if (!files::ReadWholeFile(ListFingerprintPath(w.TaskId), recorded, ignoredError) ||
        !IsHex64(text::Trim(recorded)))
      return true;
    recorded = text::Trim(recorded);
    w.Manifest += "fingerprint\t" + recorded + "\n";
    std::string now;
    if (paths::FileExists(w.ListPath) && Sha256File(w.ListPath, now, ignoredError) &&
        now != recorded)
      w.Warning =
          G("。注意：名单文件在导入后被改动过（指纹与导入时不符），"
            "备用电脑的开场前检查同样会指出，请重新导入名单后再导出");
    return true;
  }
  bool Line(const TFields& f, TReading& r) const override {
    if (f[0] != "fingerprint" || f.size() != 2 || !IsHex64(f[1]) || !r.Pkg.ListFingerprint.empty())
      return false;
    r.Pkg.ListFingerprint = std::string(f[1]);
    return true;
  }
};

// The prize items: `item` TAB n TAB column TAB value, every TaskItem column.
class TItemsSection final : public TSection {
 public:
  TPlace Place() const override { return TPlace::PerItem; }
  bool WriteItem(TWriting& w, size_t item, std::string& error) const override;
  bool Line(const TFields& f, TReading& r) const override {
    std::string value;
    if (f[0] != "item" || f.size() != 4 || !IsColumnName(f[2]) || !Unescape(f[3], value) ||
        !IsSmallNumber(f[1], 4))
      return false;
    const size_t k = std::stoul(std::string(f[1]));
    const auto it = r.Items.find(k);
    if (it != r.Items.end() && Value(it->second, f[2])) return false;
    r.Items[k].emplace_back(std::string(f[2]), text::Utf8ToGbk(value));
    return true;
  }
  // Items numbered 0, 1, … without a gap.
  bool Gather(TReading& r, std::string& error) const override {
    for (size_t k = 0; k < r.Items.size(); ++k) {
      const auto it = r.Items.find(k);
      if (it == r.Items.end()) {
        error = Bad() + G("奖项编号不连续");
        return false;
      }
      r.Pkg.Items.push_back(std::move(it->second));
    }
    return true;
  }
  // Each with its id and name, the ids all different.
  bool Check(TReading& r, std::string& error) const override {
    for (const TRow& row : r.Pkg.Items) {
      const std::string* id = Value(row, "ItemId");
      if (!id || !IsSmallNumber(*id, 9) || !Value(row, "ItemName") ||
          !r.ItemIds.insert(*id).second) {
        error = Bad() + G("奖项缺少编号或名称，或编号重复");
        return false;
      }
    }
    return true;
  }
};

// An item's prize picture: `file` TAB prize TAB n TAB media/prize_<n>.<ext>.
class TPrizeSection final : public TSection {
 public:
  TPlace Place() const override { return TPlace::PerItem; }
  std::string_view PathColumn() const override { return kPrizeColumn; }
  std::string_view Folder() const override { return "media/"; }
  bool WriteItem(TWriting& w, size_t item, std::string& error) const override {
    const std::string index = Num(static_cast<int64_t>(item));
    const std::string* itemName = Value(w.Items[item], "ItemName");
    std::string entry;
    if (!w.Media(G("奖项[") + (itemName ? *itemName : "") + G("]的奖品图片"),
                 Value(w.Items[item], kPrizeColumn), "prize_" + index, entry, error))
      return false;
    if (entry.empty()) return true;
    w.Manifest += "file\tprize\t" + index + "\t" + entry + "\n";
    ++w.Counts.pictures;
    return true;
  }
  bool Line(const TFields& f, TReading& r) const override {
    std::string stem;
    if (f[0] != "file" || f.size() != 4 || f[1] != "prize" || !IsSmallNumber(f[2], 4) ||
        !MediaName(f[3], "media/", stem) || stem != "prize_" + std::string(f[2]))
      return false;
    const size_t k = std::stoul(std::string(f[2]));
    if (r.Prizes.count(k)) return false;
    r.Prizes[k] = std::string(f[3]);
    r.Named.insert(r.Prizes[k]);
    return true;
  }
  bool Gather(TReading& r, std::string& error) const override {
    for (const auto& [k, entry] : r.Prizes) {
      if (k < r.Pkg.Items.size()) continue;
      error = Bad() + G("奖品图片属于不存在的奖项");
      return false;
    }
    r.Pkg.PrizeEntries.assign(r.Pkg.Items.size(), std::string());
    for (const auto& [k, entry] : r.Prizes) r.Pkg.PrizeEntries[k] = entry;
    return true;
  }
  bool Owns(const std::string& n, const TReading& r) const override {
    std::string stem;
    return MediaName(n, "media/", stem) && r.Named.count(n) > 0 &&
           std::find(r.Pkg.PrizeEntries.begin(), r.Pkg.PrizeEntries.end(), n) !=
               r.Pkg.PrizeEntries.end();
  }
  bool Target(const std::string& entry, const TEventPackage& pkg, int32_t id,
              std::string& target) const override {
    if (entry.empty() || std::find(pkg.PrizeEntries.begin(), pkg.PrizeEntries.end(), entry) ==
                             pkg.PrizeEntries.end())
      return false;
    target = MediaDir(id) + entry.substr(6);
    return true;
  }
  std::string EntryOf(const TEventPackage& pkg, size_t item) const override {
    return item < pkg.PrizeEntries.size() ? pkg.PrizeEntries[item] : std::string();
  }
};

// An item's preset winners: presets/<ItemId>.txt, no manifest line.
class TPresetsSection final : public TSection {
 public:
  TPlace Place() const override { return TPlace::PerItem; }
  std::string_view Folder() const override { return "presets/"; }
  bool WriteItem(TWriting& w, size_t item, std::string& error) const override {
    const std::string* itemId = Value(w.Items[item], "ItemId");
    if (!itemId) return true;
    const std::string preset = paths::PresetFilePath(std::to_string(w.TaskId), *itemId);
    if (!paths::FileExists(preset)) return true;
    if (!w.Add("presets/" + *itemId + ".txt", preset, error)) return false;
    w.Counts.presets += Lines(*w.Kept.back());
    return true;
  }
  bool Owns(const std::string& n, const TReading& r) const override {
    std::string stem;
    return MediaName(n, "presets/", stem) && n.substr(n.size() - 4) == ".txt" &&
           r.ItemIds.count(stem) > 0;
  }
  bool Target(const std::string& entry, const TEventPackage&, int32_t id,
              std::string& target) const override {
    if (entry.rfind("presets/", 0) != 0) return false;
    target = paths::PresetFilePath(std::to_string(id), entry.substr(8, entry.size() - 12));
    return true;
  }
};

// The candidates of a list file's bytes: the lines between its head (BEGIN, COUNT=,
// ID_MAX_LENGTH=, the title) and END.
std::vector<std::string> ListCandidates(std::string_view bytes) {
  std::vector<std::string> out;
  size_t k = 0;
  for (std::string_view line : text::SplitAt(bytes, '\n')) {
    line = text::TrimView(line);
    if (k++ < 4 || line.empty()) continue;
    if (line == "END") break;
    out.emplace_back(line);
  }
  return out;
}

// An item's named award (指定颁奖): `file` TAB named TAB named/<ItemId>.txt, its ids as kept.
// Set-up like the presets, but newer: an older program refuses the package by its version
// rather than hand the award out by a roll.
class TNamedSection final : public TSection {
 public:
  int Since() const override { return kNamedVersion; }
  TPlace Place() const override { return TPlace::PerItem; }
  std::string_view Folder() const override { return "named/"; }
  bool WriteItem(TWriting& w, size_t item, std::string& error) const override {
    const std::string* itemId = Value(w.Items[item], "ItemId");
    if (!itemId || !IsSmallNumber(*itemId, 9)) return true;
    const std::string path = NamedAwardPath(w.TaskId, std::stoi(*itemId));
    if (!paths::FileExists(path)) return true;
    const std::string entry = "named/" + *itemId + ".txt";
    if (!w.Add(entry, path, error)) return false;
    w.Manifest += "file\tnamed\t" + entry + "\n";
    return true;
  }
  bool Line(const TFields& f, TReading& r) const override {
    std::string stem;
    if (f[0] != "file" || f.size() != 3 || f[1] != "named" || !MediaName(f[2], "named/", stem) ||
        !f[2].ends_with(".txt") || !IsSmallNumber(stem, 9) || r.Named.count(std::string(f[2])))
      return false;
    r.Pkg.NamedEntries.emplace_back(f[2]);
    r.Named.insert(std::string(f[2]));
    return true;
  }
  bool Check(TReading& r, std::string& error) const override {
    for (const std::string& e : r.Pkg.NamedEntries) {
      if (r.ItemIds.count(e.substr(6, e.size() - 10))) continue;
      error = Bad() + G("指定颁奖名单属于不存在的奖项");
      return false;
    }
    return true;
  }
  bool Owns(const std::string& n, const TReading& r) const override {
    return std::find(r.Pkg.NamedEntries.begin(), r.Pkg.NamedEntries.end(), n) !=
           r.Pkg.NamedEntries.end();
  }
  // Every named id is on the package's list, once: the draw would refuse the task otherwise.
  bool Unpacked(const TEventPackage& pkg, std::string& error) const override {
    if (pkg.NamedEntries.empty()) return true;
    const auto bytesOf = [&](const std::string& entry) -> std::string_view {
      for (const TPackedFile& f : pkg.Files)
        if (f.Entry == entry) return f.Bytes;
      return {};
    };
    const std::vector<std::string> lines = ListCandidates(bytesOf(pkg.ListEntry));
    for (const std::string& e : pkg.NamedEntries) {
      const std::string itemId = e.substr(6, e.size() - 10);
      const std::string* name = nullptr;
      for (const TRow& row : pkg.Items)
        if (const std::string* id = Value(row, "ItemId"); id && *id == itemId)
          name = Value(row, "ItemName");
      std::vector<std::string> ids;
      for (std::string_view line : text::SplitAt(bytesOf(e), '\n'))
        if (!text::TrimView(line).empty()) ids.emplace_back(text::TrimView(line));
      std::vector<int32_t> candidates;
      std::string why;
      if (ids.empty()) why = G("奖项[") + (name ? *name : itemId) + G("]的指定颁奖名单是空的");
      if (!ids.empty() && NamedCandidates(ids, lines, name ? *name : itemId, candidates, why))
        continue;
      error = G("活动包中的指定颁奖名单有误：") + why + G("，未导入任何内容");
      return false;
    }
    return true;
  }
  bool Target(const std::string& entry, const TEventPackage& pkg, int32_t id,
              std::string& target) const override {
    if (std::find(pkg.NamedEntries.begin(), pkg.NamedEntries.end(), entry) ==
        pkg.NamedEntries.end())
      return false;
    target = NamedAwardPath(id, std::stoi(entry.substr(6, entry.size() - 10)));
    return true;
  }
};

// The winners' photos: photos/<id>.<ext>, no manifest line.
class TPhotosSection final : public TSection {
 public:
  TPlace Place() const override { return TPlace::AfterItems; }
  std::string_view Folder() const override { return "photos/"; }
  bool Write(TWriting& w, std::string& error) const override {
    std::vector<std::string> names;
    std::string ignored;
    if (!photos::ListFolder(photos::PhotoDir(w.TaskId), names, ignored)) return true;
    std::sort(names.begin(), names.end());
    for (const std::string& n : names) {
      std::string id;
      if (!photos::PictureId(n, id) || !photos::IdNamesFile(id)) continue;
      if (!w.Add("photos/" + text::GbkToUtf8(n), photos::PhotoDir(w.TaskId) + n, error))
        return false;
      ++w.Counts.photos;
    }
    return true;
  }
  bool Owns(const std::string& n, const TReading&) const override {
    std::string stem, id;
    return MediaName(n, "photos/", stem, false) && text::IsValidUtf8(n) &&
           photos::PictureId(text::Utf8ToGbk(n.substr(7)), id) && photos::IdNamesFile(id);
  }
  bool Target(const std::string& entry, const TEventPackage&, int32_t id,
              std::string& target) const override {
    if (entry.rfind("photos/", 0) != 0) return false;
    target = photos::PhotoDir(id) + text::Utf8ToGbk(entry.substr(7));
    return true;
  }
};

// Every section, in the order their lines and entries are written.
const std::vector<const TSection*>& Sections() {
  static const TRollSection roll;
  static const TListSection list;
  static const TTaskMediaSection background("background", kBackgroundColumn, "背景图片",
                                            &TEventPackage::BackgroundEntry, &TCounts::pictures);
  static const TTaskMediaSection music("music", kMusicColumn, "背景音乐",
                                       &TEventPackage::MusicEntry, &TCounts::music);
  static const TSettingsSection settings;
  static const TExclusionsSection exclusions;
  static const TFingerprintSection fingerprint;
  static const TItemsSection items;
  static const TPrizeSection prize;
  static const TPresetsSection presets;
  static const TNamedSection named;
  static const TPhotosSection photos;
  static const std::vector<const TSection*> all = {&roll,     &list,       &background,  &music,
                                                   &settings, &exclusions, &fingerprint, &items,
                                                   &prize,    &presets,    &named,       &photos};
  return all;
}

// The newest version any section needs.
int NewestVersion() {
  int v = kVersion;
  for (const TSection* s : Sections()) v = std::max(v, s->Since());
  return v;
}

// Whether `column` is a path column of the task (or with `item` of the items): its file
// travels as an entry.
bool IsPathColumn(std::string_view column, bool item) {
  return std::any_of(Sections().begin(), Sections().end(), [&](const TSection* s) {
    return (s->Place() == TPlace::PerItem) == item && !s->PathColumn().empty() &&
           Same(column, s->PathColumn());
  });
}

// A row's lines: `<prefix><column> TAB <value>`, path columns written empty.
std::string RowLines(const std::string& prefix, const TRow& row, bool item) {
  std::string out;
  for (const auto& [name, value] : row)
    out += prefix + name + "\t" + Escape(text::GbkToUtf8(IsPathColumn(name, item) ? "" : value)) +
           "\n";
  return out;
}

bool TSettingsSection::Write(TWriting& w, std::string&) const {
  w.Manifest += RowLines("task\t", w.Task, false);
  return true;
}

bool TItemsSection::WriteItem(TWriting& w, size_t item, std::string&) const {
  w.Manifest += RowLines("item\t" + Num(static_cast<int64_t>(item)) + "\t", w.Items[item], true);
  return true;
}

// The items as the task's draw left them (ItemsAsDrawn): an item added live after the
// task's own, counts as changed, and the rows in the order drawn, which their ListIndex
// values (the rows' own, then one more for each added item) follow. A task never drawn
// keeps its rows.
void ApplyDrawnPlan(int32_t taskId, const std::vector<TColumn>& itemCols,
                    std::vector<TRow>& items) {
  TJournal journal;
  if (!ReadLastJournal(taskId, journal)) return;
  TArrLuckItem planned;
  std::vector<int64_t> listIndex;
  for (const TRow& row : items) {
    TLuckItem it;
    const std::string* id = Value(row, "ItemId");
    it.ItemId = id && IsSmallNumber(*id, 9) ? std::stoi(*id) : -1;
    if (const std::string* n = Value(row, "LuckCount"); n && IsSmallNumber(*n, 9))
      it.LuckCount = std::stoi(*n);
    it.TaskId = taskId;
    planned.push_back(std::move(it));
    const std::string* k = Value(row, "ListIndex");
    listIndex.push_back(k && IsSmallNumber(*k, 9) ? std::stol(*k) : -1);
  }
  const TArrLuckItem drawn = ItemsAsDrawn(planned, journal);
  std::vector<TRow> rows;
  for (const TLuckItem& it : drawn) {
    const auto at = std::find_if(planned.begin(), planned.end(),
                                 [&](const TLuckItem& p) { return p.ItemId == it.ItemId; });
    if (at != planned.end()) {
      TRow row = items[static_cast<size_t>(at - planned.begin())];
      if (it.LuckCount != at->LuckCount) row = With(std::move(row), "LuckCount", Num(it.LuckCount));
      rows.push_back(std::move(row));
      continue;
    }
    listIndex.push_back(
        (listIndex.empty() ? -1 : *std::max_element(listIndex.begin(), listIndex.end())) + 1);
    const std::map<std::string, std::string> known = {
        {"ItemId", Num(it.ItemId)},       {"ItemName", it.ItemName},
        {"TaskId", Num(taskId)},          {"LuckCount", Num(it.LuckCount)},
        {"ListCount", Num(it.ListCount)}, {"AwardName", it.AwardName}};
    TRow row;
    for (const TColumn& c : itemCols) {
      const auto v = known.find(c.name);
      row.emplace_back(c.name, v != known.end() ? v->second : c.integer ? "0" : "");
    }
    rows.push_back(std::move(row));
  }
  // The order is the rows': their ListIndex values, ascending, follow it.
  std::sort(listIndex.begin(), listIndex.end());
  for (size_t i = 0; i < rows.size() && i < listIndex.size(); ++i)
    if (listIndex[i] >= 0) rows[i] = With(std::move(rows[i]), "ListIndex", Num(listIndex[i]));
  items = std::move(rows);
}

// Runs one section's writing; a section that wrote a line needs its version.
bool WriteSection(const TSection& s, TWriting& w, std::optional<size_t> item, int& version,
                  std::string& error) {
  const size_t before = w.Manifest.size();
  if (!(item ? s.WriteItem(w, *item, error) : s.Write(w, error))) return false;
  if (w.Manifest.size() != before) version = std::max(version, s.Since());
  return true;
}

}  // namespace

// --- export ------------------------------------------------------------------------------

bool ExportEventPackage(int32_t taskId, std::string_view gbkZipPath, std::string& summary,
                        std::string& error) {
  summary.clear();
  if (gbkZipPath.empty()) {
    error = G("文件名为空，请选择文件名");
    return false;
  }
  std::vector<TColumn> taskCols, itemCols;
  if (!Columns("LuckTask", taskCols, error) || !Columns("TaskItem", itemCols, error)) return false;
  // How often this machine opened the draw is its own record, not a setting: the task a
  // package adds counts its openings from none.
  std::erase_if(taskCols, [](const TColumn& c) {
    return Same(c.name, "Openings") || Same(c.name, "LastHead");
  });
  TWriting w;
  std::vector<TRow> tasks;
  if (!ReadRows("LuckTask", taskCols, "where TaskId=?", taskId, tasks, error) ||
      !ReadRows("TaskItem", itemCols, "where TaskId=? order by ListIndex", taskId, w.Items, error))
    return false;
  if (tasks.empty()) {
    error = G("抽奖项目不存在");
    return false;
  }
  if (!w.Zip.Ok()) {
    error = G("无法创建压缩文件");
    return false;
  }
  w.TaskId = taskId;
  w.Task = std::move(tasks.front());
  TLuckTask lt;
  lt.TaskId = taskId;
  if (const std::string* p = Value(w.Task, kDataColumn)) lt.DataFilePath = *p;
  w.ListPath = DrawDataFileOf(lt);
  ApplyDrawnPlan(taskId, itemCols, w.Items);
  w.Counts.items = static_cast<int64_t>(w.Items.size());

  int version = kVersion;
  for (const TPlace place : {TPlace::BeforeItems, TPlace::PerItem, TPlace::AfterItems}) {
    const size_t rounds = place == TPlace::PerItem ? w.Items.size() : 1;
    for (size_t i = 0; i < rounds; ++i) {
      for (const TSection* s : Sections()) {
        if (s->Place() != place) continue;
        const std::optional<size_t> item =
            place == TPlace::PerItem ? std::optional<size_t>(i) : std::nullopt;
        if (!WriteSection(*s, w, item, version, error)) return false;
      }
    }
  }
  w.Kept.push_back(
      std::make_unique<std::string>(std::string(kMagic) + "\t" + Num(version) + "\n" + w.Manifest));
  std::string out;
  // The manifest is added last but read first by name.
  if (!w.Zip.Add(std::string(kManifestEntry), *w.Kept.back()) || !w.Zip.Finish(out)) {
    error = G("无法创建压缩文件");
    return false;
  }
  if (!files::WriteFileAtomic(gbkZipPath, out, error)) return false;
  const std::string* name = Value(w.Task, "TaskName");
  summary =
      G("已导出抽奖项目[") + (name ? *name : "") + G("]：") + CountsText(w.Counts) + w.Warning;
  return true;
}

// --- reading -----------------------------------------------------------------------------

bool ReadEventPackage(std::string_view bytes, TEventPackage& pkg, std::string& error) {
  pkg = TEventPackage();
  const std::string foreign = G("这不是Qarvo抽奖软件的活动包，或文件已损坏");
  auto refuse = [&](std::string why) {
    error = std::move(why);
    pkg = TEventPackage();
    return false;
  };
  const std::string big = G("活动包解压后超过1024MB，不能导入");
  sheet::ZipArchive zip;
  std::string why;
  if (!zip.OpenBuffer(bytes, why))
    return refuse(why.find(G("解压后超过")) != std::string::npos ? big : foreign);

  // Every name first: only the format's own, each once (names are looked up in any case).
  const std::vector<std::string> names = zip.Names();
  std::set<std::string> seen;
  for (const std::string& n : names) {
    std::string lower = n;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (!seen.insert(lower).second) return refuse(G("活动包中有重复的文件：") + text::Utf8ToGbk(n));
  }
  if (!seen.count(std::string(kManifestEntry))) return refuse(foreign);
  std::string manifest;
  if (!zip.ReadPart(kManifestEntry, manifest, why) || manifest.size() > (16u << 20))
    return refuse(foreign);
  if (!text::IsValidUtf8(manifest)) return refuse(foreign);

  std::vector<std::string_view> lines;
  for (size_t start = 0; start < manifest.size();) {
    size_t end = manifest.find('\n', start);
    if (end == std::string::npos) end = manifest.size();
    std::string_view line(manifest.data() + start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!line.empty()) lines.push_back(line);
    start = end + 1;
  }
  if (lines.empty()) return refuse(foreign);
  const auto head = text::SplitAt(lines.front(), '\t');
  if (head.size() != 2 || head[0] != kMagic) return refuse(foreign);
  bool known = false;
  for (int v = 1; v <= NewestVersion(); ++v) known = known || head[1] == Num(v);
  if (!known)
    return refuse(G("活动包的格式版本") + std::string(head[1].substr(0, 8)) +
                  G("不是本程序能读的，请用较新版本的程序导入"));

  TReading r{pkg};
  for (size_t i = 1; i < lines.size(); ++i) {
    const TFields f = text::SplitAt(lines[i], '\t');
    if (std::none_of(Sections().begin(), Sections().end(),
                     [&](const TSection* s) { return s->Line(f, r); }))
      return refuse(Bad() + Num(static_cast<int64_t>(i + 1)) + G("行"));
  }
  for (const TSection* s : Sections())
    if (!s->Gather(r, why)) return refuse(why);
  for (const TSection* s : Sections())
    if (!s->Check(r, why)) return refuse(why);

  // Each entry: the manifest's own or a section's, or a section's folder.
  uint64_t total = 0;
  for (const std::string& n : names) {
    if (n == kManifestEntry) continue;
    const bool folder = !n.empty() && n.back() == '/';
    const bool ok = std::any_of(Sections().begin(), Sections().end(), [&](const TSection* s) {
      return folder ? s->Folder() == n : s->Owns(n, r);
    });
    if (folder && ok) continue;
    if (!ok) return refuse(G("活动包中有不属于活动包的文件：") + text::Utf8ToGbk(n));
    TPackedFile file{n, {}};
    bool tooBig = false;
    const bool read = zip.StreamPart(
        n,
        [&](const char* d, size_t size) {
          total += size;
          if (total > kMaxPackageBytes) return !(tooBig = true);
          file.Bytes.append(d, size);
          return true;
        },
        why);
    if (tooBig || (!read && why.find(G("解压后超过")) != std::string::npos)) return refuse(big);
    if (!read) return refuse(foreign);
    pkg.Files.push_back(std::move(file));
  }
  // Every file the manifest names is there.
  for (const std::string& n : r.Named) {
    if (std::none_of(pkg.Files.begin(), pkg.Files.end(),
                     [&](const TPackedFile& f) { return f.Entry == n; }))
      return refuse(G("活动包缺少文件：") + text::Utf8ToGbk(n));
  }
  for (const TSection* s : Sections())
    if (!s->Unpacked(pkg, why)) return refuse(why);
  return true;
}

// --- installing --------------------------------------------------------------------------

namespace {

// Files moved into place so far, to be put back on a failure.
class TMoves {
 public:
  bool Move(const std::string& from, const std::string& to, std::string& error) {
    if (paths::FileExists(to)) {
      error = G("文件已存在：") + to;
      return false;
    }
    if (!files::MoveFile(from, to, error)) return false;
    m_done.emplace_back(from, to);
    return true;
  }
  void Undo() {
    for (auto it = m_done.rbegin(); it != m_done.rend(); ++it) {
      std::string ignored;
      files::MoveFile(it->second, it->first, ignored);
    }
    m_done.clear();
  }
  void Keep() { m_done.clear(); }

 private:
  std::vector<std::pair<std::string, std::string>> m_done;
};

// True when anything on this machine names task `id` (config::TaskIdUsers), or when that
// cannot be told (with `error`).
bool Taken(int32_t id, std::string& error) {
  std::vector<std::string> users;
  return !config::TaskIdUsers(id, users, error) || !users.empty();
}

// Keeps the counter of `kind` past `id`, so it never hands that id out again.
bool KeepSequencePast(int kind, int64_t id, std::string& error) {
  db::TQuery q(TombolixDataModule->ADOConnection1);
  if (!db::OpenSql(q, db::sql::kSelectSequence, {int64_t{kind}}, error)) return false;
  q.First();
  if (q.Eof()) {
    int ignored = 0;
    if (!db::AllocateId(TombolixDataModule->ADOConnection1, q, kind, ignored, error)) return false;
    return KeepSequencePast(kind, id, error);
  }
  if (q.FieldAsInteger("SeqId") > id) return true;
  return db::ExecSql(q, db::sql::kUpdateSequence, {id + 1, int64_t{kind}}, error);
}

bool Insert(const char* table, const std::vector<TColumn>& cols, const TRow& row,
            std::string& error) {
  std::string sql = std::string("insert into ") + table + " (";
  std::string marks;
  db::Params params;
  for (const auto& field : row) {
    const std::string& name = field.first;
    const std::string& value = field.second;
    const auto col = std::find_if(cols.begin(), cols.end(),
                                  [&](const TColumn& c) { return Same(c.name, name); });
    if (col == cols.end()) continue;  // checked before: empty, nothing lost
    sql += (params.empty() ? "" : ", ") + col->name;
    marks += params.empty() ? "?" : ", ?";
    if (col->integer) {
      const bool negative = !value.empty() && value[0] == '-';
      const std::string digits = negative ? value.substr(1) : value;
      if (digits.empty() || digits.size() > 18 || !text::IsAllDigits(digits)) {
        error = G("活动包的清单有误：") + col->name + G("不是整数");
        return false;
      }
      params.emplace_back(static_cast<int64_t>(std::stoll(value)));
    } else {
      params.emplace_back(value);
    }
  }
  sql += ") values (" + marks + ")";
  db::TQuery q(TombolixDataModule->ADOConnection1);
  return db::ExecSql(q, sql, params, error);
}

// Columns of the package that this database lacks: refused when they hold anything (the
// task's draw rules of a newer program would be lost), else left out.
bool CheckColumns(const TRow& row, const std::vector<TColumn>& cols, std::string& error) {
  for (const auto& field : row) {
    const std::string& name = field.first;
    const std::string& value = field.second;
    const bool here =
        std::any_of(cols.begin(), cols.end(), [&](const TColumn& c) { return Same(c.name, name); });
    if (here || text::Trim(value).empty()) continue;
    error = Same(name, "Rules") ? G("活动包中有抽奖规则，需要较新版本的程序才能导入")
                                : G("活动包中有本程序不认识的设置：") + name;
    return false;
  }
  return true;
}

// The task's rules with each excluded task settled for this machine (see
// InstallEventPackage); `report` gets a line per excluded task.
bool SettleExclusions(const TEventPackage& pkg, std::string& rulesText, std::string& report,
                      std::string& error) {
  const std::string* given = Value(pkg.Task, "Rules");
  if (!given || given->empty()) return true;
  TTaskRules rules;
  std::string unreadable;
  // Rules that do not parse go in as they are: the draw refuses them in its own words.
  if (!ParseRules(*given, rules, unreadable) || rules.ExcludeTasks.empty()) return true;
  std::vector<int32_t> kept;
  for (int32_t other : rules.ExcludeTasks) {
    const auto carried =
        std::find_if(pkg.Exclusions.begin(), pkg.Exclusions.end(),
                     [other](const TPackedExclusion& x) { return x.TaskId == other; });
    TLuckTask task;
    std::string ignored;
    const bool exists = LoadLuckTask(other, task, ignored);
    TPackedExclusion here;
    if (exists && !ExclusionHere(other, here, error)) return false;
    std::string line = G("排除");
    if (carried == pkg.Exclusions.end()) {
      // A package of the first version names the task by its id alone.
      line += G("抽奖任务") + Num(other) + G("的中奖者：活动包未带其中奖名单，");
      if (exists) {
        kept.push_back(other);
        line += G("保留对本机同序号任务[") + here.Name + G("]的引用，请核对");
      } else {
        line += G("本机没有该任务，已去掉此排除规则，请核对");
      }
    } else {
      line += G("[") + carried->Name + G("]（序号") + Num(other) + G("）的中奖者：");
      // The same task: same id, same name, the same winners.
      if (exists && here.Name == carried->Name && here.Fingerprint == carried->Fingerprint) {
        kept.push_back(other);
        line += G("本机有同一任务，保留引用");
      } else {
        rules.ExcludeIds.insert(rules.ExcludeIds.end(), carried->Ids.begin(), carried->Ids.end());
        line += (exists ? G("本机同序号的任务不是同一任务") : G("本机没有该任务")) +
                G("，已改为固定的排除名单（") + Num(static_cast<int64_t>(carried->Ids.size())) +
                G("人）");
      }
    }
    report += "\n" + line;
  }
  rules.ExcludeTasks = kept;
  rulesText = FormatRules(rules);
  return true;
}

}  // namespace

bool InstallEventPackage(const TEventPackage& pkg, int32_t& taskId, std::string& summary,
                         std::string& error) {
  summary.clear();
  std::vector<TColumn> taskCols, itemCols;
  if (!Columns("LuckTask", taskCols, error) || !Columns("TaskItem", itemCols, error)) return false;
  if (!CheckColumns(pkg.Task, taskCols, error)) return false;
  for (const TRow& r : pkg.Items)
    if (!CheckColumns(r, itemCols, error)) return false;

  db::TConnection& c = TombolixDataModule->ADOConnection1;
  if (!db::ExecRaw(c, "begin immediate", error)) return false;
  std::string staging;
  TMoves moves;
  std::vector<std::string> folders;  // made for the task's files, removed again when empty
  auto fail = [&](std::string why) {
    moves.Undo();
    for (const std::string& f : folders) {
      std::error_code ec;
      fs::remove(paths::NativePath(f), ec);
    }
    std::string ignored;
    db::ExecRaw(c, "rollback", ignored);
    if (!staging.empty()) {
      std::error_code ec;
      fs::remove_all(paths::NativePath(staging), ec);
    }
    error = std::move(why);
    return false;
  };

  // Settled before the task takes its id: no rule may come to name the task itself.
  std::string rulesText = Value(pkg.Task, "Rules") ? *Value(pkg.Task, "Rules") : std::string();
  std::string exclusionReport;
  {
    std::string why;
    if (!SettleExclusions(pkg, rulesText, exclusionReport, why)) return fail(why);
  }
  const int32_t wanted = static_cast<int32_t>(std::stol(*Value(pkg.Task, "TaskId")));
  int32_t id = wanted;
  std::string why;
  for (int tries = 0; Taken(id, why); ++tries) {
    if (!why.empty()) return fail(why);
    db::TQuery q(c);
    if (tries > 1000 || !db::AllocateId(c, q, db::kSeqTaskId, id, why))
      return fail(why.empty() ? G("无法分配新的抽奖项目序号") : why);
  }
  if (!KeepSequencePast(db::kSeqTaskId, id, why)) return fail(why);
  int64_t maxItem = 0;
  for (const TRow& r : pkg.Items)
    maxItem = std::max<int64_t>(maxItem, std::stol(*Value(r, "ItemId")));
  if (!pkg.Items.empty() && !KeepSequencePast(db::kSeqItemId, maxItem, why)) return fail(why);

  // Every file beside its place first, in a folder of its own in DATA_FILE.
  const std::string sid = std::to_string(id);
  staging = paths::DataFileDir() + ".package_" + sid + "/";
  {
    std::error_code ec;
    fs::remove_all(paths::NativePath(staging), ec);  // left by an import that was killed
  }
  if (!files::MakeFolders(staging, why)) return fail(why);
  folders = {photos::PhotoDir(id), MediaDir(id)};
  TPlaces places;
  std::map<std::string, std::string> finalOf;  // entry, final path
  for (const TPackedFile& f : pkg.Files) {
    std::string target;
    if (std::none_of(Sections().begin(), Sections().end(),
                     [&](const TSection* s) { return s->Target(f.Entry, pkg, id, target); }))
      return fail(G("活动包中有不属于活动包的文件：") + text::Utf8ToGbk(f.Entry));
    const std::string staged = staging + Num(static_cast<int64_t>(places.size()));
    if (!files::WriteFileAtomic(staged, f.Bytes, why)) return fail(why);
    places.emplace_back(staged, target);
    finalOf[f.Entry] = target;
  }
  for (const TSection* s : Sections())
    if (!s->Stage(pkg, id, staging, places, why)) return fail(why);

  // Each path column gets its file's new place.
  auto withPaths = [&](TRow row, bool perItem, size_t item) {
    for (const TSection* s : Sections()) {
      if (s->PathColumn().empty() || (s->Place() == TPlace::PerItem) != perItem) continue;
      const std::string entry = s->EntryOf(pkg, item);
      row = With(std::move(row), s->PathColumn(), entry.empty() ? std::string() : finalOf[entry]);
    }
    return row;
  };
  TRow task = With(pkg.Task, "TaskId", sid);
  if (Value(pkg.Task, "Rules")) task = With(task, "Rules", rulesText);
  if (!Insert("LuckTask", taskCols, withPaths(std::move(task), false, 0), why)) return fail(why);
  for (size_t i = 0; i < pkg.Items.size(); ++i) {
    TRow item = withPaths(With(pkg.Items[i], "TaskId", sid), true, i);
    if (!Insert("TaskItem", itemCols, item, why)) return fail(why);
  }
  for (const TSection* s : Sections())
    if (!s->Store(pkg, id, why)) return fail(why);
  for (const auto& [staged, target] : places)
    if (!moves.Move(staged, target, why)) return fail(why);
  if (!db::ExecRaw(c, "commit", why)) return fail(why);
  moves.Keep();
  std::error_code ec;
  fs::remove_all(paths::NativePath(staging), ec);

  taskId = id;
  const std::string* name = Value(pkg.Task, "TaskName");
  summary = G("已添加抽奖项目[") + (name ? *name : "") + G("]，序号") + sid;
  if (id != wanted) summary += G("（原序号") + Num(wanted) + G("已被占用）");
  summary += G("：") + CountsText(CountsOf(pkg)) + exclusionReport;
  return true;
}

bool ImportEventPackage(std::string_view gbkZipPath, int32_t& taskId, std::string& summary,
                        std::string& error) {
  std::error_code ec;
  const auto size = fs::file_size(paths::NativePath(gbkZipPath), ec);
  if (ec) {
    error = G("文件不存在：") + std::string(gbkZipPath);
    return false;
  }
  if (size > kMaxPackageBytes) {
    error = G("活动包超过1024MB，不能导入");
    return false;
  }
  std::string bytes;
  if (!files::ReadWholeFile(gbkZipPath, bytes, error)) return false;
  TEventPackage pkg;
  return ReadEventPackage(bytes, pkg, error) && InstallEventPackage(pkg, taskId, summary, error);
}

}  // namespace package
