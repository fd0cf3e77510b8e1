// The check-in desk of one task: the list, the check-ins so far (from the task's check-in
// file, so a restarted program goes on where it stopped), the limits on failed attempts per
// id and per address, and the winners board the phones read. Safe to call from several server
// threads at once; a confirmed check-in is on disk before CheckIn returns it. The window reads
// View() and sets the board; neither waits on a disk write (Close does, briefly).
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/checkin/CheckinList.h"
#include "core/claims/Claimants.h"
#include "core/records/CheckinFile.h"
#include "core/records/GroupCommit.h"
#include "core/records/ListTree.h"

namespace checkin {

// What the desk is opened for: the task and its list as the draw reads it.
struct TCheckinTask {
  int32_t TaskId = 0;
  std::string TaskName;  // GBK
  std::string TitleLine;
  std::vector<std::string> Lines;  // candidate lines, trimmed
  int32_t HideBegin = 0;           // the stage's mask, for the check-in wall without names
  int32_t HideEnd = 0;
  std::string FilePath;  // the check-in file (GBK path)
};

// A line of the list with the proof that it is in the list (see ListTree.h): what a guest's
// phone checks against the root printed on the notice.
struct TLineProof {
  uint64_t Number = 0;  // the line's number as the root counts lines, from 1; 0: none
  std::string Line;     // the candidate line as the list holds it (GBK)
  std::string Proof;    // the proof text, "<count>:<hashes>"
  std::string Root;     // the list's root, 64 lower-case hex digits
};

// The answer to one attempt, texts in GBK.
struct TCheckinResult {
  TAnswer Answer = TAnswer::Closed;
  std::string Name;   // the list's name on success (or the masked id without a name field)
  std::string Token;  // on success: the phone's key to its own result
  TLineProof Proof;   // on success: the line checked in
};

// A guest asking whether they are on the list, without checking in.
enum class TLookup {
  OnList,        // 你在名单中（第N行）
  NotOnList,     // 名单中没有这个号码
  NameMismatch,  // 号码与姓名不符
  Empty,         // no id given
  BadText,       // the id or name is not readable text, or too long
  TooMany,       // too many attempts from the address or for the id
  NoList,        // the desk was never opened on a list
};

// The phone's text for a lookup (GBK); OnList names the line's number.
std::string LookupText(TLookup answer, uint64_t number);

struct TLookupResult {
  TLookup Answer = TLookup::NoList;
  TLineProof Proof;  // on OnList
};

// An id or an address refused for now, as the check-in window lists it.
struct TCheckinLock {
  std::string Key;  // the id as on the list (GBK), or the address
  bool IsId = false;
  int64_t SecondsLeft = 0;
  bool operator==(const TCheckinLock&) const = default;
};

// The check-in window's line for a lock (GBK): "号码 <id>" or "地址 <address>", and the
// time left.
std::string LockText(const TCheckinLock& lock);

// What the check-in screen shows.
struct TCheckinView {
  bool Open = false;
  size_t CheckedIn = 0;             // people of the list checked in
  size_t Total = 0;                 // people on the list (TCheckinList::Count)
  size_t CheckedInIds = 0;          // distinct ids among them: what the draw counts
  std::vector<std::string> Latest;  // newest last, at most kWallLines, GBK
  uint64_t Arrivals = 0;            // names the wall has had since Open (Latest's last ones)
  uint64_t Generation = 0;          // raised on every change
};

// One line of the winners board, as the stage's winners list shows it (GBK).
struct TBoardLine {
  std::string Text;
  bool Caption = false;  // a prize item's caption
};

// What the phones may see of the draw: the lines revealed so far, and for each revealed
// winner's id the prize item won (told only to the phone that checked in with that id).
struct TWinnersBoard {
  std::vector<TBoardLine> Lines;
  std::map<std::string, std::string> WonBy;  // id → item name, GBK
};

// Guessing is limited twice, over a window long enough that a hall's typos never add up:
// refusals that name one id of the list (a wrong name, already in) lock that id, and any
// refusals from one address (a reception tablet, or a hall behind one shared address,
// makes many) lock the address only at a count no honest crowd reaches.
inline constexpr int kMaxIdFailures = 5;
inline constexpr int kMaxAddressFailures = 60;
inline constexpr int64_t kFailureWindowMs = 10 * 60'000;
// Addresses remembered at most; when full, new addresses are refused until old ones expire.
inline constexpr size_t kMaxAddresses = 20'000;
// Lookups answered to one address in the failure window, found or not: a guest asks once or
// twice, and the list cannot be read out line by line by guessing ids that exist.
inline constexpr int kMaxAddressLookups = 20;
inline constexpr size_t kWallLines = 40;

class TCheckinDesk : public claims::TClaimants {
 public:
  TCheckinDesk();
  ~TCheckinDesk();
  TCheckinDesk(const TCheckinDesk&) = delete;
  TCheckinDesk& operator=(const TCheckinDesk&) = delete;

