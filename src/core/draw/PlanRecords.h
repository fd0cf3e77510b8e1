// The journal records of what departs from the plan of the night: a prize item added live
// (ADD), a changed winner count (COUNT), the choice of the next item (NEXT), a winner
// voided (VOID), with or without a redraw of the place, and the winners of a named award
// handed out by name (NAMED), with no number drawn. Each is one sealed journal line, a
// new record beside the batches: nothing earlier is ever rewritten. Journals without them
// read exactly as before; readers that do not know them keep them among the other records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/draw/DrawJournal.h"
#include "core/draw/DrawRules.h"
#include "core/records/Records.h"

enum class TPlanKind { Add, Count, Next, Void, Named };

struct TPlanRecord {
  TPlanKind Kind = TPlanKind::Next;
  int32_t ItemId = 0;
  // ADD: the item's name, winners, winners per batch and gift (GBK, no byte below 0x20).
  std::string Name;
  int32_t LuckCount = 0;  // ADD, COUNT: the item's winners from now on
  int32_t ListCount = 0;
  std::string Gift;
  // ADD: the added item's own rules (conditions on fields, its exclusion list; no quota),
  // with ItemId the item's; empty for an item anyone may win. Written as the field
  // rules=<FormatRules text of these alone> with '%', TAB and LF as %25, %09 and %0A.
  TItemRules Rules;
  // ADD, COUNT, NEXT: a number from the audience mixed into the generator (empty: none).
  std::string Audience;
  // VOID: the place among the current winners, the voided candidate, why and when.
  int32_t Place = 0;
  int32_t Voided = 0;
  std::string Reason;
  std::string Time;  // YYYY-MM-DD HH:MM:SS
  bool Redraw = false;
  int32_t Replacement = -1;  // the redrawn place's winner (Redraw only)
  uint32_t Rng = 0;          // the generator's state after the redraw's roll
  int32_t Rolls = 0;
  // NAMED: the winners' candidate indices, in the order named.
  std::vector<int32_t> Winners;
  bool operator==(const TPlanRecord&) const = default;
};

// The record's line, CR LF included.
std::string FormatPlanRecord(const TPlanRecord& record);

enum class PlanParse { NotPlan, Ok, Bad };
// Reads a whole journal line (without its line end, check value included, as the journal
// keeps the records it does not know): NotPlan for another kind, Bad for a plan record
// whose fields are missing or malformed.
PlanParse ParsePlanRecord(std::string_view line, TPlanRecord& record);

// One step of a journal in the order written.
struct TJournalStep {
  enum class Kind { Batch, Absence, Plan } kind = Kind::Batch;
  size_t index = 0;  // into Batches, Absences, or the plan records
  size_t other = 0;  // a plan record's place among the journal's other records
};
// The journal's batches, absences and plan records in the order written, and its plan
// records. False with the GBK text naming the first plan record that does not read.
bool JournalSteps(const TJournal& journal, std::vector<TJournalStep>& steps,
                  std::vector<TPlanRecord>& plan, std::string& error);

// The generator's state after the audience's number `digits` was mixed into `state`: the
// first four bytes, big-endian, of SHA-256 of
// "tombolix-mix-1\nstate=<state in decimal>\naudience=<digits>\n".
uint32_t MixAudience(uint32_t state, std::string_view digits);

// A typed reason or name as a record field takes it: bytes below 0x20 become blanks, the
// ends are trimmed.
std::string PlanText(std::string_view gbk);

// YYYY-MM-DD HH:MM:SS, digits where digits belong.
bool ValidPlanTime(std::string_view time);

// The reasons offered for a void (GBK): 误抽, 不符合资格, 本人放弃.
const std::vector<std::string>& VoidReasons();

// The rules an added item may have: conditions and an exclusion list of its own, no quota.
// False with the GBK text of what is wrong; `rules.ItemId` is not looked at.
bool AddedItemRulesOk(const TItemRules& rules, std::string& error);

// An added item's rules as the operator typed them (GBK): only those whose `field` is one
// of `values`, none of the ids `excludeIds`; values and ids split at blanks, commas (, ，)
// and 、. An empty field sets no condition.
TItemRules AddedRulesOf(std::string_view field, std::string_view values,
                        std::string_view excludeIds);

// The prize items the journal's ADD records added during the draw, in their order, as the
// results and exports list them beside the task's own items (the database holds only those).
std::vector<TLuckItem> AddedItems(const TJournal& journal);

// What the stage's band, the results and the report say of a change (GBK).
namespace plantext {
// "临时加奖：特别奖 3名", "改名额：一等奖 5名", "下一个奖项：特别奖",
// "作废：一等奖 13600000017 (误抽)" with the voided winner's id; "重抽" after a redraw.
std::string Band(const TPlanRecord& r, std::string_view itemName, std::string_view voidedId);
// The mark a voided winner carries in the winners list: "作废(误抽)".
std::string VoidMark(std::string_view reason);
}  // namespace plantext
