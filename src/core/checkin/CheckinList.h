// The rules of one check-in: who is on the task's list (the first field of a candidate line
// is the id; when the title line has a 姓名 field, the name at that place must match too),
// and the answer a phone gets. No network and no files here.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace checkin {

// What a check-in attempt came to.
enum class TAnswer {
  CheckedIn,     // 签到成功
  NotOnList,     // 名单中没有这个号码
  NameMismatch,  // 号码与姓名不符
  AlreadyIn,     // 已经签到过了
  Empty,         // no id given
  BadText,       // the id or name is not readable text, or too long
  TooMany,       // too many failed attempts from the address or for the id
  Closed,        // check-in is not open
  NotSaved,      // the record could not be written; the phone may try again
};

// The phone's text for an answer (GBK).
std::string AnswerText(TAnswer answer);
// Answers that count against the address's failed attempts: those that tell an id apart.
bool IsFailure(TAnswer answer);

// The check-in screen's texts (GBK): "已签到 N / M" (people of the list), and the line
// under it. When people share an id, the draw, its record and the verifier count ids: the
// count then says both, "已签到 N / M 人（K 个号码）".
std::string CountText(size_t checkedIn, size_t total, size_t checkedInIds);
// Open: where to scan; closed by the draw: that the list is fixed; stopped: that it is off
// (and after the draw fixed the list, that the server is off too).
enum class TDeskState { Open, ClosedForDraw, Stopped, StoppedAfterDraw };
std::string StateText(TDeskState state);

// The check-in window's texts (GBK): why a loopback address reaches no phone, and the
// line of the hall's Wi-Fi ("Wi-Fi：<name>  密码：<password>", empty without a name).
std::string LoopbackWarning();
std::string WifiText(std::string_view nameGbk, std::string_view passwordGbk);

// Longest id and name a phone may send, in GBK bytes.
inline constexpr size_t kMaxFieldBytes = 64;

// A typed text (GBK) as the list is compared: full-width letters, digits and signs as their
// ASCII forms, the ideographic space and the list's blank inside a cell (kCellBlank) as a
// blank, runs of blanks as one, none at either end.
std::string FoldText(std::string_view gbk);

class TCheckinList {
 public:
  // The list from the draw data's title line and candidate lines (GBK, trimmed). Lines
  // without an id are left out. Ids that repeat are told apart by the name field when the
  // title line has one; else the first line of an id stands for it.
  void Load(std::string_view titleLine, const std::vector<std::string>& lines);

  // The title line names a 姓名 field: a check-in must give the name.
  bool HasNameField() const { return m_nameField >= 0; }
  // The list's first title (what the id is called, e.g. 工号), empty without a title line.
  const std::string& IdTitle() const { return m_idTitle; }
  // Every id is made of digits alone (a phone may offer its number pad).
  bool NumericIds() const { return m_numericIds; }
  // People who may check in: lines of distinct ids, or of distinct names within an id.
  size_t Count() const { return m_people; }
  // The first line of `id` (as on the list), or -1.
  int64_t LineOf(std::string_view id) const;
  // The line of `id` with the name `name` (folded alike), else the first line of the id,
  // or -1: how a record of the check-in file finds its person again.
  int64_t LineOf(std::string_view id, std::string_view name) const;
  // The id repeats on the list: its records carry the name to tell its people apart.
  bool SharedId(std::string_view id) const;
  // More than one line of the list holds the id, whether or not names tell them apart: what
  // is filed by id alone (a photo) cannot say which of them it shows.
  bool RepeatedId(std::string_view id) const;
  const std::string& Line(size_t index) const { return m_lines[index]; }
  // The line's id as the list has it.
  std::string IdOf(size_t index) const;
  // The name field of a line as shown (ShownField); empty when the list has none or the line
  // is short of it.
  std::string NameOf(size_t index) const;

  // Matches an id and name as a phone typed them (GBK) against the list: CheckedIn with
  // the line's index, NameMismatch with the id's first line, or NotOnList / Empty (-1). Both are
  // folded first (FoldText, and the id loses its blanks); an id found only when letter case is
  // ignored matches when no other id of the list folds to the same. Whether the person is already
  // in is not decided here.
  TAnswer Match(std::string_view id, std::string_view name, int64_t& line) const;

 private:
  std::vector<size_t> LinesOf(const std::string& foldedId) const;

  std::vector<std::string> m_lines;
  std::unordered_map<std::string, std::vector<size_t>> m_byId;          // folded id → lines
  std::unordered_map<std::string, std::vector<std::string>> m_byLower;  // lower case → ids
  std::unordered_map<std::string, size_t> m_idLines;                    // folded id → lines
  int m_nameField = -1;
  std::string m_idTitle;
  bool m_numericIds = false;
  size_t m_people = 0;
};

}  // namespace checkin
