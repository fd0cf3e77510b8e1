// An earlier draw of the task that did not finish, as the draw screen's set-up finds it in
// the task's journal, and what may become of it.
#pragma once

#include <string_view>

#include "core/draw/DrawJournal.h"

enum class TPendingKind {
  None,       // none, or one that holds no batch (set aside without asking)
  Resumable,  // same data file, presets and prize items: it can go on
  Complete,   // its batches complete every item: it is finished without asking
  Mismatch,   // drawn from something else, or not a journal: it cannot
  Damaged,    // a record in its middle is damaged: it cannot go on exactly
};

struct TPendingDraw {
  TPendingKind kind = TPendingKind::None;
  TJournal journal;  // as read
  // Winners the journal holds.
  int32_t Winners() const { return journal.WinnerCount(); }
};

// Every prize item of the journal's head has its winners, or ran out of candidates, in
// its batches: the draw it records is finished and only its winner files may be missing.
bool JournalComplete(const TJournal& journal);

// The one answer to "can this unfinished draw go on?", for the main list and the draw's
// set-up alike: a journal read as `read`, whose head is (`sameDraw`) or is not the draw the
// task would set up now. None for no journal or one without a batch, Mismatch for another
// draw's or an unreadable one, Damaged for damage before its last whole record, Complete
// when its batches finish every item, else Resumable.
TPendingKind JudgePendingDraw(JournalRead read, const TJournal& journal, bool sameDraw);

// Reads the journal at `gbkPath` against the draw `head` now set up: None when there is
// none, not even a whole head, or a journal with no batch; Mismatch for another draw's
// journal or an unreadable one; Damaged for damage before its last whole record; Resumable
// or Complete by JudgePendingDraw against the head's SameDraw (a replay may still find a
// journal that does not replay).
TPendingDraw ReadPendingDraw(std::string_view gbkPath, const TJournalHead& head);
