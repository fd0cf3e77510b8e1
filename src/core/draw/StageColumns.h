// What the stage shows of a candidate line. The operator chooses, per column of the list,
// whether the stage shows it and whether the task's mask (HideBegin … HideEnd, the positions
// that mask the id) covers it. The winner's name is the column titled 姓名 when the list has
// one. Winner files and exports keep the whole lines; only the stage reads this.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/draw/StageText.h"

// Masks the characters at 1-based positions hideBegin … hideEnd of the trimmed text, each
// with one 'X'; a GBK character counts once, so none is ever split.
std::string MaskId(std::string_view s, int32_t hideBegin, int32_t hideEnd);

enum class TColumnShow { Shown, Masked, Hidden };

// The stored choice (LuckTask.StageColumns): one letter per column of the title line, in
// order, 'S' shown, 'M' shown and masked, 'H' hidden. A column past the text's end, and any
// other letter, is shown: an empty text shows every column as before.
std::vector<TColumnShow> ParseColumnShows(std::string_view stored);
// The stored text of a choice; trailing shown columns are left out, so that all shown is "".
std::string FormatColumnShows(const std::vector<TColumnShow>& shows);

// The column of the title line that holds the name: the first whose title contains 姓名, else
// one titled 名字; -1 when there is none.
int NameColumnOf(std::string_view titleLine);

class TStageColumns {
 public:
  // Every column shown, the name by the old rule (below).
  TStageColumns() = default;
  // `titleLine` finds the name; `stored` is the operator's choice; `numericIds` and the mask
  // positions are the task's.
  TStageColumns(std::string_view titleLine, std::string_view stored, bool numericIds,
                int32_t hideBegin, int32_t hideEnd);

  // The card of a candidate line. With a 姓名 column: the first column is the id, that column
  // the name, the other shown columns the rest, in the list's order. Without one, a numeric id
  // is followed by the name; an id that is not a number is the name itself (the card has no
  // id). A hidden column is left out; a masked one, other than the id, shows masked. The
  // id stays whole: the card is the reveal.
  TWinnerCard Card(std::string_view candidateLine) const;
  // A winner of a batch too large for cards, on one line: the card's id and name ("id  name",
  // the name alone when there is no id, the id alone without a name).
  std::string ShortLine(std::string_view candidateLine) const;
  // A line of the stage's winners list: the shown columns in order, each masked column
  // masked, the id by the task's mask as the list always masked it.
  std::string ListLine(std::string_view candidateLine) const;

  int NameColumn() const { return m_name; }
  TColumnShow ShowOf(size_t column) const;

 private:
  std::vector<TColumnShow> m_shows;
  int m_name = -1;
  bool m_numeric = true;
  int32_t m_hideBegin = 0;
  int32_t m_hideEnd = 0;
};
