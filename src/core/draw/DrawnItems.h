// The prize items as a task's draw left them. The database holds the plan as it was set
// up; what changed on the night (an item added, a count changed, the next item chosen) is
// only in the draw's journal. The results, their exports and the event package read the
// items through here, so they list what the hall saw drawn, in the order it was drawn.
#pragma once

#include <cstdint>
#include <string>

#include "core/draw/DrawJournal.h"
#include "core/records/Records.h"

// `planned` (the task's items in their order) with the journal's changes applied as the
// draw applied them: an ADD appends its item (name, counts, gift), a COUNT sets the item's
// winners, a NEXT moves its item before the one the draw stood at, and the items finished
// by then stand before those still to draw. The result is the order the items were drawn
// in. DrawnCount is the winners each item's batches drew. Records naming an item the plan
// lacks, or an added item it has already, are passed over.
TArrLuckItem ItemsAsDrawn(const TArrLuckItem& planned, const TJournal& journal);

// The journal of the task's last draw: the finished one, else the open one, with the records
// that read (a torn tail or a damaged record ends it). False when there is none.
bool ReadLastJournal(int32_t taskId, TJournal& journal);

// The task's items from the database, as the draw of its last journal left them
// (ItemsAsDrawn); as planned when the task has no journal. False with the loader's text.
bool LoadItemsAsDrawn(int32_t taskId, TArrLuckItem& items, int32_t& itemCount, int32_t& luckTotal,
                      std::string& error);
