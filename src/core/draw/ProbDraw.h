// The decisions of the draw by probability: each press draws one of N numbers; prize item i
// wins on the numbers of its range, every other number loses.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/draw/DrawSession.h"
#include "core/draw/Random.h"
#include "core/text/Messages.h"

class TProbDraw {
 public:
  // The probability screen's phases: nothing pressed yet, a press rolling, its result shown.
  enum class Phase { Ready, Rolling, Shown };

  using Failure = TDrawFailure;

  // The engine works on `session`, which it alone changes while the screen is open.
  TProbDraw(TDrawSession& session, TRandom& rng) : m_s(session), m_rng(rng) {}

  // Loads the task and its prize items; refuses N ≤ S. The consolation text defaults to
  // "谢谢您的参与" in memory.
  bool SetUp(int32_t taskId, Failure& failure);

  const TDrawSession& Session() const { return m_s; }
  const TLuckTask& Task() const { return m_s.Task; }
  const TArrLuckItem& Items() const { return m_s.Items; }
  int32_t N() const { return m_s.Task.HideBegin; }
  const std::string& RemainText() const { return m_s.Task.RemainText; }
  bool Rolling() const { return m_phase == Phase::Rolling; }
  Phase phase() const { return m_phase; }
  int32_t DrawNumber() const { return m_drawNumber; }

  // A press: the result is fixed here, before anything rolls.
  void Press();
  // One roll tick: a prize item's name or the consolation text, decoration only.
  std::string RollText();
  // Stops the roll and gives the result of the press.
  std::string Stop();
  // The result for a number: the first item whose range holds it, or the consolation text.
  std::string ResultText(int32_t number) const;
  // The prize item (its index in Items) whose range holds the number, or -1: a loss.
  int WonItem(int32_t number) const;
  // The prize ladder beside the stage: each item with its gift, in draw order.
  std::vector<std::string> LadderLines() const;

  // Empties the session, as every draw screen does when it closes.
  void Close() { m_s.Clear(); }

  static std::string ReadyText();
  static std::string RollingText();

 private:
  TDrawSession& m_s;
  TRandom& m_rng;
  Phase m_phase = Phase::Ready;
  int32_t m_drawNumber = -1;
};
