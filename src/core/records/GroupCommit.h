// Group commit for a desk that appends records to one file from several threads: whoever
// finds no write running writes every record queued so far in one flushed append; the others
// wait for theirs to be on disk. The owner's mutex guards the queue and the owner's own state;
// the append itself runs without it, so readers never wait on a disk write.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

template <typename Item>
class TGroupCommit {
 public:
  // Queues `lines` (the item's records, formatted) with `item` and returns once they are
  // written: true when on disk. `lock` holds the owner's mutex on entry and on return.
  // `append(lines, error)` writes a batch without the lock and returns whether it is on disk;
  // `settle(batch, ok)` is then called under the lock with the batch's items, once per batch.
  template <typename Append, typename Settle>
  bool Commit(std::unique_lock<std::mutex>& lock, std::string lines, Item item, Append&& append,
              Settle&& settle) {
    auto outcome = std::make_shared<Outcome>();
    m_pending += lines;
    m_queued.push_back({std::move(item), outcome});
    while (!outcome->done) {
      if (m_flushing) {
        m_flushed.wait(lock);
        continue;
      }
      m_flushing = true;
      std::string batchLines;
      batchLines.swap(m_pending);
      std::vector<Queued> batch;
      batch.swap(m_queued);
      lock.unlock();
      std::string error;
      const bool ok = append(batchLines, error);
      lock.lock();
      m_flushing = false;
      std::vector<Item> items;
      items.reserve(batch.size());
      for (Queued& q : batch) {
        q.outcome->done = true;
        q.outcome->ok = ok;
        items.push_back(std::move(q.item));
      }
      settle(items, ok);
      m_flushed.notify_all();
    }
    return outcome->ok;
  }

  // Waits under `lock` until no write runs and nothing is queued: everything committed so far
  // has its answer.
  void Drain(std::unique_lock<std::mutex>& lock) {
    m_flushed.wait(lock, [this] { return !m_flushing && m_queued.empty(); });
  }

  // Waits under `lock` until `done()` holds; it is asked again after every batch.
  template <typename Done>
  void WaitUntil(std::unique_lock<std::mutex>& lock, Done&& done) {
    m_flushed.wait(lock, std::forward<Done>(done));
  }

  // Items waiting for the next append (under the owner's mutex).
  size_t Waiting() const { return m_queued.size(); }

 private:
  struct Outcome {
    bool done = false;
    bool ok = false;
  };
  struct Queued {
    Item item;
    std::shared_ptr<Outcome> outcome;
  };

  std::condition_variable m_flushed;
  bool m_flushing = false;
  std::string m_pending;
  std::vector<Queued> m_queued;
};