  // Loads the list and the task's check-in file (a torn tail is left for the next append to
  // cut back) and opens for check-ins. False with the reader's error (GBK): nothing opens.
  bool Open(const TCheckinTask& task, std::string& error);
  // Stops answering check-ins (Closed); the view and the board stay. Returns once the
  // check-ins already accepted are on disk (a few flushes at most).
  void Close();
  // Answers check-ins again after Close, on the list and records it had; false when it was
  // never opened.
  bool Reopen();
  bool IsOpen() const;

  // One attempt from `address` with the id and name as the phone typed them (UTF-8): blanks
  // of any width and full-width forms are folded before the list is asked (FoldText).
  TCheckinResult CheckIn(std::string_view address, std::string_view idUtf8,
                         std::string_view nameUtf8);
  // Whether the id and name (UTF-8, folded as CheckIn folds them) are on the list, with the
  // line's proof; checks nobody in. Answers while check-in is closed too; its refusals count
  // as check-in's do, and every answer counts against the address's lookups.
  TLookupResult Lookup(std::string_view address, std::string_view idUtf8,
                       std::string_view nameUtf8);

  TCheckinView View() const;
  // The ids and addresses locked now, ids first, each by its key.
  std::vector<TCheckinLock> Locks() const;
  // Forgets the failures of the id or address `key`: it may try again at once.
  void Lift(const std::string& key, bool isId);
  // What the page asks: the list's first title, and whether ids are digits alone.
  std::string IdTitle() const;
  bool NumericIds() const;
  // The ids checked in that are on the list, sorted bytewise.
  std::vector<std::string> CheckedInIds() const;
  bool HasNameField() const;
  std::string TaskName() const override;
  // More than one line of the list holds the id (as on the list): TCheckinList::RepeatedId.
  bool RepeatedId(std::string_view id) const override;

  // The board the phones read; replaced whole by the draw screen at each reveal.
  void SetBoard(TWinnersBoard board);
  // The board's lines, and the item won by the id that `token` checked in with (empty when
  // none, or the token is unknown).
  void ReadBoard(std::string_view token, std::vector<TBoardLine>& lines,
                 std::string& wonItem) const;

  // The name (or masked id, without names) that `token` checked in with; empty when the
  // token is unknown.
  std::string CheckedInAs(std::string_view token) const;
  // The id (as on the list) that `token` checked in with; empty when the token is unknown.
  std::string IdOfToken(std::string_view token) const override;

  // For tests: the clock of the rate limit (ms, steady) and of the records' times.
  void SetClock(std::function<int64_t()> steadyMs, std::function<std::string()> wallTime);

 private:
  // A check-in on its way to disk.
  struct Queued {
    size_t line;
    std::string id;
    std::string wallName;
    std::string token;
  };

  using Failures = std::unordered_map<std::string, std::deque<int64_t>>;
  static bool Limited(Failures& failures, const std::string& key, int max, int64_t now);
  static void CountFailure(Failures& failures, const std::string& key, int64_t now);
  // Under m_mutex: the line a phone's id and name name after the limits, refusals counted;
  // AlreadyIn only when `checkingIn`.
  TAnswer MatchLocked(const std::string& from, bool readable, const std::string& id,
                      const std::string& name, bool checkingIn, int64_t now, int64_t& line);
  TLineProof ProofLocked(size_t line) const;
  void PublishLocked();

  mutable std::mutex m_mutex;  // everything below up to the view
  TGroupCommit<Queued> m_commit;
  bool m_open = false;
  TCheckinTask m_task;
  TCheckinList m_list;
  TCheckinWriter m_writer;
  std::set<size_t> m_in;                                      // lines checked in or being written
  std::unordered_map<std::string, std::string> m_tokens;      // token → id
  std::unordered_map<std::string, std::string> m_tokenNames;  // token → name on the wall
  std::set<size_t> m_confirmed;                               // lines whose check-in is on disk
  std::set<std::string> m_confirmedIds;                       // their ids
  std::deque<std::string> m_wall;
  uint64_t m_arrivals = 0;
  Failures m_addressFailures;
  Failures m_idFailures;  // by the id as on the list
  Failures m_addressLookups;
  std::unique_ptr<listtree::TListTree> m_tree;  // over the desk's lines, in their order
  std::function<int64_t()> m_steadyMs;
  std::function<std::string()> m_wallTime;

  mutable std::mutex m_viewMutex;
  TCheckinView m_view;

  mutable std::mutex m_boardMutex;
  TWinnersBoard m_board;
};

}  // namespace checkin
