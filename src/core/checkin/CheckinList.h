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
  TooMany,       // too many failed attempts from the address
  Closed,        // check-in is not open
  NotSaved,      // the record could not be written; the phone may try again
};

// The phone's text for an answer (GBK).
std::string AnswerText(TAnswer answer);
// Answers that count against the address's failed attempts: those that tell an id apart.
bool IsFailure(TAnswer answer);

// The check-in screen's texts (GBK): "已签到 N / M", and the line under it.
std::string CountText(size_t checkedIn, size_t total);
// Open: where to scan; closed by the draw: that the list is fixed; stopped: that it is off.
enum class TDeskState { Open, ClosedForDraw, Stopped };
std::string StateText(TDeskState state);

// Longest id and name a phone may send, in GBK bytes.
inline constexpr size_t kMaxFieldBytes = 64;

class TCheckinList {
 public:
  // The list from the draw data's title line and candidate lines (GBK, trimmed). The first
  // line with an id wins when ids repeat; lines without an id are left out.
  void Load(std::string_view titleLine, const std::vector<std::string>& lines);

  // The title line names a 姓名 field: a check-in must give the name.
  bool HasNameField() const { return m_nameField >= 0; }
  // Distinct ids on the list.
  size_t Count() const { return m_byId.size(); }
  // The line of `id`, or -1.
  int64_t LineOf(std::string_view id) const;
  const std::string& Line(size_t index) const { return m_lines[index]; }
  // The name field of a line; empty when the list has none or the line is short of it.
  std::string NameOf(size_t index) const;

  // Matches a trimmed GBK id and name against the list: CheckedIn with the line's index,
  // or NotOnList / NameMismatch / Empty. Whether the id is already in is not decided here.
  TAnswer Match(std::string_view id, std::string_view name, int64_t& line) const;

 private:
  std::vector<std::string> m_lines;
  std::unordered_map<std::string, size_t> m_byId;
  int m_nameField = -1;
};

}  // namespace checkin
