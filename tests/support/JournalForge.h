// Forged journals for the checks that must catch them.
#pragma once

#include <string>

// Replaces field `field` of the first line starting with `startsWith` in the finished journal
// of task `taskId` (under the data root) by `value`, and seals the line again so that its own
// check value passes: only a check against the rest of the record can catch it. Fails the
// test when there is no such line or field.
void ForgeFinishedJournal(int taskId, const std::string& startsWith, const std::string& field,
                          const std::string& value);
