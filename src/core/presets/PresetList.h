// The preset-winner list of one prize item as its editor keeps it: the column heads of the
// task's draw data file and one candidate line per preset winner. The editor's windows only
// show what these routines answer.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// What the opener hands the editor. Texts are GBK.
struct TPresetTarget {
  int TaskId = 0;
  std::string TaskName;
  int ItemId = 0;
  std::string ItemName;
  std::string DataFilePath;  // the task's draw data file; empty when none was imported
  int LuckCount = 0;         // the item's number of winners, the most presets it takes
};

// Reads the head of the draw data file: "BEGIN", two lines whose text after the first '='
// is all digits, then the title line, split into the column heads (possibly none). Each
// failure gives the editor's own text; the file is read no further than line 4.
bool ReadPresetHeads(std::string_view gbkPath, std::vector<std::string>& heads, std::string& error);

// The trimmed non-empty lines of the item's preset-winner file, in file order. A missing
// file gives no lines and is no error.
bool ReadPresetLines(int taskId, int itemId, std::vector<std::string>& lines, std::string& error);

// Replaces the item's preset-winner file with one line per entry, CR LF, no head line; an
// empty list gives an empty file. The file is written beside its target and renamed into
// place, so on any failure the previous file stays as it was.
bool SavePresetLines(int taskId, int itemId, const std::vector<std::string>& lines,
                     std::string& error);

// The cells a line fills in a grid of `columns` columns: its blank-separated fields from
// column 0 on; extra fields are dropped, missing ones left empty.
std::vector<std::string> PresetCells(std::string_view line, int columns);

// The candidate id of a line: its first blank-separated field.
std::string PresetId(std::string_view line);

// A list holds at most `winnerCount` entries, and never more than one for a count of 0.
bool PresetListFull(int entryCount, int winnerCount);

// Attention texts of the add button.
std::string PresetListFullText(std::string_view itemName, int winnerCount);
std::string PresetDuplicateText(std::string_view idHead, std::string_view id);

// The entries and the modified mark. The mark is set by every add attempt (also one that
// added nothing) and every delete, and cleared only by a successful save.
class TPresetList {
 public:
  enum class AddResult { Added, Full, Duplicate, Nothing };

  // The saved list; the modified mark is left as it was.
  void Load(std::vector<std::string> lines) { m_lines = std::move(lines); }

  // Whether another entry may be asked for.
  bool Full(int winnerCount) const {
    return PresetListFull(static_cast<int>(m_lines.size()), winnerCount);
  }
  bool ContainsId(std::string_view id) const;

  // Appends the line chosen by the entry dialog (empty: none chosen). A line whose id is
  // already listed, or one past the winner count, is refused.
  AddResult Add(std::string_view line, int winnerCount);

  // Removes entry `index` (0 for the first); an index past the end removes nothing. The
  // mark is set either way, as the delete button always sets it.
  void Delete(int index);

  // The lines a save writes, in list order.
  const std::vector<std::string>& Lines() const { return m_lines; }
  int Count() const { return static_cast<int>(m_lines.size()); }

  bool Modified() const { return m_modified; }
  void Saved() { m_modified = false; }

 private:
  std::vector<std::string> m_lines;
  bool m_modified = false;
};
