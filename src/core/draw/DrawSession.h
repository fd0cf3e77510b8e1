// The draw data of the window that is open: the task, its prize items, the candidate lines,
// the winners and the preset entries. The program has one session, owned by the main window
// and handed to each draw screen and results window it opens; a draw screen's engine is the
// only one that changes it, and every screen empties it the same way when it closes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/records/Records.h"
#include "core/text/Messages.h"

class TStageObserver;

class TDrawSession {
 public:
  // Loads the task and its prize items in draw order with their number ranges. False with
  // the loaders' text; the items are then empty, the task keeps what it held.
  bool LoadTask(int32_t taskId, std::string& error);

  // Reads the draw data file at `gbkPath` for the loaded task and items: the candidate
  // lines, their count, the longest id and the title line. False with the reader's text.
  bool LoadCandidates(std::string_view gbkPath, std::string& titleLine, std::string& error);

  // The preset entries of every prize item, in draw order; unreadable lists are passed over.
  void LoadPresets();

  // Empties what a draw screen leaves behind: prize items, candidate lines, winners, absent
  // winners and preset entries (their memory too). The task record stays.
  void Clear();

  TLuckTask Task;
  TArrLuckItem Items;
  int32_t ItemCount = 0;
  int32_t LuckTotal = 0;  // the sum of the items' LuckCount
  TArraySring CandidateLines;
  int32_t CandidateCount = 0;
  int32_t IdMaxLength = 0;
  TArrLuckId Winners;  // in the order drawn; a replacement stands in its absent winner's place
  TArrAbsentId Absences;
  TArrCheatId Presets;

  // Those told of every reveal of the draw screens that work on this session, for as long
  // as they watch (not owned). They outlive the screens: the program subscribes once.
  void Watch(TStageObserver* o);
  void Unwatch(TStageObserver* o);
  const std::vector<TStageObserver*>& Watchers() const { return m_watchers; }

 private:
  std::vector<TStageObserver*> m_watchers;
};

// Watches `session` for its own lifetime.
class TSessionWatch {
 public:
  TSessionWatch(TDrawSession& session, TStageObserver* o) : m_s(session), m_o(o) { m_s.Watch(o); }
  ~TSessionWatch() { m_s.Unwatch(m_o); }
  TSessionWatch(const TSessionWatch&) = delete;
  TSessionWatch& operator=(const TSessionWatch&) = delete;

 private:
  TDrawSession& m_s;
  TStageObserver* m_o;
};

// A draw screen's set-up that failed: the message box kind and text.
struct TDrawFailure {
  MessageKind kind = MessageKind::Information;
  std::string text;
};

// The opening of every draw screen's set-up: a task must be chosen, and it is loaded into
// `session` with its prize items. False with the failure to show.
bool OpenDrawTask(TDrawSession& session, int32_t taskId, TDrawFailure& failure);
