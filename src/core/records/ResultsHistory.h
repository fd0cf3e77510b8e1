// The results history: earlier winner files and journals of a task, kept in dated folders
// under LUCK_FILE/history/ instead of being overwritten or deleted.
#pragma once

#include <string>
#include <vector>

// The task's results now in LUCK_FILE (GBK paths): its winner files <TaskId>_<n>.txt,
// whatever items they belong to, and the finished journal.
std::vector<std::string> TaskResultFiles(int taskId);

// True when the task has a winner file in LUCK_FILE.
bool HasWinnerFiles(int taskId);

// Moves the files into a new folder LUCK_FILE/history/<TaskId>_<YYYYMMDD_HHMMSS>[_n]/,
// keeping their names. All or none: when one cannot be moved, those already moved are put
// back. `folder` gets the new folder's GBK path (empty when there was nothing to move).
bool MoveToHistory(int taskId, const std::vector<std::string>& gbkPaths, std::string& folder,
                   std::string& error);

// Moves the files of `folder` named like `gbkPaths` back to those paths; the folder is
// removed when it is left empty.
bool RestoreFromHistory(const std::string& folder, const std::vector<std::string>& gbkPaths,
                        std::string& error);

// A task is deleted: its winner files, both journals, its check-in file and its folders of
// photos (PHOTO_<TaskId>) and pictures (MEDIA_<TaskId>) go to the history.
bool MoveTaskResultsToHistory(int taskId, std::string& error);
