// Journal records of a draw that changed machines. MOVED is the first record a spare laptop
// appends to the journal it took over: when, from which machine, how (a relay package or
// the LAN stream), the batches its copy held and the batch the hall had seen. TAKEN is
// appended to the old machine's own journal once the spare has the draw: that machine may
// not go on with it. Both are sealed lines beside the batches; readers that do not know
// them keep them among the other records, so a replay is unchanged.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/draw/DrawJournal.h"

enum class TMoveSource { Relay, Stream };

struct TMoveRecord {
  std::string Time;     // YYYY-MM-DD HH:MM:SS, local time of the spare
  std::string Machine;  // the stage machine's name (GBK, no byte below 0x20)
  TMoveSource Source = TMoveSource::Relay;
  int32_t Held = 0;   // revealed batches the journal held when it moved
  int32_t Shown = 0;  // the batch the hall last saw; above Held: those are drawn again
  bool operator==(const TMoveRecord&) const = default;
};

// The record's line, CR LF included.
std::string FormatMoveRecord(const TMoveRecord& record);
// Reads a whole journal line as the journal keeps it (without its line end); false for
// another kind or a malformed MOVED record.
bool ParseMoveRecord(std::string_view line, TMoveRecord& record);
// The journal's last MOVED record, if any.
std::optional<TMoveRecord> LastMove(const TJournal& journal);

// The TAKEN record's line for the moment `time` (YYYY-MM-DD HH:MM:SS).
std::string FormatTakenRecord(std::string_view time);
// The time of the journal's TAKEN record, if it has one.
std::optional<std::string> TakenAt(const TJournal& journal);

// Batches revealed in the journal: its BATCH records and its named awards handed out.
int32_t RevealedBatches(const TJournal& journal);

namespace movetext {
// "接力包" or "热备".
std::string SourceName(TMoveSource source);
// "第3批重新抽取", "第3至5批重新抽取"; empty when nothing is drawn again.
std::string Redrawn(const TMoveRecord& record);
// What opening a draw taken over elsewhere says.
std::string TakenRefusal();
}  // namespace movetext
