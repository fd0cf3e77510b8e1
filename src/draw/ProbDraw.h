// The decisions of the draw by probability: each press draws one of N numbers; prize item i
// wins on the numbers of its range, every other number loses.
#pragma once

#include <cstdint>
#include <string>

#include "draw/Random.h"
#include "records/Global.h"
#include "text/Messages.h"

class TProbDraw {
 public:
  struct Failure {
    MessageKind kind = MessageKind::Information;
    std::string text;
  };

  explicit TProbDraw(TRandom& rng) : m_rng(rng) {}

  // Loads the task and its prize items; refuses N ≤ S. The consolation text defaults to
  // "谢谢您的参与" in memory.
  bool SetUp(int32_t taskId, Failure& failure);

  int32_t N() const { return global::CurrentTask.HideBegin; }
  const std::string& RemainText() const { return global::CurrentTask.RemainText; }
  bool Rolling() const { return m_rolling; }
  int32_t DrawNumber() const { return m_drawNumber; }

  // A press: the result is fixed here, before anything rolls.
  void Press();
  // One roll tick: a prize item's name or the consolation text, decoration only.
  std::string RollText();
  // Stops the roll and gives the result of the press.
  std::string Stop();
  // The result for a number: the first item whose range holds it, or the consolation text.
  std::string ResultText(int32_t number) const;

  static std::string ReadyText();
  static std::string RollingText();

 private:
  TRandom& m_rng;
  bool m_rolling = false;
  int32_t m_drawNumber = -1;
};
