// The check-in file of a task (LUCK_FILE/CHECKIN_<TaskId>.txt): GBK, CR LF, a head line
// "CHECKIN<TAB><TaskId>" and one record a line, "<id><TAB><YYYY-MM-DD HH:MM:SS><TAB><token>"
// (and "<TAB><name>" when the id repeats on the list and the name tells its people apart),
// appended and flushed to disk before the phone is told. The token (32 hex digits) lets the
// phone that checked in ask for its own result later. Only a line that ends in its line end
// is a record; what follows the last one is a write cut short, cut back before the next
// append.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace checkin {

// Longest id a record may hold, in GBK bytes.
inline constexpr size_t kMaxCheckinIdBytes = 64;

struct TCheckinRecord {
  std::string Id;     // GBK
  std::string Time;   // YYYY-MM-DD HH:MM:SS, local time
  std::string Token;  // 32 lower-case hex digits
  std::string Name;   // GBK; only for an id that repeats on the list
  bool operator==(const TCheckinRecord&) const = default;
};

struct TCheckinFile {
  int32_t TaskId = 0;
  std::vector<TCheckinRecord> Records;  // in file order; a repeated id keeps its first
  size_t WholeBytes = 0;                // bytes of the head and whole records
  bool TornTail = false;
};

// LUCK_FILE/CHECKIN_<TaskId>.txt of the current data root, or of `root` (with its trailing
// separator; empty gives the name within any root).
std::string CheckinFilePath(int32_t taskId);
std::string CheckinFilePath(std::string_view root, int32_t taskId);
inline constexpr std::string_view kCheckinPrefix = "CHECKIN_";  // in LUCK_FILE/

std::string FormatCheckinHead(int32_t taskId);
std::string FormatCheckinRecord(const TCheckinRecord& record);

// Reads the file's text. A missing head is an empty file (nothing whole yet); a head of
// another task or a line that is no record before the last whole line is an error (GBK)
// naming the file and line: such a file is not ours to append to.
bool ParseCheckinFile(std::string_view text, TCheckinFile& file, std::string_view gbkPath,
                      std::string& error);
// The same from disk; a missing file is an empty one.
bool ReadCheckinFile(std::string_view gbkPath, TCheckinFile& file, std::string& error);

// The ids of the task's check-in file (current data root) that are the id (first field) of
// one of `lines`: ascending bytewise, no duplicates. False with the reader's error.
bool CheckedInOnList(int32_t taskId, const std::vector<std::string>& lines,
                     std::vector<std::string>& ids, std::string& error);

// The results window's check-in column for winner rows (their first field is the id):
// "已签到 <time>" for an id of the task's check-in file, "未签到" for any other. Empty
// `marks` when the task has no check-in file (no column to show). False with the reader's
// error.
bool CheckinMarks(int32_t taskId, const std::vector<std::vector<std::string>>& rows,
                  std::vector<std::string>& marks, std::string& error);
// The head of that column.
std::string CheckinColumnHead();

// Appends records to the file, first writing the head when it holds nothing whole yet and
// cutting back a torn tail; flushed to disk before it returns. Keeps WholeBytes; false with
// the error when nothing new is whole on disk.
class TCheckinWriter {
 public:
  void Continue(std::string path, int32_t taskId, size_t wholeBytes);
  bool Append(std::string_view records, std::string& error);
  size_t WholeBytes() const { return m_wholeBytes; }

 private:
  std::string m_path;
  int32_t m_taskId = 0;
  size_t m_wholeBytes = 0;
};

}  // namespace checkin
