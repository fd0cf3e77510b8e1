// Winners' photos: a task's own folder of pictures named after the candidate ids, beside its
// draw data file (DATA_FILE/PHOTO_<TaskId>/<id>.jpg). The import decides here which picture
// of the organiser's folder belongs to which id; the scaling itself is the window layer's.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace photos {

// The longest side a stored photo keeps: a winner's card on a 4K projector needs no more.
constexpr int kMaxSide = 720;

// DATA_FILE/PHOTO_<TaskId>/ (GBK, with the trailing separator).
std::string PhotoDir(int32_t taskId);

// The id a picture file is named after: "<id>.jpg", "<id>.jpeg" or "<id>.png", the extension
// in any letter case. False for any other name.
bool PictureId(std::string_view gbkFileName, std::string& id);

// An id that can name a file of its own: not empty, not "." or "..", and without the bytes
// that separate or quote paths (/ \ : * ? " < > |) or control bytes.
bool IdNamesFile(std::string_view gbkId);

struct TPhotoCopy {
  std::string source;  // GBK path of the organiser's picture
  std::string target;  // GBK path in the task's photo folder
};

struct TPhotoPlan {
  std::vector<TPhotoCopy> copies;  // one per candidate id that has a picture
  int64_t idsWithout = 0;          // distinct candidate ids without a picture
  int64_t notCandidates = 0;       // pictures named after no candidate id
};

// Matches the picture files of a folder (`fileNames`, GBK, as listed) to the candidate ids.
// An id with several pictures (a.jpg and a.PNG) takes the first name in byte order.
TPhotoPlan PlanPhotoImport(std::string_view gbkSourceDir, std::vector<std::string> fileNames,
                           const std::vector<std::string>& candidateIds, int32_t taskId);

// The names (GBK) of the regular files in a folder; false with the error text when it cannot
// be read.
bool ListFolder(std::string_view gbkDir, std::vector<std::string>& names, std::string& error);

// The stored photo of a candidate id of the task (GBK path), or empty when it has none.
std::string PhotoOf(int32_t taskId, std::string_view gbkId);

}  // namespace photos
