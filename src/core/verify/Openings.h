// The openings of a task's draw as its journal heads show them: every head names its number
// and the key of the head before it, so a deleted head leaves a gap that the check names.
// The heads of abandoned (and earlier) draws travel in the audit bundle as one file,
// LUCK_FILE/OPENINGS_<TaskId>.txt: each head line exactly as its journal holds it, line end
// included.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/draw/DrawJournal.h"

// The bundle's file of heads, under `gbkRoot` (given with its trailing separator; empty:
// the name within any root, "LUCK_FILE/OPENINGS_7.txt").
std::string OpeningsFilePath(std::string_view gbkRoot, int32_t taskId);
inline constexpr std::string_view kOpeningsPrefix = "OPENINGS_";  // in LUCK_FILE/

// Every journal head of the task found below the data folder `gbkRoot`: the lines of its
// OPENINGS file, the first lines of the journals in LUCK_FILE/history/*/ and of those in
// LUCK_FILE/ itself. Each once (by its bytes), whole lines with their line end, heads of
// this task only; in the order found.
std::vector<std::string> TaskHeadLines(const std::string& gbkRoot, int32_t taskId);

// The check of the chain that ends in `head` (the draw checked, whose line has the key
// `headKey`) against the other heads' lines: GBK lines for the report (the summary, then
// each opening of the chain with its commitment), and apart from them the problems (a gap,
// a number out of order). A head without a number (written before openings were counted)
// gives neither.
struct TOpeningsCheck {
  std::vector<std::string> Lines;
  std::vector<std::string> Problems;
};
TOpeningsCheck CheckOpenings(const TJournalHead& head, std::string_view headKey,
                             const std::vector<std::string>& headLines);
