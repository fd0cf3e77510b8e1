// The event package: one file (a zip) with everything a task needs on another machine, so
// a spare laptop can take over the night. Written by 导出活动包, read by 导入活动包; the
// format is in docs/event-package.md.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/config/TaskRollStyle.h"

namespace package {

// The manifest's first line: the format's name and version.
inline constexpr std::string_view kManifestEntry = "event.txt";
inline constexpr std::string_view kMagic = "Qarvo抽奖软件活动包";
// Version 2 added the `exclude` and `fingerprint` lines; version 1 is still read. Version 3
// adds the `roll` line and is written only by a task that rolls as 名单球, so that an older
// program still reads every other package and refuses that one by its version.
inline constexpr int kVersion = 2;
inline constexpr int kRollVersion = 3;
// Version 4 adds the named awards' lists (`file` TAB named), written only when an item has one.
inline constexpr int kNamedVersion = 4;
// What a package may unpack to at most, all entries together.
inline constexpr uint64_t kMaxPackageBytes = uint64_t{1} << 30;

// A row as column name and value (GBK text, integers in decimal), in the table's order.
using TRow = std::vector<std::pair<std::string, std::string>>;

// One file the package carries: its entry name (UTF-8) and its bytes.
struct TPackedFile {
  std::string Entry;
  std::string Bytes;
};

// A task whose winners the package's task excludes (an EXCLUDE line of its rules), as it
// stood on the exporting machine: a bare task id would name another task elsewhere.
struct TPackedExclusion {
  int32_t TaskId = 0;
  std::string Name;              // GBK
  std::string Fingerprint;       // ExcludedHashOf(Ids)
  std::vector<std::string> Ids;  // its winners' ids, sorted, no duplicates
};

// A package as read, checked and held in memory, nothing installed yet.
struct TEventPackage {
  TRow Task;                // every LuckTask column but the paths the package replaces
  std::vector<TRow> Items;  // every TaskItem column, in ListIndex order
  std::vector<TPackedFile> Files;
  // Where each path column's file is in the package (entry name), or empty.
  std::string ListEntry, BackgroundEntry, MusicEntry;
  std::vector<std::string> PrizeEntries;  // per item, in Items order
  std::vector<std::string> NamedEntries;  // named/<ItemId>.txt, the named awards' lists
  std::vector<TPackedExclusion> Exclusions;
  // The list's fingerprint as its import left it (DATA_FILE/<TaskId>.sha256), or empty:
  // a list edited since stays flagged on the other machine.
  std::string ListFingerprint;
  // How the task's roll looks; a package without a `roll` line rolls numbers.
  TRollStyle RollStyle = TRollStyle::Numbers;
};

// Writes the package of task `taskId` to `gbkZipPath` (written beside it and renamed). A
// picture or the music set but missing refuses the export: the other laptop would lack it.
// False with the error text; nothing is written then. `summary` tells what went in, and
// warns when the list no longer matches its import's fingerprint.
bool ExportEventPackage(int32_t taskId, std::string_view gbkZipPath, std::string& summary,
                        std::string& error);

// Reads and checks a package from its bytes without touching anything: the manifest's name
// and version, every entry name (only the format's own, no path outside the package, none
// twice), every row's columns and values, the list as a draw data file and the unpacked size.
// False with the error text for a bad or foreign file.
bool ReadEventPackage(std::string_view bytes, TEventPackage& pkg, std::string& error);

// Adds the package's task: its own task id when free, else a new one, the files beside
// their places then renamed in, the rows in one transaction. All or nothing: on a failure
// the database and the data folder are as before. `summary` tells what was added (GBK),
// with a line per excluded task of the rules: kept as a link when this machine has the
// same task (same id, same name and the same winners by fingerprint), else turned into a
// fixed exclusion list of the ids the package carries, so the rule never re-binds to
// whatever task takes that id here.
bool InstallEventPackage(const TEventPackage& pkg, int32_t& taskId, std::string& summary,
                         std::string& error);

// Reads the file and installs it.
bool ImportEventPackage(std::string_view gbkZipPath, int32_t& taskId, std::string& summary,
                        std::string& error);

}  // namespace package
