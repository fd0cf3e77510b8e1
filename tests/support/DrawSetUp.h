// The set-up every draw test shares: an engine set up for a task.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "core/draw/DataDraw.h"
#include "core/draw/DrawSession.h"
#include "core/draw/Random.h"

// Sets `e` up for `taskId`; a failure carries the engine's text.
inline ::testing::AssertionResult SetUpDraw(TDataDraw& e, int32_t taskId = 1001) {
  TDrawFailure f;
  if (e.SetUp(taskId, f)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "set-up of task " << taskId << " failed: " << f.text;
}

// An engine with a session and a generator of its own, for `secret`.
struct TDrawRun {
  explicit TDrawRun(uint32_t secret) : e(s, rng, secret) {}
  TRandom rng;
  TDrawSession s;
  TDataDraw e;
};

// A run set up for `taskId`; a failed set-up fails the test.
inline std::unique_ptr<TDrawRun> StartDraw(uint32_t secret, int32_t taskId = 1001) {
  auto run = std::make_unique<TDrawRun>(secret);
  EXPECT_TRUE(SetUpDraw(run->e, taskId));
  return run;
}
