// The set-up every draw test shares: an engine set up for a task, and the engine with its
// session, generator and stage in one piece.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

#include "core/draw/DataDraw.h"
#include "core/draw/Stage.h"

// Sets `e` up for `taskId`; a failure carries the engine's text.
inline ::testing::AssertionResult SetUpDraw(TDataDraw& e, int32_t taskId = 1001) {
  TDrawFailure f;
  if (e.SetUp(taskId, f)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "set-up of task " << taskId << " failed: " << f.text;
}

// An engine on its own session with a fixed secret (an exact replay), and its stage.
struct TDrawRig {
  explicit TDrawRig(std::optional<uint32_t> secret = 31u) : e(session, rng, secret) {}
  TDrawSession session;
  TRandom rng;
  TDataDraw e{session, rng};
  TStage s{e};
};
