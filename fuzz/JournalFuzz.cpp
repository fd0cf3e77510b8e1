// libFuzzer harness for the draw journal reader: any bytes, never a crash, and whatever it
// accepts is written back by the formatter to text that reads the same. The records of the
// plan's changes, voids and named awards among the other records read back alike, and their
// order in the journal is found.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/draw/DrawJournal.h"
#include "core/draw/PlanRecords.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  TJournal j;
  std::string error;
  if (ParseJournal(text, j, "fuzz", error) != JournalRead::Ok) return 0;
  std::string again = FormatJournalHead(j.Head);
  if (j.Started) again += FormatJournalStart(j.Start);
  for (const TJournalBatch& b : j.Batches) again += FormatJournalBatch(b);
  TJournal k;
  if (ParseJournal(again, k, "fuzz", error) != JournalRead::Ok || !k.Head.SameDraw(j.Head) ||
      k.Head.Seed != j.Head.Seed || k.Head.Commit != j.Head.Commit ||
      k.Head.Secret != j.Head.Secret || k.Started != j.Started || !(k.Start == j.Start) ||
      k.Batches != j.Batches || k.TornTail || k.WholeBytes != again.size())
    std::abort();
  // Every plan record that reads is written back to a line that reads the same.
  for (const TJournalOther& o : j.Others) {
    TPlanRecord r, back;
    if (ParsePlanRecord(o.Line, r) != PlanParse::Ok) continue;
    const std::string line = FormatPlanRecord(r);
    if (line.size() < 2 ||
        ParsePlanRecord(std::string_view(line).substr(0, line.size() - 2), back) != PlanParse::Ok ||
        !(back == r))
      std::abort();
  }
  std::vector<TJournalStep> steps;
  std::vector<TPlanRecord> plan;
  if (JournalSteps(j, steps, plan, error) &&
      steps.size() != j.Batches.size() + j.Absences.size() + plan.size())
    std::abort();
  return 0;
}
