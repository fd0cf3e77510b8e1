#include "core/spare/Follower.h"

#include <chrono>
#include <ctime>
#include <utility>

#include "core/draw/DrawJournal.h"
#include "core/draw/MoveRecords.h"
#include "core/records/CheckinFile.h"
#include "core/records/ClaimFile.h"
#include "core/records/FileHash.h"
#include "core/spare/Relay.h"
#include "core/text/FileWrite.h"
#include "core/text/Format.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"

namespace spare {

namespace {

constexpr std::string_view kSpareFolder = "SPARE/";

bool ReadIfThere(const std::string& gbkPath, std::string& bytes, std::string& error) {
  bytes.clear();
  if (!paths::FileExists(gbkPath)) return true;
  return files::ReadWholeFile(gbkPath, bytes, error);
}

std::string Dot() { return text::G(" · "); }

}  // namespace

TFollower::TFollower(std::string root) : m_root(std::move(root)) {}

bool TFollower::Begin(std::string_view hello, std::string_view typedCode, int64_t nowMs,
                      std::string& error) {
  std::string code, salt;
  int32_t taskId = 0;
  if (!ReadTypedCode(typedCode, code, error) || !ReadHello(hello, taskId, salt, error))
    return false;
  const std::string folder = m_root + std::string(kSpareFolder) + std::to_string(taskId) + "/";
  if (!files::MakeFolders(folder, error)) return false;
  std::string setup;
  if (!ReadIfThere(folder + std::string(kSetupName), setup, error)) return false;
  m_folder = folder;
  m_taskId = taskId;
  m_begun = true;
  m_key = DeriveKey(code, salt);
  m_setupSha = setup.empty() ? std::string() : Sha256Hex(setup);
  m_part.clear();
  m_partSha.clear();
  m_pending = 0;
  m_heardMs = nowMs;
  m_updatedAt.clear();
  std::string bytes[kEntries];
  TRequest ignored;
  if (Held(ignored, bytes, error)) Count(bytes);
  error.clear();
  return true;
}

bool TFollower::Held(TRequest& request, std::string bytes[kEntries], std::string& error) const {
  for (size_t i = 0; i < kEntries; ++i) {
    if (!ReadIfThere(m_folder + std::string(kEntryNames[i]), bytes[i], error)) return false;
    request.Held[i].Length = bytes[i].size();
    request.Held[i].Sha256 = bytes[i].empty() ? std::string() : Sha256Hex(bytes[i]);
  }
  request.SetupSha256 = m_setupSha;
  request.PartSha256 = m_part.empty() ? std::string() : m_partSha;
  request.PartLength = m_part.empty() ? 0 : m_part.size();
  return true;
}

void TFollower::Count(const std::string bytes[kEntries]) {
  std::string error;
  TJournal journal;
  m_batches = !bytes[0].empty() && ParseJournal(bytes[0], journal, "", error) == JournalRead::Ok
                  ? static_cast<uint32_t>(RevealedBatches(journal))
                  : 0;
  checkin::TCheckinFile checkins;
  m_checkins = checkin::ParseCheckinFile(bytes[1], checkins, "", error)
                   ? static_cast<uint32_t>(checkins.Records.size())
                   : 0;
  claims::TClaimFile claimed;
  m_claims = claims::ParseClaimFile(bytes[2], claimed, "", error)
                 ? static_cast<uint32_t>(claimed.Records.size())
                 : 0;
}

bool TFollower::NextRequest(std::string& message, std::string& error) {
  if (!m_begun) {
    error = text::G("请先输入主机地址和配对码");
    return false;
  }
  TRequest request;
  std::string bytes[kEntries];
  if (!Held(request, bytes, error)) return false;
  return Seal(EncodeRequest(request), message, error);
}

bool TFollower::Seal(std::string_view plain, std::string& message, std::string& error) {
  // From the clock in microseconds: a spare started again goes on above its earlier numbers.
  const auto micros = static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                                std::chrono::system_clock::now().time_since_epoch())
                                                .count());
  const uint64_t number = std::max(m_number + 1, micros);
  if (!SealMessage(m_key, TDirection::ToStage, number, plain, message, error)) return false;
  m_number = number;
  m_pending = number;
  return true;
}

bool TFollower::TakenNotice(std::string_view when, std::string& message, std::string& error) {
  if (!m_begun) {
    error = text::G("请先输入主机地址和配对码");
    return false;
  }
  return Seal(FormatTakenNotice(when), message, error);
}

bool TFollower::TakenRecorded(std::string_view message, std::string& error) {
  if (m_pending == 0) {
    error = OpenRefusal(TOpenResult::Replayed);
    return false;
  }
  uint64_t number = 0;
  std::string plain;
  TOpenResult opened =
      OpenMessage(m_key, TDirection::ToSpare, m_pending - 1, message, number, plain);
  if (opened == TOpenResult::Opened && number != m_pending) opened = TOpenResult::Replayed;
  if (opened != TOpenResult::Opened) {
    error = OpenRefusal(opened);
    return false;
  }
  m_pending = 0;
  if (plain != kTakenRecorded) {
    error = text::G("原主机未能记下接管，稍后再告知");
    return false;
  }
  return true;
}

