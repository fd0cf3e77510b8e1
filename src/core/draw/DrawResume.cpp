#include "core/draw/DrawResume.h"

#include <string>

TPendingDraw ReadPendingDraw(std::string_view gbkPath, const TJournalHead& head) {
  TPendingDraw pending;
  std::string ignored;
  switch (ReadJournal(gbkPath, pending.journal, ignored)) {
    case JournalRead::Ok:
      if (pending.journal.Batches.empty()) break;  // nothing shown: set aside unasked
      pending.kind =
          pending.journal.Head.SameDraw(head) ? TPendingKind::Resumable : TPendingKind::Mismatch;
      break;
    case JournalRead::Damaged:
      pending.kind = TPendingKind::Damaged;
      break;
    case JournalRead::Unreadable:
      pending.kind = TPendingKind::Mismatch;
      break;
    case JournalRead::Missing:
    case JournalRead::Empty:  // set aside when this draw's journal starts
      break;
  }
  return pending;
}
