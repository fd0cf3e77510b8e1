#include "core/draw/ProbDraw.h"

#include "core/text/Gbk.h"
#include "core/text/Messages.h"

using text::G;

bool TProbDraw::SetUp(int32_t taskId, Failure& failure) {
  m_phase = Phase::Ready;
  if (!OpenDrawTask(m_s, taskId, failure)) return false;
  // Summed wide: many large counts must not wrap round and pass the check.
  int64_t s = 0;
  for (const TLuckItem& it : m_s.Items) s += it.LuckCount;
  if (static_cast<int64_t>(N()) <= s) {
    failure = {MessageKind::Attention, G("概率值太小,请重新配置")};
    return false;
  }
  m_s.Winners.clear();
  if (m_s.Task.RemainText.empty()) m_s.Task.RemainText = G("谢谢您的参与");
  return true;
}

void TProbDraw::Press() {
  m_drawNumber = m_rng.Random(N());
  m_phase = Phase::Rolling;
}

std::string TProbDraw::RollText() {
  const int32_t count = static_cast<int32_t>(m_s.Items.size());
  const int32_t r = m_rng.Random(count + 1);
  return r < count ? m_s.Items[static_cast<size_t>(r)].ItemName : RemainText();
}

std::string TProbDraw::Stop() {
  m_phase = Phase::Shown;
  return ResultText(m_drawNumber);
}

int TProbDraw::WonItem(int32_t number) const {
  for (size_t i = 0; i < m_s.Items.size(); ++i) {
    const TLuckItem& it = m_s.Items[i];
    if (it.FirstNumber <= number && number <= it.LastNumber) return static_cast<int>(i);
  }
  return -1;
}

std::string TProbDraw::ResultText(int32_t number) const {
  const int won = WonItem(number);
  if (won < 0) return RemainText();
  const TLuckItem& it = m_s.Items[static_cast<size_t>(won)];
  return it.AwardName.empty() ? it.ItemName : it.ItemName + G(",奖品:") + it.AwardName;
}

std::vector<std::string> TProbDraw::LadderLines() const {
  std::vector<std::string> lines;
  for (const TLuckItem& it : m_s.Items)
    lines.push_back(it.AwardName.empty() ? it.ItemName : it.ItemName + "  " + it.AwardName);
  return lines;
}

std::string TProbDraw::ReadyText() { return G("请点击[开始]按钮或按[回车]键开始抽奖"); }
std::string TProbDraw::RollingText() { return G("请点击[确定]按钮或按[回车]键确定抽奖"); }
