// Voided winners (作废): who was voided at which place, why, when, and who was drawn in the
// place, if anyone. Each prize item with voided winners has its void file
// (LUCK_FILE/VOID_<TaskId>_<ItemId>.txt), written with the winner files: the title line, then
// one line per void in the order made, <candidate line> TAB <time> TAB <reason> TAB
// <replacement's id, empty when the place stays empty>. The winner files hold only the winners
// that stand, so every reader of them, old or new, leaves voided winners out.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct TVoidId {
  int32_t ItemId = 0;
  int32_t TaskId = 0;
  int32_t Place = 0;  // the place among the current winners when it was voided
  int32_t CandidateIndex = 0;
  std::string CandidateLine;
  std::string Reason;             // GBK, no byte below 0x20
  std::string Time;               // YYYY-MM-DD HH:MM:SS
  int32_t ReplacementIndex = -1;  // -1: the place stays empty
  std::string ReplacementLine;
};
using TArrVoidId = std::vector<TVoidId>;  // in the order voided

inline constexpr std::string_view kVoidPrefix = "VOID_";  // in LUCK_FILE/

// LUCK_FILE/VOID_<TaskId>_<ItemId>.txt under `gbkRoot` (the data root when omitted).
std::string VoidFilePath(std::string_view gbkRoot, int taskId, int itemId);
std::string VoidFilePath(int taskId, int itemId);

// A void file's line, without its line end.
std::string VoidLine(const TVoidId& v);

// A void file's line split back: the candidate line, time, reason and the replacement's id
// (empty when none). False when the line has fewer than three TABs.
struct TVoidRow {
  std::string CandidateLine;
  std::string Time;
  std::string Reason;
  std::string ReplacementId;
};
bool SplitVoidLine(std::string_view line, TVoidRow& row);

// The item's void file: exists false when there is none. False with the reader's text.
struct TVoidFile {
  bool exists = false;
  std::string titleLine;
  std::vector<TVoidRow> rows;
};
bool LoadVoidFile(std::string_view gbkPath, TVoidFile& file, std::string& error);

// The voided winners of one prize item as every reader of the results takes them: the
// results window, both exports and the claim desk. False with the reader's text.
bool LoadItemVoids(int taskId, int itemId, TVoidFile& file, std::string& error);

// What a voided winner's line carries after it in the results and the text export (GBK):
// "作废:误抽 2026-12-10 20:15:00 名额空缺", or "重抽:<id>" when someone took the place; with
// `clock` the time only as HH:MM ("作废:误抽 20:15 名额空缺"), where the night is known.
std::string VoidMarkText(const TVoidRow& row, bool clock = false);

// The void files of the items that have voided winners: path and text (title line and CR LF,
// then each line and CR LF).
std::vector<std::pair<std::string, std::string>> VoidFileTexts(const TArrVoidId& voids,
                                                               std::string_view titleLine);
