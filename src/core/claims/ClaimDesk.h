// The prize claims of one task while the program runs: who won in the draw now on record,
// each prize's claim code, and the claims so far (from the draw's claim file, so a restarted
// program goes on where it stopped). The check-in service holds its task's desk and hands it
// to the results window: the paired desks' requests and the results window's 领取 all go
// through it, so a claim is decided once and written once. Safe to call from several server threads
// at once; a claim is on disk before Claim returns it (claims made together share one flushed
// append), and readers never wait on a disk write.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/draw/DrawProof.h"
#include "core/draw/StageObserver.h"
#include "core/records/ClaimFile.h"
#include "core/records/GroupCommit.h"

namespace claims {

enum class TClaimAnswer {
  Claimed,         // 领取成功
  AlreadyClaimed,  // 已于 HH:MM 领取
  Absent,          // marked absent and replaced: the prize went to another
  Voided,          // voided (作废) after the draw: the prize is not this person's any more
  NotWinner,       // not a winner of the draw on record (or an unknown code)
  NotSaved,        // the claim could not be written; the desk may try again
  Closed,          // no draw on record yet
};

// The desk's text for an answer (GBK); `time` is the claim's time for AlreadyClaimed.
std::string ClaimAnswerText(TClaimAnswer answer, std::string_view time = {});

// A winner of the draw: the id as on the list, the prize item, and the name the list gives
// (GBK; empty when the list has no 姓名 field).
struct TClaimWinner {
  std::string Id;
  int32_t ItemId = 0;
  std::string ItemName;
  std::string Name;
  bool operator==(const TClaimWinner&) const = default;
};

// The draw whose prizes are claimed: its task, key (ClaimFile.h), winners in draw order, the
// winners marked absent whose places went to others, and the voided winners.
struct TClaimDraw {
  int32_t TaskId = 0;
  std::string DrawKey;
  std::vector<TClaimWinner> Winners;
  std::vector<TClaimWinner> Absent;
  std::vector<TClaimWinner> Voided;
};

// One prize as the desk and the winner's phone see it.
struct TPrize {
  TClaimWinner Winner;
  std::string Code;  // 8 digits
  bool Claimed = false;
  std::string Time;  // of the claim, YYYY-MM-DD HH:MM:SS
  std::string Desk;
  bool Voided = false;  // the winner was voided: no code, nothing to claim
};

struct TClaimResult {
  TClaimAnswer Answer = TClaimAnswer::Closed;
  TPrize Prize;  // the prize the claim was for, when it names one
};

inline constexpr size_t kClaimCodeDigits = 8;
inline constexpr size_t kMaxSearchHits = 20;

class TClaimDesk {
 public:
  TClaimDesk();

  // Takes the draw: its claim file is read when the draw is another than the one held (a
  // torn tail is left for the next append to cut back). Winners the same draw had before and
  // no longer has were marked absent, unless the draw names them voided; a void stays.
  // Codes of prizes already known stay as they were.
  // False with the reader's error (GBK); the desk then keeps what it had.
  bool Use(TClaimDraw draw, std::string& error);
  // The task and draw held (0 and empty before the first Use).
  int32_t TaskId() const;
  std::string DrawKey() const;

  // Records the claim of the prize (`id` as on the list, `itemId`) at `desk` (GBK, at most
  // kMaxDeskBytes); on disk before it returns Claimed.
  TClaimResult Claim(std::string_view id, int32_t itemId, std::string_view desk);
  // The same for the prize of a claim code (blanks in it are ignored).
  TClaimResult ClaimCode(std::string_view code, std::string_view desk);

  // The prize of a claim code, or none; absent and voided winners come back as a prize with
  // no code (Voided set for the voided).
  std::optional<TPrize> Find(std::string_view code) const;
  // Prizes whose winner's id or name contains `gbk` (Latin letters in any case), in draw
  // order, at most kMaxSearchHits; an exact id first.
  std::vector<TPrize> Search(std::string_view gbk) const;
  // The prizes the id won, for the winner's phone.
  std::vector<TPrize> PrizesOf(std::string_view id) const;
  // Every prize, in draw order (absent ones left out).
  std::vector<TPrize> Prizes() const;
  // Claims so far.
  size_t ClaimedCount() const;

  // For tests: the clock of the claims' times.
  void SetClock(std::function<std::string()> wallTime);

 private:
  using Key = std::pair<std::string, int32_t>;
  TPrize PrizeLocked(size_t winner) const;
  // Takes the draw's winners; `sameDraw`: the one held, whose absent winners stay.
  void TakeLocked(TClaimDraw draw, bool sameDraw);
  std::string NewCodeLocked(const Key& key);

  // A claim on its way to disk.
  struct Queued {
    Key key;
    TClaimRecord record;
  };

  // Everything below, the writer included, under m_mutex; the writer is used by the one
  // claim that flushes (m_commit) or, between flushes, by Use.
  mutable std::mutex m_mutex;
  TGroupCommit<Queued> m_commit;
  claims::TClaimWriter m_writer;
  std::function<std::string()> m_wallTime;
  TClaimDraw m_draw;
  std::map<Key, size_t> m_index;  // prize → place in m_draw.Winners
  std::set<Key> m_absent;
  std::set<Key> m_voided;
  TDrawSecret m_codeKey{};  // the draw's claim-code key (ClaimCodeKey)
  std::map<Key, std::string> m_codes;
  std::map<std::string, Key> m_byCode;
  std::map<Key, TClaimRecord> m_claimed;
  std::set<Key> m_writing;  // claims on their way to disk
};

// The draw whose winner files the results show: their winners, absent winners and voided
// winners (LoadItemVoids), named through the list's title line. False with the reader's error.
bool ResultsDraw(int32_t taskId, TClaimDraw& draw, std::string& error);

// The results window's 领取 of a winner without a phone (`id` as on the list, `itemId`):
// through `held`, the desk the check-in service holds for the task (null when none), when
// it holds the results' draw or none yet, else a desk of their own (a draw on stage keeps
// its desk). The desk takes the results as they are on disk first, so a void made since
// counts. The desk is named ResultsDeskName(); `error` holds the reader's or writer's error
// behind NotSaved.
TClaimResult ClaimFromResults(int32_t taskId, std::string_view id, int32_t itemId,
                              std::string& error,
                              const std::shared_ptr<TClaimDesk>& held = nullptr);
std::string ResultsDeskName();  // 结果查询

// After the results changed (a void): `held` takes them again when it holds the task's
// results draw, so the paired desks refuse a voided winner at once. True when there was
// nothing to take; false with the reader's error.
bool RetakeResults(int32_t taskId, const std::shared_ptr<TClaimDesk>& held, std::string& error);

// The winners the stage has revealed, as a draw for the desk: its task and the key of its
// open journal, winners of the lines that name a place (`titleLine` names the 姓名 field).
TClaimDraw RevealedDraw(const TRevealedList& list, std::string_view titleLine);

// Keeps a claim desk's draw as the stage of its task reveals winners.
class TClaimFeed : public TStageObserver {
 public:
  TClaimFeed(std::shared_ptr<TClaimDesk> desk, int32_t taskId, std::string titleLine)
      : m_desk(std::move(desk)), m_taskId(taskId), m_title(std::move(titleLine)) {}
  void Revealed(const TRevealedList& list) override;
  // The last error of taking a reveal (GBK), empty when none.
  const std::string& Error() const { return m_error; }

 private:
  std::shared_ptr<TClaimDesk> m_desk;
  int32_t m_taskId;
  std::string m_title;
  std::string m_error;
};

}  // namespace claims
