#include "core/draw/ProbDraw.h"

#include "core/text/Gbk.h"
#include "core/text/Messages.h"

using text::G;

bool TProbDraw::SetUp(int32_t taskId, Failure& failure) {
  m_rolling = false;
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
  m_rolling = true;
}

std::string TProbDraw::RollText() {
  const int32_t count = static_cast<int32_t>(m_s.Items.size());
  const int32_t r = m_rng.Random(count + 1);
  return r < count ? m_s.Items[static_cast<size_t>(r)].ItemName : RemainText();
}

std::string TProbDraw::Stop() {
  m_rolling = false;
  return ResultText(m_drawNumber);
}

std::string TProbDraw::ResultText(int32_t number) const {
  for (const TLuckItem& it : m_s.Items) {
    if (it.FirstNumber <= number && number <= it.LastNumber)
      return it.AwardName.empty() ? it.ItemName : it.ItemName + G(",奖品:") + it.AwardName;
  }
  return RemainText();
}

std::string TProbDraw::ReadyText() { return G("请点击[开始]按钮或按[回车]键开始抽奖"); }
std::string TProbDraw::RollingText() { return G("请点击[确定]按钮或按[回车]键确定抽奖"); }
