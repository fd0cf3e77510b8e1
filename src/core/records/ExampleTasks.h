// The two example tasks a new database starts with, so that a new user can draw at once.
#pragma once

#include <string>
#include <vector>

#include "core/db/TombolixDB.h"

// Inserts a task drawn from imported data (with its draw data file written under the data
// root) and a task drawn by probability. Ids come from the allocator.
bool SeedExampleTasks(db::TConnection& connection, std::string& error);

// The example candidate list: `count` lines of an 11-digit phone number, a Chinese name and a
// department, GBK, always the same for the same count.
std::vector<std::string> ExampleCandidates(int count);
