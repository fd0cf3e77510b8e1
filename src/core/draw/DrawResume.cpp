#include "core/draw/DrawResume.h"

#include <string>

bool JournalComplete(const TJournal& journal) {
  for (const TJournalItem& item : journal.Head.Items) {
    bool done = false;
    for (const TJournalBatch& b : journal.Batches) {
      if (b.ItemId == item.ItemId) done = b.Closed || b.Drawn >= item.LuckCount;
    }
    if (!done) return false;
  }
  return true;
}

namespace {

// Something was revealed: a batch, or a named award handed out (a NAMED record).
bool Revealed(const TJournal& journal) {
  if (!journal.Batches.empty()) return true;
  for (const TJournalOther& o : journal.Others)
    if (o.Line.rfind("NAMED\t", 0) == 0) return true;
  return false;
}

}  // namespace

TPendingKind JudgePendingDraw(JournalRead read, const TJournal& journal, bool sameDraw) {
  switch (read) {
    case JournalRead::Ok:
      if (!Revealed(journal)) return TPendingKind::None;  // nothing shown: set aside unasked
      if (!sameDraw) return TPendingKind::Mismatch;
      return JournalComplete(journal) ? TPendingKind::Complete : TPendingKind::Resumable;
    case JournalRead::Damaged:
      return TPendingKind::Damaged;
    case JournalRead::Unreadable:
      return TPendingKind::Mismatch;
    case JournalRead::Missing:
    case JournalRead::Empty:  // set aside when this draw's journal starts
      break;
  }
  return TPendingKind::None;
}

TPendingDraw ReadPendingDraw(std::string_view gbkPath, const TJournalHead& head) {
  TPendingDraw pending;
  std::string ignored;
  const JournalRead read = ReadJournal(gbkPath, pending.journal, ignored);
  pending.kind = JudgePendingDraw(read, pending.journal,
                                  read == JournalRead::Ok && pending.journal.Head.SameDraw(head));
  return pending;
}
