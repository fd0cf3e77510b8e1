// The stage laptop's side of the stream: the code its operator reads out to the spare, and
// the route on the task's LAN server that answers the spare from the draw's files. The files
// are read on the server's thread when the spare asks, never on the window's; the window only
// hands over the set-up (the event package) when it exports one. Safe across threads.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "core/net/Http.h"
#include "core/spare/SpareStream.h"

namespace spare {

// The files of the running draw of `taskId` below `root` (GBK, trailing separator): the open
// journal, else the finished one; the check-in file; the claim file of that journal's draw.
struct TStageFiles {
  std::string Journal;
  std::string Checkin;
  std::string Claims;  // empty when no journal names a draw yet
};
TStageFiles StageFilesOf(std::string_view root, int32_t taskId);

// The stage's set-up as the spare fetches it.
struct TSetupBytes {
  std::string Bytes;
  std::string Sha256;
};

// The answer to `request` from the files on disk now and the set-up, the heartbeat's task
// fields from `beat`: new bytes of each entry from where the spare stands (from the start
// where its bytes are not the start of the file), then the set-up from where its fetch
// stands, at most kMaxAnswerBytes in all.
TAnswer BuildAnswer(const TStageFiles& files, const TSetupBytes* setup, const TRequest& request,
                    THeartbeat beat);

// Where the stage keeps a task's code and salt (<root>SPARE/stream_<TaskId>.txt), so that a
// spare's sealed notice still opens after the stage program was started again.
std::string StreamKeyPath(std::string_view root, int32_t taskId);

// The routes GET /spare/hello (the task and the salt, in clear), POST /spare/sync (a sealed
// request in, a sealed answer out) and POST /spare/taken (a spare's sealed notice that it took
// the draw over: the task's journal here gets its TAKEN record, and the answer says so).
class TStageStream : public net::TRoutes {
 public:
  TStageStream(int32_t taskId, std::string root, std::string gbkTaskName);

  // The code shown to the operator, grouped (made with the salt on first use); empty when
  // the random source failed.
  std::string Code();
  // The code and salt are kept in the data folder (StreamKeyPath): made on first use, read
  // back by a stage started again. A new code and salt: a spare following with the old one is
  // refused from now on.
  void Renew();
  // The set-up the spare fetches; handed over by the window after each export.
  void SetSetup(std::string bytes);
  // Exports the task's event package and hands it over (SetSetup). On the window's thread,
  // where the database is read: when the code is shown and before a draw opens, never while
  // a draw runs. False with the export's error (GBK); the spare keeps the set-up it had.
  bool PublishSetup(std::string& error);
  // Why the last PublishSetup failed (GBK), empty after one that succeeded: the operator's
  // window shows it, wherever the export was asked for.
  std::string SetupError() const;
  int32_t TaskId() const { return m_taskId; }
  // While the task's draw screen is open here its journal is being written: a spare's notice
  // is then answered 423 and recorded once the screen has closed (the spare asks again).
  void SetDrawOpen(bool open);
  // Answers taken so far, and the time (ms, steady) of the last; for the operator's window.
  uint64_t Answered() const;

 protected:
  bool Answer(const net::THttpRequest& request, net::THttpResponse& response) override;

 private:
  bool MakeLocked();
  bool Taken(const net::THttpRequest& request, net::THttpResponse& response);
  const int32_t m_taskId;
  const std::string m_root;
  const std::string m_taskName;
  const std::string m_machine;
  mutable std::mutex m_mutex;
  std::string m_code;
  std::string m_salt;
  std::optional<TStreamKey> m_key;  // derived on the server's thread at the first request
  uint64_t m_lastNumber = 0;
  uint64_t m_answered = 0;
  bool m_renewing = false;
  bool m_drawOpen = false;  // the next code is made new, not read back
  std::shared_ptr<const TSetupBytes> m_setup;
  std::string m_setupError;
};

}  // namespace spare
