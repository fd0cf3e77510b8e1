// The check before the doors open: for one task, each thing the night depends on with a tick
// or a warning in plain words. It changes nothing. What needs no window system is decided
// here; the window opens the pictures, looks up the fonts and the screens, and asks the
// texts of those findings here too.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/draw/SoundCues.h"
#include "core/records/Records.h"

namespace check {

enum class TMark {
  Ok,       // ✓
  Warning,  // something to put right before the doors open
  NotUsed,  // the task does not use it
};

struct TFinding {
  TMark Mark = TMark::Ok;
  std::string Topic;  // GBK: "名单", "预设名单", …
  std::string Text;   // GBK, plain words
};

// A file the window opens itself (a picture), with what it is for.
struct TPictureToOpen {
  std::string Topic;  // "背景图片", "奖品图片"
  std::string Name;   // GBK: the item's name for a prize picture, else empty
  std::string Path;   // GBK
};

struct TShowCheck {
  // list, presets, rules, photos, music, the other sounds (when set), disk, in that order
  std::vector<TFinding> Findings;
  std::vector<TPictureToOpen> Pictures;  // background first, then the items in draw order
  int64_t Candidates = 0;
  bool CheckinOnly = false;  // the draw takes only those checked in
};

// Runs the checks that need no window system for the task: the list (imported, readable,
// unchanged since the import: its fingerprint against the one the import left), the preset lists
// (every entry a candidate, no id twice, no more than the item's winners), the draw's rules
// item by item in the draw screen's words (conditions, quotas, excluded tasks with their
// winners so far, the exclusion lists' people of this list, tickets), the photos (how many
// candidates have one), the music and the other sounds (there, and an mp3/wma/wav file by its first
// bytes) and the free disk space for the journal and the winner files. False with the error text
// only when the task cannot be read.
bool CheckShow(int32_t taskId, TShowCheck& out, std::string& error);

// The draw's rules in the words the draw screen shows before each item's batches.
struct TRulesWords {
  bool None = false;               // the task has no rules: everyone on the list may win
  std::vector<std::string> Items;  // per item in draw order (GBK); empty when none applies
  std::string Counts;  // "；[午宴]目前有中奖者3人", the excluded tasks' winners so far
};
// The words for a task without rules.
std::string NoRulesText();
// Reads the task's rules and says them item by item for the list `lines` (with its title
// line); the people of the list the exclusion lists shut out are counted on it, and left out
// when `lines` is empty. False with the error text (GBK, ready to show) when the rules
// cannot be read, an excluded task's winners cannot be read, or the rules do not fit the list.
bool RulesWords(const TLuckTask& task, const TArrLuckItem& items, const TArraySring& lines,
                const std::string& title, TRulesWords& out, std::string& error);

// The bytes the night writes to LUCK_FILE for `winners` winners whose candidate lines are at
// most `longestLine` bytes: the winner files, the journal, and the history's copy, doubled
// for safety, and at least 1 MiB.
int64_t BytesNeeded(int64_t winners, int64_t longestLine);
// The finding for `available` free bytes against `needed`.
TFinding DiskFinding(int64_t available, int64_t needed);

// The show's sounds beside the background music (the hit, the fanfares, the applause, the
// items' pieces of `items`): each file there and mp3, wma or wav by its first bytes. A fault
// is a warning naming the cue and the file, and the draw goes on without that sound;
// NotUsed when no such file is set (the program's own fanfare needs none).
TFinding SoundsFinding(const TSoundSettings& sounds, const TArrLuckItem& items);

// The finding of a picture the window tried to open: `exists` and `opened`, with the
// decoder's reason when it failed.
TFinding PictureFinding(const TPictureToOpen& picture, bool exists, bool opened,
                        std::string_view reason);
// The stage fonts: `missing` lists the faces (GBK) not installed.
TFinding FontFinding(const std::vector<std::string>& missing);
// The screens: their number, and the one the draw takes (1-based) with its size.
TFinding ScreenFinding(int screens, int drawScreen, int width, int height);

// Check-in, for a task whose draw takes only those checked in: whether check-in runs for
// the task, whether its page answered on `url`, and the count so far. Once the task's draw
// fixed the list (`listFixed`) check-in is over: only the server is spoken of.
TFinding CheckinFinding(bool listFixed, bool running, bool answered, std::string_view url,
                        int64_t checkedIn, int64_t total);

// The firewall on the phones' way in, for the profiles `profiles` (GBK names) in use:
// `blocked` when it keeps them out.
TFinding FirewallFinding(bool blocked, std::string_view profiles);

}  // namespace check
