#include "core/spare/StageStream.h"

#include <ctime>
#include <utility>

#include "core/draw/DrawJournal.h"
#include "core/draw/MoveRecords.h"
#include "core/package/EventPackage.h"
#include "core/records/CheckinFile.h"
#include "core/records/ClaimFile.h"
#include "core/records/FileHash.h"
#include "core/spare/Relay.h"
#include "core/spare/TakeOver.h"
#include "core/text/FileWrite.h"
#include "core/text/Format.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"

namespace spare {

namespace {

// How reading a file of the draw went.
enum class TRead { Missing, Read, Unreadable };

TRead ReadIfThere(const std::string& gbkPath, std::string& bytes) {
  bytes.clear();
  if (gbkPath.empty() || !paths::FileExists(gbkPath)) return TRead::Missing;
  std::string error;
  return files::ReadWholeFile(gbkPath, bytes, error) ? TRead::Read : TRead::Unreadable;
}

// The piece of a file for a spare that holds `held`, at most `room` bytes.
TPiece PieceOf(TRead read, const std::string& bytes, const THeld& held, size_t& room) {
  TPiece p;
  p.Present = read != TRead::Missing;
  if (read == TRead::Missing) return p;
  if (read == TRead::Unreadable) {
    // Not readable this moment (a rename under way): no news, and never "gone".
    p.Offset = p.Total = held.Length;
    return p;
  }
  p.Total = bytes.size();
  const bool prefix = held.Length <= bytes.size() &&
                      (held.Length == 0 ||
                       Sha256Hex(std::string_view(bytes).substr(0, held.Length)) == held.Sha256);
  p.Restart = !prefix;
  p.Offset = prefix ? held.Length : 0;
  const size_t n = std::min<size_t>(room, bytes.size() - p.Offset);
  p.Bytes = bytes.substr(p.Offset, n);
  room -= n;
  return p;
}

std::string Now() { return text::LocalTime(std::time(nullptr), "%Y-%m-%d %H:%M:%S"); }

net::THttpResponse Sealed(std::string body) {
  net::THttpResponse r = net::PlainResponse(200, "");
  r.ContentType = "application/octet-stream";
  r.Body = std::move(body);
  return r;
}

}  // namespace

TStageFiles StageFilesOf(std::string_view root, int32_t taskId) {
  TStageFiles f;
  f.Journal = paths::JournalPath(root, taskId);
  if (!paths::FileExists(f.Journal)) {
    const std::string done = paths::FinishedJournalPath(root, taskId);
    if (paths::FileExists(done)) f.Journal = done;
  }
  f.Checkin = checkin::CheckinFilePath(root, taskId);
  std::string key = claims::JournalDrawKey(f.Journal);
  f.Claims = claims::ClaimFilePath(root, taskId, key.empty() ? claims::NoJournalKey() : key);
  return f;
}

TAnswer BuildAnswer(const TStageFiles& files, const TSetupBytes* setup, const TRequest& request,
                    THeartbeat beat) {
  TAnswer a;
  size_t room = kMaxAnswerBytes;
  const std::string* paths[kEntries] = {&files.Journal, &files.Checkin, &files.Claims};
  std::string bytes[kEntries];
  TRead read[kEntries];
  for (size_t i = 0; i < kEntries; ++i) read[i] = ReadIfThere(*paths[i], bytes[i]);
  // Whole records only: a write under way on the stage never reaches the spare half done,
  // so a spare whose stage dies at that moment still holds a relay it can take over.
  std::string error;
  TJournal journal;
  if (!bytes[0].empty() &&
      ParseJournal(bytes[0], journal, files.Journal, error) == JournalRead::Ok) {
    beat.Batches = static_cast<uint32_t>(RevealedBatches(journal));
    bytes[0].resize(journal.WholeBytes);
  }
  checkin::TCheckinFile checkins;
  if (checkin::ParseCheckinFile(bytes[1], checkins, files.Checkin, error)) {
    beat.Checkins = static_cast<uint32_t>(checkins.Records.size());
    bytes[1].resize(checkins.WholeBytes);
  }
  claims::TClaimFile claimed;
  if (claims::ParseClaimFile(bytes[2], claimed, files.Claims, error)) {
    beat.Claims = static_cast<uint32_t>(claimed.Records.size());
    bytes[2].resize(claimed.WholeBytes);
  }
  for (size_t i = 0; i < kEntries; ++i)
    a.Pieces[i] = PieceOf(read[i], bytes[i], request.Held[i], room);
  if (beat.StageTime.empty()) beat.StageTime = Now();
  a.Beat = std::move(beat);
  if (setup && !setup->Sha256.empty()) {
    a.SetupSha256 = setup->Sha256;
    a.SetupTotal = setup->Bytes.size();
    if (request.SetupSha256 != setup->Sha256) {
      // A fetch of this set-up goes on where it stands; any other starts again.
      const uint64_t from =
          request.PartSha256 == setup->Sha256 && request.PartLength <= setup->Bytes.size()
              ? request.PartLength
              : 0;
      a.SetupOffset = from;
      const size_t n = std::min<size_t>(room, setup->Bytes.size() - from);
      a.SetupBytes = setup->Bytes.substr(from, n);
    }
  }
  return a;
}

std::string StreamKeyPath(std::string_view root, int32_t taskId) {
  return std::string(root) + "SPARE/stream_" + std::to_string(taskId) + ".txt";
}

namespace {

// The kept code and salt, when the file is there and whole.
bool ReadKept(const std::string& path, std::string& code, std::string& salt) {
  std::string bytes, error;
  if (!paths::FileExists(path) || !files::ReadWholeFile(path, bytes, error)) return false;
  const size_t cut = bytes.find("\r\n");
  if (cut == std::string::npos) return false;
  std::string typed;
  if (!ReadTypedCode(bytes.substr(0, cut), typed, error)) return false;
  std::string rest = bytes.substr(cut + 2);
  if (rest.size() < 2 || !rest.ends_with("\r\n")) return false;
  rest.resize(rest.size() - 2);
  if (rest.size() != kSaltBytes || rest.find_first_not_of(kCodeAlphabet) != std::string::npos)
    return false;
  code = std::move(typed);
  salt = std::move(rest);
  return true;
}

}  // namespace

TStageStream::TStageStream(int32_t taskId, std::string root, std::string gbkTaskName)
    : m_taskId(taskId),
      m_root(std::move(root)),
      m_taskName(std::move(gbkTaskName)),
      m_machine(MachineName()) {}

bool TStageStream::MakeLocked() {
  if (!m_code.empty()) return true;
  const std::string kept = StreamKeyPath(m_root, m_taskId);
  std::string code, error, salt;
  if (!m_renewing && ReadKept(kept, code, salt)) {
    m_code = std::move(code);
    m_salt = std::move(salt);
    m_key.reset();
    m_lastNumber = 0;
    return true;
  }
  m_renewing = false;
  if (!NewStreamCode(code, error)) return false;
  // The salt is random too: each code is a stream of its own, whatever was drawn before.
  if (!NewStreamCode(salt, error)) return false;
  m_code = std::move(code);
  m_salt = salt.substr(0, kSaltBytes);
  m_key.reset();
  m_lastNumber = 0;
  // Kept for a restart; should it fail, this run still follows and only a restart renews it.
  if (files::MakeFolders(m_root + "SPARE/", error))
    files::WriteFileAtomic(kept, m_code + "\r\n" + m_salt + "\r\n", error);
  return true;
}

std::string TStageStream::Code() {
  std::lock_guard lock(m_mutex);
  return MakeLocked() ? GroupedCode(m_code) : std::string();
}

void TStageStream::Renew() {
  std::lock_guard lock(m_mutex);
  m_code.clear();
  m_renewing = true;
  MakeLocked();
}

void TStageStream::SetSetup(std::string bytes) {
  auto s = std::make_shared<TSetupBytes>();
  s->Sha256 = Sha256Hex(bytes);
  s->Bytes = std::move(bytes);
  std::lock_guard lock(m_mutex);
  m_setup = std::move(s);
}

bool TStageStream::PublishSetup(std::string& error) {
  const std::string zip = m_root + "SPARE/setup_" + std::to_string(m_taskId) + ".zip";
  std::string summary, bytes;
  const bool ok = files::MakeFolders(m_root + "SPARE/", error) &&
                  package::ExportEventPackage(m_taskId, zip, summary, error) &&
                  files::ReadWholeFile(zip, bytes, error);
  if (ok) SetSetup(std::move(bytes));
  std::lock_guard lock(m_mutex);
  m_setupError = ok ? std::string() : error;
  return ok;
}

std::string TStageStream::SetupError() const {
  std::lock_guard lock(m_mutex);
  return m_setupError;
}

void TStageStream::SetDrawOpen(bool open) {
  std::lock_guard lock(m_mutex);
  m_drawOpen = open;
}

uint64_t TStageStream::Answered() const {
  std::lock_guard lock(m_mutex);
  return m_answered;
}

bool TStageStream::Answer(const net::THttpRequest& request, net::THttpResponse& response) {
  if (request.Path == "/spare/hello" && request.Method == "GET") {
    std::lock_guard lock(m_mutex);
    if (!MakeLocked()) {
      response = net::PlainResponse(503, "no random source");
      return true;
    }
    response = net::PlainResponse(200, FormatHello(m_taskId, m_salt));
    return true;
  }
  if (request.Path == "/spare/taken") return Taken(request, response);
  if (request.Path != "/spare/sync") return false;
  if (request.Method != "POST") {
    response = net::PlainResponse(405, "POST only");
    return true;
  }
  TStreamKey key;
  std::shared_ptr<const TSetupBytes> setup;
  uint64_t last = 0;
  {
    std::lock_guard lock(m_mutex);
    if (!MakeLocked()) {
      response = net::PlainResponse(503, "no random source");
      return true;
    }
    // Derived once per code, here rather than on the window's thread.
    if (!m_key) m_key = DeriveKey(m_code, m_salt);
    key = *m_key;
    setup = m_setup;
    last = m_lastNumber;
  }
  uint64_t number = 0;
  std::string plain, error;
  const TOpenResult opened =
      OpenMessage(key, TDirection::ToStage, last, request.Body, number, plain);
  TRequest asked;
  if (opened != TOpenResult::Opened || !DecodeRequest(plain, asked, error)) {
    response = net::PlainResponse(opened == TOpenResult::Replayed ? 409 : 403, "refused");
    return true;
  }
  {
    // Taken once: a second request with this number (a replay racing the first) is refused.
    std::lock_guard lock(m_mutex);
    if (!m_key || *m_key != key || number <= m_lastNumber) {
      response = net::PlainResponse(409, "refused");
      return true;
    }
    m_lastNumber = number;
  }
  THeartbeat beat;
  beat.TaskId = m_taskId;
  beat.TaskName = m_taskName;
  beat.Machine = m_machine;
  const TAnswer answer = BuildAnswer(StageFilesOf(m_root, m_taskId), setup.get(), asked, beat);
  std::string sealed;
  // The answer carries the request's number: it answers that request and no other.
  if (!SealMessage(key, TDirection::ToSpare, number, EncodeAnswer(answer), sealed, error)) {
    response = net::PlainResponse(503, "no random source");
    return true;
  }
  {
    std::lock_guard lock(m_mutex);
    ++m_answered;
  }
  response = Sealed(std::move(sealed));
  return true;
}

bool TStageStream::Taken(const net::THttpRequest& request, net::THttpResponse& response) {
  if (request.Method != "POST") {
    response = net::PlainResponse(405, "POST only");
    return true;
  }
  TStreamKey key;
  uint64_t last = 0;
  {
    std::lock_guard lock(m_mutex);
    if (!MakeLocked()) {
      response = net::PlainResponse(503, "no random source");
      return true;
    }
    if (!m_key) m_key = DeriveKey(m_code, m_salt);
    key = *m_key;
    last = m_lastNumber;
  }
  uint64_t number = 0;
  std::string plain, when, error;
  const TOpenResult opened =
      OpenMessage(key, TDirection::ToStage, last, request.Body, number, plain);
  if (opened != TOpenResult::Opened || !ReadTakenNotice(plain, when)) {
    response = net::PlainResponse(opened == TOpenResult::Replayed ? 409 : 403, "refused");
    return true;
  }
  {
    std::lock_guard lock(m_mutex);
    if (!m_key || *m_key != key || number <= m_lastNumber) {
      response = net::PlainResponse(409, "refused");
      return true;
    }
    m_lastNumber = number;
    // Never a line beside the draw screen's own writes: asked again once it has closed.
    if (m_drawOpen) {
      response = net::PlainResponse(423, "draw open");
      return true;
    }
  }
  // From now on opening this draw here refuses; a journal that cannot take the record is
  // said, and the spare asks again.
  if (!MarkTakenOver(m_root, m_taskId, when, error)) {
    response = net::PlainResponse(500, text::GbkToUtf8(error));
    return true;
  }
  std::string sealed;
  if (!SealMessage(key, TDirection::ToSpare, number, kTakenRecorded, sealed, error)) {
    response = net::PlainResponse(503, "no random source");
    return true;
  }
  response = Sealed(std::move(sealed));
  return true;
}

}  // namespace spare
