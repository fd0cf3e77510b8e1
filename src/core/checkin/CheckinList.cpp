#include "core/checkin/CheckinList.h"

#include <algorithm>

#include "core/records/DrawDataFile.h"
#include "core/text/Gbk.h"
#include "core/text/Text.h"

namespace checkin {

std::string AnswerText(TAnswer answer) {
  switch (answer) {
    case TAnswer::CheckedIn:
      return text::G("签到成功");
    case TAnswer::NotOnList:
      return text::G("名单中没有这个号码");
    case TAnswer::NameMismatch:
      return text::G("号码与姓名不符");
    case TAnswer::AlreadyIn:
      return text::G("已经签到过了");
    case TAnswer::Empty:
      return text::G("请输入号码");
    case TAnswer::BadText:
      return text::G("号码或姓名无法识别，请重新输入");
    case TAnswer::TooMany:
      return text::G("尝试次数过多，请稍后再试");
    case TAnswer::Closed:
      return text::G("签到已结束");
    case TAnswer::NotSaved:
      return text::G("签到未能保存，请再试一次");
  }
  return {};
}

std::string CountText(size_t checkedIn, size_t total, size_t checkedInIds) {
  std::string s = text::G("已签到 ") + std::to_string(checkedIn) + " / " + std::to_string(total);
  if (checkedInIds != checkedIn)
    s += text::G(" 人（") + std::to_string(checkedInIds) + text::G(" 个号码）");
  return s;
}

std::string StateText(TDeskState state) {
  switch (state) {
    case TDeskState::Open:
      return text::G("请用手机扫描二维码签到");
    case TDeskState::ClosedForDraw:
      return text::G("签到已结束：抽奖名单已确定");
    case TDeskState::Stopped:
      return text::G("签到未开始");
    case TDeskState::StoppedAfterDraw:
      return text::G("签到已结束，服务未启动");
  }
  return {};
}

std::string LoopbackWarning() {
  return text::G("注意：此地址只有本机能访问，手机无法连接。请选择手机所在网络的地址。");
}

std::string WifiText(std::string_view nameGbk, std::string_view passwordGbk) {
  const std::string name = text::Trim(nameGbk), password = text::Trim(passwordGbk);
  if (name.empty()) return {};
  return text::G("Wi-Fi：") + name + (password.empty() ? "" : text::G("  密码：") + password);
}

bool IsFailure(TAnswer answer) {
  return answer == TAnswer::NotOnList || answer == TAnswer::NameMismatch ||
         answer == TAnswer::AlreadyIn;
}

namespace {

// The id as matched: folded, without blanks.
std::string FoldId(std::string_view id) {
  std::string out = FoldText(id);
  out.erase(std::remove(out.begin(), out.end(), ' '), out.end());
  return out;
}

std::string Lower(std::string s) {
  // GBK's trail bytes can be ASCII letters: only single-byte characters are lowered.
  for (size_t i = 0; i < s.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c >= 0x81 && c <= 0xFE && i + 1 < s.size())
      ++i;
    else if (c >= 'A' && c <= 'Z')
      s[i] = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

}  // namespace

std::string FoldText(std::string_view gbk) {
  std::string out;
  out.reserve(gbk.size());
  const auto blank = [&out] {
    if (!out.empty() && out.back() != ' ') out += ' ';
  };
  for (size_t i = 0; i < gbk.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(gbk[i]);
    if (c >= 0x81 && c <= 0xFE && i + 3 < gbk.size() && gbk[i + 1] >= '0' && gbk[i + 1] <= '9') {
      // A four-byte character: the list keeps a blank inside a cell as a no-break space.
      if (gbk.substr(i, 4) == kCellBlank)
        blank();
      else
        out.append(gbk.substr(i, 4));
      i += 3;
    } else if (c >= 0x81 && c <= 0xFE && i + 1 < gbk.size()) {
      const unsigned char t = static_cast<unsigned char>(gbk[i + 1]);
      ++i;
      if (c == 0xA1 && t == 0xA1) {
        blank();  // U+3000
      } else if (c == 0xA3 && t >= 0xA1 && t <= 0xFD && t != 0xA4) {
        // Row A3 holds the full-width forms of ASCII 0x21-0x7D (A3A4 is the yuan sign).
        out += static_cast<char>(t - 0x80);
      } else {
        out += static_cast<char>(c);
        out += static_cast<char>(t);
      }
    } else if (c == ' ' || c == '\t') {
      blank();
    } else {
      out += static_cast<char>(c);
    }
  }
  if (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

void TCheckinList::Load(std::string_view titleLine, const std::vector<std::string>& lines) {
  m_lines = lines;
  m_byId.clear();
  m_byLower.clear();
  m_idLines.clear();
  m_nameField = -1;
  const std::vector<std::string> heads = text::SplitFields(titleLine);
  m_idTitle = heads.empty() ? std::string() : heads[0];
  for (size_t i = 1; i < heads.size(); ++i) {
    if (heads[i] == text::G("姓名")) {
      m_nameField = static_cast<int>(i);
      break;
    }
  }
  m_numericIds = true;
  m_people = 0;
  for (size_t i = 0; i < m_lines.size(); ++i) {
    const std::string_view id = text::FirstField(m_lines[i]);
    if (id.empty()) continue;
    const std::string key = FoldId(id);
    ++m_idLines[key];
    std::vector<size_t>& at = m_byId[key];
    if (at.empty()) {
      m_byLower[Lower(key)].push_back(key);
      m_numericIds = m_numericIds && text::IsAllDigits(key);
    }
    // A repeated id is another person only when the list names them apart.
    bool another = at.empty();
    if (!another && HasNameField()) {
      another = true;
      const std::string name = FoldText(NameOf(i));
      for (size_t j : at) another = another && FoldText(NameOf(j)) != name;
    }
    if (!another) continue;
    at.push_back(i);
    ++m_people;
  }
  if (m_byId.empty()) m_numericIds = false;
}

std::vector<size_t> TCheckinList::LinesOf(const std::string& foldedId) const {
  const auto it = m_byId.find(foldedId);
  if (it != m_byId.end()) return it->second;
  const auto lower = m_byLower.find(Lower(foldedId));
  if (lower == m_byLower.end() || lower->second.size() != 1) return {};
  return m_byId.at(lower->second.front());
}

int64_t TCheckinList::LineOf(std::string_view id) const {
  const auto it = m_byId.find(FoldId(id));
  return it == m_byId.end() ? -1 : static_cast<int64_t>(it->second.front());
}

int64_t TCheckinList::LineOf(std::string_view id, std::string_view name) const {
  const auto it = m_byId.find(FoldId(id));
  if (it == m_byId.end()) return -1;
  const std::string folded = FoldText(name);
  for (size_t i : it->second)
    if (FoldText(NameOf(i)) == folded) return static_cast<int64_t>(i);
  return static_cast<int64_t>(it->second.front());
}

bool TCheckinList::SharedId(std::string_view id) const {
  const auto it = m_byId.find(FoldId(id));
  return it != m_byId.end() && it->second.size() > 1;
}

bool TCheckinList::RepeatedId(std::string_view id) const {
  const auto it = m_idLines.find(FoldId(id));
  return it != m_idLines.end() && it->second > 1;
}

std::string TCheckinList::IdOf(size_t index) const {
  return index < m_lines.size() ? std::string(text::FirstField(m_lines[index])) : std::string();
}

std::string TCheckinList::NameOf(size_t index) const {
  if (m_nameField < 0 || index >= m_lines.size()) return {};
  const std::vector<std::string> fields = text::SplitFields(m_lines[index]);
  const size_t f = static_cast<size_t>(m_nameField);
  return f < fields.size() ? ShownField(fields[f]) : std::string();
}

TAnswer TCheckinList::Match(std::string_view id, std::string_view name, int64_t& line) const {
  line = -1;
  const std::string key = FoldId(id);
  if (key.empty()) return TAnswer::Empty;
  const std::vector<size_t> at = LinesOf(key);
  if (at.empty()) return TAnswer::NotOnList;
  if (!HasNameField()) {
    line = static_cast<int64_t>(at.front());
    return TAnswer::CheckedIn;
  }
  const std::string folded = FoldText(name);
  for (size_t i : at) {
    if (FoldText(NameOf(i)) != folded) continue;
    line = static_cast<int64_t>(i);
    return TAnswer::CheckedIn;
  }
  line = static_cast<int64_t>(at.front());
  return TAnswer::NameMismatch;
}

}  // namespace checkin
