// Every file the system writes goes through here: the bytes go to a temporary file in the
// target's directory, are flushed to disk, and the temporary is renamed over the target.
// A crash or a full disk never leaves a half-written file or destroys the previous one.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace files {

// Writes `content` to `gbkPath` atomically; creates the directory when missing.
bool WriteFileAtomic(std::string_view gbkPath, std::string_view content, std::string& error);

// Several files that are replaced together: Stage() writes each to a temporary, Commit()
// renames them all over their targets. If any stage fails, nothing is renamed and every
// temporary is removed, so the previous files all stay as they were.
class AtomicBatch {
 public:
  AtomicBatch() = default;
  AtomicBatch(const AtomicBatch&) = delete;
  AtomicBatch& operator=(const AtomicBatch&) = delete;
  ~AtomicBatch();  // removes temporaries that were not committed

  bool Stage(std::string_view gbkPath, std::string_view content, std::string& error);
  bool Commit(std::string& error);

 private:
  struct Entry {
    std::string tempPath;  // native, UTF-8
    std::string target;    // native, UTF-8
  };
  std::vector<Entry> m_entries;
  void Discard();
};

// Deletes a file when it exists; a missing file is no error.
bool RemoveFile(std::string_view gbkPath, std::string& error);

}  // namespace files
