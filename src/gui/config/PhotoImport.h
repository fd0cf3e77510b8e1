// The winners' photos of the import tab: the pictures of the organiser's folder that belong
// to the task's candidates, each scaled down to what the stage needs and written atomically
// into the task's photo folder (the matching rules are records/WinnerPhotos).
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <string>

struct TPhotoImportResult {
  int64_t copied = 0;
  int64_t idsWithout = 0;
  int64_t unreadable = 0;  // named after a candidate but no picture Qt can read
};

// Copies the photos of `folder` for the candidates of the draw data file `gbkDataFile` of
// task `taskId`; `log` takes each line of the import log. False with the error text when the
// folder or the list cannot be read, or a photo cannot be written (the ones written stay).
// The pictures are made on helper threads; `pulse`, when given, is called on this one every
// 40 ms meanwhile, so the window can repaint.
bool ImportPhotos(int32_t taskId, const QString& folder, const std::string& gbkDataFile,
                  const std::function<void(const QString&)>& log, TPhotoImportResult& result,
                  std::string& error, const std::function<void()>& pulse = {});
