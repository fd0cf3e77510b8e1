// The spare laptop's side of the stream: it asks the stage from what its spare folder holds
// (<data root>/SPARE/<TaskId on the stage>/) and applies each answer to that folder, so that
// the folder is at every moment a relay the takeover can read. Request in, files out; the
// window only carries the bytes over the network.
//
// An answer is applied whole or not at all: each changed entry is its old bytes with the new
// ones after them, written beside and renamed into place, relay.txt last. An answer whose
// bytes do not start where the folder's file ends is refused, and the next request asks
// again from what is on disk, so a kill at any point loses nothing and tears nothing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/spare/SpareStream.h"

namespace spare {

// How long the stage may be silent before the view turns red.
inline constexpr int64_t kStageSilentMs = 5000;

// The folder's relay.txt is a relay manifest (Relay.h) with the stage's task id, its batches
// counted from the journal the folder holds: the folder reads as a relay (ReadRelayFolder).

class TFollower {
 public:
  // `root`: this machine's data root (GBK, trailing separator).
  explicit TFollower(std::string root);

  // The stage's greeting and the code the operator typed; `nowMs` (steady) starts the wait
  // for the first answer. False with the text to show (GBK): a code mistyped, an address
  // that is no stage, or a spare folder that cannot be made.
  bool Begin(std::string_view hello, std::string_view typedCode, int64_t nowMs, std::string& error);
  bool Begun() const { return m_begun; }
  // <root>SPARE/<TaskId>/ once begun.
  const std::string& Folder() const { return m_folder; }
  int32_t StageTaskId() const { return m_taskId; }

  // The next request, sealed; it asks from what the folder holds now. Its number is above
  // every earlier one, even those of a spare program started before this one.
  bool NextRequest(std::string& message, std::string& error);
  // The stage's sealed answer to the last request; false with the text (GBK) when refused or
  // not written: the folder then holds what it held, and the next request asks again.
  bool Apply(std::string_view message, int64_t nowMs, std::string& error);

  // After this machine took the draw over at `when` (YYYY-MM-DD HH:MM:SS): the sealed notice
  // for the old stage, numbered as the requests are, and the reading of the stage's answer
  // (true once the stage's journal records it; false with the text (GBK) otherwise).
  bool TakenNotice(std::string_view when, std::string& message, std::string& error);
  bool TakenRecorded(std::string_view message, std::string& error);

  // "已同步到第N批 · 签到M人 · 领奖K人 · 最后更新 HH:MM:SS" (GBK), led by "主机未响应 N秒"
  // while the stage has not been heard for kStageSilentMs, and followed by "尚未收到活动设置"
  // while no set-up is held.
  std::string StatusText(int64_t nowMs) const;
  bool Late(int64_t nowMs) const { return nowMs - m_heardMs >= kStageSilentMs; }
  const THeartbeat& Beat() const { return m_beat; }
  uint32_t Batches() const { return m_batches; }
  uint32_t Checkins() const { return m_checkins; }
  uint32_t Claims() const { return m_claims; }

 private:
  bool Seal(std::string_view plain, std::string& message, std::string& error);
  bool Held(TRequest& request, std::string bytes[kEntries], std::string& error) const;
  void Count(const std::string bytes[kEntries]);

  std::string m_root;
  std::string m_folder;
  int32_t m_taskId = 0;
  bool m_begun = false;
  TStreamKey m_key{};
  uint64_t m_number = 0;   // of the last request sent
  uint64_t m_pending = 0;  // the request awaiting its answer, 0 when none
  std::string m_setupSha;  // of setup.zip in the folder
  std::string m_part;      // a set-up being fetched
  std::string m_partSha;
  int64_t m_heardMs = 0;
  std::string m_updatedAt;  // HH:MM:SS of the last answer applied
  THeartbeat m_beat;
  uint32_t m_batches = 0;
  uint32_t m_checkins = 0;
  uint32_t m_claims = 0;
};

}  // namespace spare
