// The set-up every draw test shares: an engine set up for a task.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "core/draw/DataDraw.h"

// Sets `e` up for `taskId`; a failure carries the engine's text.
inline ::testing::AssertionResult SetUpDraw(TDataDraw& e, int32_t taskId = 1001) {
  TDrawFailure f;
  if (e.SetUp(taskId, f)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "set-up of task " << taskId << " failed: " << f.text;
}
