#include "core/spare/TakeOver.h"

#include <ctime>
#include <vector>

#include "core/draw/DataDraw.h"
#include "core/draw/DrawJournal.h"
#include "core/draw/DrawSession.h"
#include "core/draw/Random.h"
#include "core/package/EventPackage.h"
#include "core/records/CheckinFile.h"
#include "core/records/ClaimFile.h"
#include "core/records/Loaders.h"
#include "core/records/Records.h"
#include "core/records/ResultsHistory.h"
#include "core/text/FileWrite.h"
#include "core/text/Format.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"

namespace spare {

namespace {

using text::G;

const std::string* Value(const package::TRow& row, std::string_view column) {
  for (const auto& [name, value] : row)
    if (name == column) return &value;
  return nullptr;
}

// The task this machine holds under `taskId` has the package's list and prize items.
bool SameSetUp(int32_t taskId, const package::TEventPackage& pkg, std::string& error) {
  std::string list;
  if (!files::ReadWholeFile(paths::DrawDataPath(taskId), list, error)) return false;
  const std::string* packed = nullptr;
  for (const package::TPackedFile& f : pkg.Files)
    if (f.Entry == pkg.ListEntry) packed = &f.Bytes;
  if (!packed || *packed != list) return false;
  TArrLuckItem items;
  int32_t count = 0, sum = 0;
  if (!LoadLuckItems(taskId, items, count, sum, error) || items.size() != pkg.Items.size())
    return false;
  for (size_t i = 0; i < items.size(); ++i) {
    const package::TRow& row = pkg.Items[i];
    const std::string* id = Value(row, "ItemId");
    const std::string* name = Value(row, "ItemName");
    const std::string* luck = Value(row, "LuckCount");
    const std::string* per = Value(row, "ListCount");
    if (!id || !name || !luck || !per || *id != std::to_string(items[i].ItemId) ||
        *name != items[i].ItemName || *luck != std::to_string(items[i].LuckCount) ||
        *per != std::to_string(items[i].ListCount))
      return false;
  }
  return true;
}

// What the draw screen's set-up would find: the journal placed here goes on.
bool Resumes(int32_t taskId, std::string& why) {
  TDrawSession session;
  TRandom rng;
  TDataDraw draw(session, rng);
  TDrawFailure failure;
  if (!draw.SetUp(taskId, failure)) {
    why = failure.text;
    return false;
  }
  const TPendingKind kind = draw.Pending().kind;
  draw.Close();
  if (kind == TPendingKind::Resumable || kind == TPendingKind::Complete) return true;
  why = G("本机的任务设置与抽奖记录不一致(名单、奖项、预设或规则不同)。");
  return false;
}

std::string BatchRange(int32_t from, int32_t to) {
  return from == to ? G("第") + std::to_string(from) + G("批")
                    : G("第") + std::to_string(from) + G("…") + std::to_string(to) + G("批");
}

}  // namespace

bool OfferOf(const TRelay& relay, TTakeOverOffer& offer, std::string& error) {
  offer = TTakeOverOffer();
  const std::string* bytes = relay.Entry(kJournalEntry);
  TJournal journal;
  if (!bytes || ParseJournal(*bytes, journal, kJournalEntry, error) != JournalRead::Ok) {
    error = G("接力包中的抽奖记录无法读取,不能接管。");
    return false;
  }
  offer.StageTaskId = journal.Head.TaskId;
  offer.TaskName = relay.Manifest.TaskName;
  offer.Machine = relay.Manifest.Machine;
  offer.WrittenAt = relay.Manifest.WrittenAt;
  offer.Held = RevealedBatches(journal);
  return true;
}

std::string MissingBatchesText(int32_t held, int32_t shown) {
  return G("接力包只到第") + std::to_string(held) + G("批,台上已揭晓到第") + std::to_string(shown) +
         G("批:") + BatchRange(held + 1, shown) + G("的中奖者不在包中");
}

bool TakeOver(const TRelay& relay, const TTakeOverChoice& choice, int32_t& localTaskId,
              std::string& message) {
  localTaskId = 0;
  message.clear();
  TTakeOverOffer offer;
  if (!OfferOf(relay, offer, message)) return false;
  const std::string& journalBytes = *relay.Entry(kJournalEntry);
  TJournal journal;
  std::string ignored;
  ParseJournal(journalBytes, journal, kJournalEntry, ignored);
  if (TakenAt(journal)) {
    message = G("这份接力包来自一台已被接管的电脑,不能再接管。");
    return false;
  }
  const int32_t held = offer.Held;
  const int32_t shown = choice.ShownBatch < 0 ? held : choice.ShownBatch;
  if (shown > held && !choice.RedrawMissing) {
    message = MissingBatchesText(held, shown);
    return false;
  }
  const std::string* setup = relay.Entry(kSetupEntry);
  package::TEventPackage pkg;
  if (!setup || !package::ReadEventPackage(*setup, pkg, message)) {
    message = G("接力包中的活动包无法读取:") + message;
    return false;
  }
  const int32_t taskId = offer.StageTaskId;
  const std::string* packedId = Value(pkg.Task, "TaskId");
  if (!packedId || *packedId != std::to_string(taskId)) {
    message = G("接力包中的活动包与抽奖记录不是同一个任务,不能接管。");
    return false;
  }

  // The set-up: the task this machine has under the stage's id, or the package installed.
  TLuckTask here;
  std::string error;
  if (LoadLuckTask(taskId, here, error)) {
    if (!SameSetUp(taskId, pkg, error)) {
      message = G("本机已有任务") + std::to_string(taskId) + G("(") + here.TaskName +
                G("),但它的名单或奖项与接力包不同,不能接管。请在另一台电脑上接管,"
                  "或先删除本机的这个任务。");
      return false;
    }
  } else if (error != G("不存在该抽奖任务,任务号=") + std::to_string(taskId)) {
    message = error;
    return false;
  } else {
    int32_t installed = 0;
    std::string summary;
    if (!package::InstallEventPackage(pkg, installed, summary, error)) {
      message = G("接力包中的活动包无法导入:") + error;
      return false;
    }
    if (installed != taskId) {
      message = G("接力包的任务在本机得到了另一个序号") + std::to_string(installed) +
                G(",不能接着抽。请删除它后再接管。");
      return false;
    }
  }

  // What this machine holds of the task's draws: the same draw is never taken twice; another
  // draw's journal, and a check-in file other than the stage's, go to the history.
  const std::string key = JournalHeadKey(journalBytes.substr(0, journalBytes.find('\n') + 1));
  const std::string journalPath = paths::JournalPath(taskId);
  const std::string checkinPath = checkin::CheckinFilePath(taskId);
  std::vector<std::string> aside;
  for (const std::string& p : {journalPath, paths::FinishedJournalPath(taskId)}) {
    if (!paths::FileExists(p)) continue;
    if (claims::JournalDrawKey(p) == key) {
      message = G("本机已经有这个抽奖的记录(已接管过,或已在本机抽过),不再接管。");
      return false;
    }
    if (p == journalPath) aside.push_back(p);
  }
  const std::string* checkins = relay.Entry(kCheckinEntry);
  if (paths::FileExists(checkinPath)) {
    std::string bytes;
    if (!files::ReadWholeFile(checkinPath, bytes, message)) return false;
    if (!checkins || bytes != *checkins) aside.push_back(checkinPath);
  }
  std::string historyFolder;
  if (!aside.empty() && !MoveToHistory(taskId, aside, historyFolder, message)) return false;

  // Check-ins and claims first; the journal, which makes the draw go on, last.
  const std::string claimPath = claims::ClaimFilePath(taskId, key);
  std::vector<std::string> placed;
  const auto undo = [&] {
    std::string e;
    for (const std::string& p : placed) files::RemoveFile(p, e);
    if (!historyFolder.empty()) RestoreFromHistory(historyFolder, aside, e);
  };
  if (checkins) {
    if (!files::WriteFileAtomic(checkinPath, *checkins, message)) return undo(), false;
    placed.push_back(checkinPath);
  }
  if (const std::string* claimBytes = relay.Entry(kClaimsEntry)) {
    if (!files::WriteFileAtomic(claimPath, *claimBytes, message)) return undo(), false;
    placed.push_back(claimPath);
  }
  TMoveRecord moved;
  moved.Time =
      choice.Time.empty() ? text::LocalTime(std::time(nullptr), "%Y-%m-%d %H:%M:%S") : choice.Time;
  moved.Machine = relay.Manifest.Machine.empty() ? G("台上电脑") : relay.Manifest.Machine;
  moved.Source = choice.Source;
  moved.Held = held;
  moved.Shown = shown;
  // Whole records only: a relay's journal never ends in a torn line, but a forged one might.
  const std::string whole = journalBytes.substr(0, journal.WholeBytes);
  if (!files::WriteFileAtomic(journalPath, whole + FormatMoveRecord(moved), message))
    return undo(), false;
  placed.push_back(journalPath);

  std::string why;
  if (!Resumes(taskId, why)) {
    undo();
    message = G("接管后本机无法接着这个抽奖:") + why;
    return false;
  }
  localTaskId = taskId;
  message = G("已接管任务") + relay.Manifest.TaskName + G(":接力包来自") + moved.Machine + G("(") +
            relay.Manifest.WrittenAt + G("),含已揭晓的") + std::to_string(held) +
            G("批。打开抽奖即从第") + std::to_string(held + 1) + G("批接着抽");
  const std::string redrawn = movetext::Redrawn(moved);
  message += redrawn.empty() ? G("。") : G(",") + redrawn + G("。");
  return true;
}

bool MarkTakenOver(int32_t taskId, std::string_view when, std::string& error) {
  return MarkTakenOver(paths::DataRoot(), taskId, when, error);
}

bool MarkTakenOver(std::string_view root, int32_t taskId, std::string_view when,
                   std::string& error) {
  const std::string path = paths::JournalPath(root, taskId);
  TJournal journal;
  switch (ReadJournal(path, journal, error)) {
    case JournalRead::Ok:
      break;
    case JournalRead::Missing:
    case JournalRead::Empty:
      error = G("本机没有这个任务进行中的抽奖记录。");
      return false;
    case JournalRead::Damaged:
    case JournalRead::Unreadable:
      return false;
  }
  if (TakenAt(journal)) return true;
  size_t whole = journal.WholeBytes;
  return files::AppendRecords(path, whole, "", FormatTakenRecord(when), error);
}

}  // namespace spare
