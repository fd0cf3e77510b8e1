// Forged journals for the checks that must catch them, and the check's answer as text.
#pragma once

#include <string>

#include "core/verify/DrawVerify.h"

// Replaces field `field` of the first line starting with `startsWith` in the finished journal
// of task `taskId` (under the data root) by `value`, and seals the line again so that its own
// check value passes: only a check against the rest of the record can catch it. Fails the
// test when there is no such line or field.
void ForgeFinishedJournal(int taskId, const std::string& startsWith, const std::string& field,
                          const std::string& value);

// The lines of a check's answer in UTF-8, one a line, for a failing test's message.
std::string VerifyText(const TVerifyResult& r);
