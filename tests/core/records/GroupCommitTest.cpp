#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/records/GroupCommit.h"

namespace {

// One desk's writes: the first append waits until the test releases it, so that the
// commits made meanwhile queue behind it; `failing` names the append (0-based) that fails.
class GroupCommitTest : public ::testing::Test {
 protected:
  bool Commit(const std::string& lines, int item) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_commit.Commit(
        lock, lines, item,
        [this](const std::string& batch, std::string& error) {
          const size_t at = m_appends.size();
          m_appends.push_back(batch);
          if (at == 0) {
            m_started = true;
            std::unique_lock<std::mutex> gate(m_gateMutex);
            m_gate.wait(gate, [this] { return m_released; });
          }
          if (static_cast<int>(at) == m_failing) {
            error = "full";
            return false;
          }
          return true;
        },
        [this](std::vector<int>& batch, bool ok) {
          m_settled.push_back(batch);
          m_settledOk.push_back(ok);
        });
  }

  // Polls `done` under the desk's mutex for at most ten seconds.
  template <typename Done>
  bool Reached(Done done) {
    for (int i = 0; i < 10'000; ++i) {
      {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (done()) return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
  }

  void Release() {
    std::lock_guard<std::mutex> gate(m_gateMutex);
    m_released = true;
    m_gate.notify_all();
  }

  // Runs a, then b and c while a is being written; their answers in order.
  std::vector<bool> ThreeCommits() {
    bool a = false, b = false, c = false;
    std::thread ta([&] { a = Commit("a\n", 1); });
    EXPECT_TRUE(Reached([this] { return m_started.load(); }));
    std::thread tb([&] { b = Commit("b\n", 2); });
    EXPECT_TRUE(Reached([this] { return m_commit.Waiting() == 1; }));
    std::thread tc([&] { c = Commit("c\n", 3); });
    EXPECT_TRUE(Reached([this] { return m_commit.Waiting() == 2; }));
    Release();
    ta.join();
    tb.join();
    tc.join();
    return {a, b, c};
  }

  std::mutex m_mutex;
  TGroupCommit<int> m_commit;
  std::vector<std::string> m_appends;
  std::vector<std::vector<int>> m_settled;
  std::vector<bool> m_settledOk;
  int m_failing = -1;
  std::atomic<bool> m_started{false};
  std::mutex m_gateMutex;
  std::condition_variable m_gate;
  bool m_released = false;
};

TEST_F(GroupCommitTest, CommitsQueuedDuringAWriteShareTheNextAppend) {
  EXPECT_EQ(ThreeCommits(), (std::vector<bool>{true, true, true}));
  EXPECT_EQ(m_appends, (std::vector<std::string>{"a\n", "b\nc\n"}));
  EXPECT_EQ(m_settled, (std::vector<std::vector<int>>{{1}, {2, 3}}));
  EXPECT_EQ(m_settledOk, (std::vector<bool>{true, true}));
}

TEST_F(GroupCommitTest, AFailedAppendAnswersItsWholeBatchAndTheNextStartsAfresh) {
  m_failing = 1;
  EXPECT_EQ(ThreeCommits(), (std::vector<bool>{true, false, false}));
  EXPECT_EQ(m_settledOk, (std::vector<bool>{true, false}));
  // Nothing of the failed batch is written again with the next commit.
  EXPECT_TRUE(Commit("d\n", 4));
  EXPECT_EQ(m_appends, (std::vector<std::string>{"a\n", "b\nc\n", "d\n"}));
  EXPECT_EQ(m_settled, (std::vector<std::vector<int>>{{1}, {2, 3}, {4}}));
}

TEST_F(GroupCommitTest, DrainReturnsOnceTheRunningWriteIsAnswered) {
  bool a = false;
  std::thread ta([&] { a = Commit("a\n", 1); });
  ASSERT_TRUE(Reached([this] { return m_started.load(); }));
  std::atomic<bool> drained{false};
  std::thread td([&] {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_commit.Drain(lock);
    drained = !m_settled.empty();
  });
  Release();
  ta.join();
  td.join();
  EXPECT_TRUE(a);
  EXPECT_TRUE(drained);
}

}  // namespace
