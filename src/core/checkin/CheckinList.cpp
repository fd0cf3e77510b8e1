#include "core/checkin/CheckinList.h"

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
      return text::G("尝试次数过多，请一分钟后再试");
    case TAnswer::Closed:
      return text::G("签到已结束");
    case TAnswer::NotSaved:
      return text::G("签到未能保存，请再试一次");
  }
  return {};
}

std::string CountText(size_t checkedIn, size_t total) {
  return text::G("已签到 ") + std::to_string(checkedIn) + " / " + std::to_string(total);
}

std::string StateText(TDeskState state) {
  switch (state) {
    case TDeskState::Open:
      return text::G("请用手机扫描二维码签到");
    case TDeskState::ClosedForDraw:
      return text::G("签到已结束：抽奖名单已确定");
    case TDeskState::Stopped:
      return text::G("签到未开始");
  }
  return {};
}

bool IsFailure(TAnswer answer) {
  return answer == TAnswer::NotOnList || answer == TAnswer::NameMismatch ||
         answer == TAnswer::AlreadyIn;
}

void TCheckinList::Load(std::string_view titleLine, const std::vector<std::string>& lines) {
  m_lines = lines;
  m_byId.clear();
  m_nameField = -1;
  const std::vector<std::string> heads = text::SplitFields(titleLine);
  for (size_t i = 1; i < heads.size(); ++i) {
    if (heads[i] == text::G("姓名")) {
      m_nameField = static_cast<int>(i);
      break;
    }
  }
  for (size_t i = 0; i < m_lines.size(); ++i) {
    const std::string_view id = text::FirstField(m_lines[i]);
    if (!id.empty()) m_byId.emplace(std::string(id), i);
  }
}

int64_t TCheckinList::LineOf(std::string_view id) const {
  const auto it = m_byId.find(std::string(id));
  return it == m_byId.end() ? -1 : static_cast<int64_t>(it->second);
}

std::string TCheckinList::NameOf(size_t index) const {
  if (m_nameField < 0 || index >= m_lines.size()) return {};
  const std::vector<std::string> fields = text::SplitFields(m_lines[index]);
  const size_t f = static_cast<size_t>(m_nameField);
  return f < fields.size() ? fields[f] : std::string();
}

TAnswer TCheckinList::Match(std::string_view id, std::string_view name, int64_t& line) const {
  line = -1;
  if (id.empty()) return TAnswer::Empty;
  const int64_t at = LineOf(id);
  if (at < 0) return TAnswer::NotOnList;
  if (HasNameField() && NameOf(static_cast<size_t>(at)) != name) return TAnswer::NameMismatch;
  line = at;
  return TAnswer::CheckedIn;
}

}  // namespace checkin
