// Builds draw tasks in a test database: task row, prize items, draw data and preset files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/db/TombolixDM.h"

struct ItemDef {
  std::string name;  // GBK
  int luckCount;
  int listCount;
  std::string award;  // GBK
  std::string awardImage = {};
};

struct TaskDef {
  int taskId = 1001;
  int idType = 0;
  int hideBegin = 0;
  int hideEnd = 0;
  int orderBy = 0;
  int luckAgain = 0;
  int showLuck = 0;
  std::string remainText;
  std::string fontColor = "clWhite";
  std::string mainImage;
  std::string music;
  std::vector<ItemDef> items;
  std::string title = "id name";
  std::vector<std::string> candidates;  // written as the draw data file when not empty
  // LuckTask.StageKeys: tests type keys faster than an operator, so the stage's rests and
  // minimum rolls are off unless a test asks for them ("" for the program's defaults).
  std::string stageKeys = "0 0";
};

// Inserts the task and its items (ItemIds 2001, 2002, … in draw order) and writes its draw
// data file. Returns the item ids.
std::vector<int> BuildTask(TTombolixDataModule& dm, const TaskDef& def);

// Every task's stage keys without a rest or a minimum roll (LuckTask.StageKeys "0 0"), for a
// test that types keys faster than an operator on tasks it did not build (the examples).
void NoStageKeyTimes(TTombolixDataModule& dm);

// Writes DATA_FILE/CHEAT_<task>_<item>.txt with the lines, CR LF.
void WritePresets(int taskId, int itemId, const std::vector<std::string>& lines);