bool TFollower::Apply(std::string_view message, int64_t nowMs, std::string& error) {
  if (m_pending == 0) {
    error = OpenRefusal(TOpenResult::Replayed);
    return false;
  }
  uint64_t number = 0;
  std::string plain;
  const TOpenResult opened =
      OpenMessage(m_key, TDirection::ToSpare, m_pending - 1, message, number, plain);
  // Only the answer to the request just sent: an older one replayed is not taken.
  if (opened == TOpenResult::Opened && number != m_pending) {
    error = OpenRefusal(TOpenResult::Replayed);
    return false;
  }
  if (opened != TOpenResult::Opened) {
    error = OpenRefusal(opened);
    return false;
  }
  m_pending = 0;
  TAnswer answer;
  if (!DecodeAnswer(plain, answer, error)) return false;
  if (answer.Beat.TaskId != m_taskId) {
    error = text::G("主机换了抽奖任务，请重新输入主机地址和配对码");
    return false;
  }
  TRequest held;
  std::string bytes[kEntries];
  if (!Held(held, bytes, error)) return false;
  std::vector<std::pair<std::string, std::string>> writes;
  std::vector<std::string> removes;
  for (size_t i = 0; i < kEntries; ++i) {
    const TPiece& p = answer.Pieces[i];
    const std::string path = m_folder + std::string(kEntryNames[i]);
    if (!p.Present) {
      if (paths::FileExists(path)) removes.push_back(path);
      bytes[i].clear();
      continue;
    }
    if (!p.Restart && p.Offset != bytes[i].size()) {
      // Not where this file ends: nothing of it is written, and the next request asks again.
      error = text::G("收到的数据与本机已有的长度不符（") + std::string(kEntryNames[i]) +
              text::G("），已丢弃并重新请求");
      return false;
    }
    // Nothing new: the file stays as it is (and a file the spare lacks is not made empty).
    if (p.Bytes.empty() && !p.Restart) continue;
    if (p.Restart) bytes[i].clear();
    bytes[i] += p.Bytes;
    writes.emplace_back(path, bytes[i]);
  }
  std::string setupDone;
  if (!answer.SetupSha256.empty() && answer.SetupSha256 != m_setupSha) {
    if (m_partSha != answer.SetupSha256) {
      m_part.clear();
      m_partSha = answer.SetupSha256;
    }
    if (answer.SetupOffset != m_part.size()) {
      m_part.clear();
      error = text::G("收到的活动设置与本机已有的长度不符，已丢弃并重新请求");
      return false;
    }
    m_part += answer.SetupBytes;
    if (m_part.size() == answer.SetupTotal) {
      if (Sha256Hex(m_part) != answer.SetupSha256) {
        m_part.clear();
        error = text::G("收到的活动设置校验不符，已丢弃并重新请求");
        return false;
      }
      setupDone = std::move(m_part);
      m_part.clear();
      writes.emplace_back(m_folder + std::string(kSetupName), setupDone);
    }
  }
  const bool changed = !writes.empty() || !removes.empty() || m_updatedAt.empty();
  if (changed) {
    std::string setupBytes;
    if (setupDone.empty() && !ReadIfThere(m_folder + std::string(kSetupName), setupBytes, error))
      return false;
    TRelayManifest m;
    m.TaskId = m_taskId;
    m.TaskName = answer.Beat.TaskName;
    m.Machine = answer.Beat.Machine;
    m.WrittenAt = text::LocalTime(std::time(nullptr), "%Y-%m-%d %H:%M:%S");
    TJournal journal;
    std::string ignored;
    if (!bytes[0].empty() && ParseJournal(bytes[0], journal, "", ignored) == JournalRead::Ok)
      m.Batches = RevealedBatches(journal);
    const std::string& setup = setupDone.empty() ? setupBytes : setupDone;
    if (!setup.empty()) m.Hashes.emplace_back(std::string(kSetupName), Sha256Hex(setup));
    // The entries the folder holds once this answer is in place.
    for (size_t i = 0; i < kEntries; ++i)
      if (answer.Pieces[i].Present &&
          (!bytes[i].empty() || paths::FileExists(m_folder + std::string(kEntryNames[i]))))
        m.Hashes.emplace_back(std::string(kEntryNames[i]), Sha256Hex(bytes[i]));
    // The manifest goes last: it names the entries as they are once all are in place.
    writes.emplace_back(m_folder + std::string(kManifestName), FormatRelayManifest(m));
    size_t written = 0;
    if (!files::WriteFilesAtomic(writes, written, error)) return false;
    for (const std::string& path : removes)
      if (!files::RemoveFile(path, error)) return false;
    if (!setupDone.empty()) m_setupSha = answer.SetupSha256;
  }
  Count(bytes);
  m_beat = answer.Beat;
  m_heardMs = nowMs;
  m_updatedAt = text::LocalTime(std::time(nullptr), "%H:%M:%S");
  return true;
}

std::string TFollower::StatusText(int64_t nowMs) const {
  std::string s;
  if (Late(nowMs))
    s = text::G("主机未响应 ") + std::to_string((nowMs - m_heardMs) / 1000) + text::G("秒");
  if (m_updatedAt.empty()) return s.empty() ? text::G("正在连接主机…") : s;
  if (!s.empty()) s += Dot();
  s += text::G("已同步到第") + std::to_string(m_batches) + text::G("批") + Dot() + text::G("签到") +
       std::to_string(m_checkins) + text::G("人") + Dot() + text::G("领奖") +
       std::to_string(m_claims) + text::G("人") + Dot() + text::G("最后更新 ") + m_updatedAt;
  // Without the set-up the spare cannot take over: said, not left to be found out.
  if (m_setupSha.empty()) s += Dot() + text::G("尚未收到活动设置");
  return s;
}

}  // namespace spare
