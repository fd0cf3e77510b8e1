// 每批揭晓后自动写接力包: after each reveal the draw's relay package is written into a folder
// the operator chose, off the stage's path: the reveal only wakes a worker thread, which
// writes the newest relay (reveals that come while it writes are taken together), so no key
// ever waits for the disk.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "core/draw/StageObserver.h"
#include "core/spare/Relay.h"

namespace spare {

// The folder of task `taskId`'s automatic relay (GBK), kept in DATA/AUTORELAY_<TaskId>.txt
// of this machine; empty: off. False with the error (GBK).
bool LoadAutoRelayFolder(int32_t taskId, std::string& gbkFolder, std::string& error);
bool SaveAutoRelayFolder(int32_t taskId, std::string_view gbkFolder, std::string& error);
// The package the folder holds for the task: <folder>/<TaskId>_接力包.zip, replaced each time.
std::string AutoRelayPath(std::string_view gbkFolder, int32_t taskId);

class TAutoRelay : public TStageObserver {
 public:
  // `failed` hears a failure's text (GBK) on the worker thread, once until a write succeeds
  // again; `written` hears each package written (may be empty).
  TAutoRelay(TRelaySetup setup, std::string gbkFolder,
             std::function<void(const std::string&)> failed,
             std::function<void(const TRelaySummary&)> written = {});
  // Finishes the write under way and the one a reveal asked for, then stops.
  ~TAutoRelay() override;
  TAutoRelay(const TAutoRelay&) = delete;
  TAutoRelay& operator=(const TAutoRelay&) = delete;

  void Revealed(const TRevealedList& list) override;

 private:
  void Run();

  const TRelaySetup m_setup;
  const std::string m_path;
  std::function<void(const std::string&)> m_failed;
  std::function<void(const TRelaySummary&)> m_written;
  std::mutex m_mutex;
  std::condition_variable m_wake;
  bool m_wanted = false;
  bool m_stop = false;
  bool m_told = false;  // a failure was told and no write succeeded since
  std::thread m_worker;
};

}  // namespace spare
