// The event package: one file (a zip) with everything a task needs on another machine, so
// a spare laptop can take over the night. Written by 导出活动包, read by 导入活动包; the
// format is in docs/event-package.md.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace package {

// The manifest's first line: the format's name and version.
inline constexpr std::string_view kManifestEntry = "event.txt";
inline constexpr std::string_view kMagic = "Qarvo抽奖软件活动包";
inline constexpr int kVersion = 1;
// What a package may unpack to at most, all entries together.
inline constexpr uint64_t kMaxPackageBytes = uint64_t{1} << 30;

// A row as column name and value (GBK text, integers in decimal), in the table's order.
using TRow = std::vector<std::pair<std::string, std::string>>;

// One file the package carries: its entry name (UTF-8) and its bytes.
struct TPackedFile {
  std::string Entry;
  std::string Bytes;
};

// A package as read, checked and held in memory, nothing installed yet.
struct TEventPackage {
  TRow Task;                // every LuckTask column but the paths the package replaces
  std::vector<TRow> Items;  // every TaskItem column, in ListIndex order
  std::vector<TPackedFile> Files;
  // Where each path column's file is in the package (entry name), or empty.
  std::string ListEntry, BackgroundEntry, MusicEntry;
  std::vector<std::string> PrizeEntries;  // per item, in Items order
};

// Writes the package of task `taskId` to `gbkZipPath` (written beside it and renamed). A
// picture or the music set but missing refuses the export: the other laptop would lack it.
// False with the error text; nothing is written then. `summary` tells what went in.
bool ExportEventPackage(int32_t taskId, std::string_view gbkZipPath, std::string& summary,
                        std::string& error);

// Reads and checks a package from its bytes without touching anything: the manifest's name
// and version, every entry name (only the format's own, no path outside the package, none
// twice), every row's columns and values, the list as a draw data file and the unpacked size.
// False with the error text for a bad or foreign file.
bool ReadEventPackage(std::string_view bytes, TEventPackage& pkg, std::string& error);

// Adds the package's task: its own task id when free, else a new one, the files beside
// their places then renamed in, the rows in one transaction. All or nothing: on a failure
// the database and the data folder are as before. `summary` tells what was added (GBK).
bool InstallEventPackage(const TEventPackage& pkg, int32_t& taskId, std::string& summary,
                         std::string& error);

// Reads the file and installs it.
bool ImportEventPackage(std::string_view gbkZipPath, int32_t& taskId, std::string& summary,
                        std::string& error);

}  // namespace package
