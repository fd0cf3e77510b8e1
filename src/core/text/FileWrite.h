// Every file the system writes goes through here: the bytes go to a temporary file in the
// target's directory, are flushed to disk, and the temporary is renamed over the target.
// A crash or a full disk never leaves a half-written file or destroys the previous one.
#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace files {

// Writes `content` to `gbkPath` atomically; creates the directory when missing.
bool WriteFileAtomic(std::string_view gbkPath, std::string_view content, std::string& error);

// Writes a file that a library writes itself (a workbook): `fill` gets the temporary's
// native UTF-8 path, writes the whole file there, and returns false with its error text.
// Then as WriteFileAtomic: the temporary is flushed, renamed over `gbkPath` and the folder
// flushed. A fill or rename that fails leaves no temporary and the previous file as it was.
using FillTemporary = std::function<bool(const std::string& tempU8, std::string& error)>;
bool WriteFileAtomicBy(std::string_view gbkPath, const FillTemporary& fill, std::string& error);

// Many files at once, each whole or not at all, as WriteFileAtomic would write them one by
// one but with far fewer flushes: every file goes to a temporary beside its target, then
// their bytes are flushed together (on Linux one flush of the file system), then each is
// renamed over its target and each folder is flushed once. False with the error text at the
// first failure: the `written` files before it are in place, no temporary is left.
bool WriteFilesAtomic(const std::vector<std::pair<std::string, std::string>>& filesToWrite,
                      size_t& written, std::string& error);

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
  // After a failed Commit: the targets (GBK) that were already replaced.
  const std::vector<std::string>& Replaced() const { return m_replaced; }

 private:
  struct Entry {
    std::string tempPath;  // native, UTF-8
    std::string target;    // native, UTF-8
  };
  std::vector<Entry> m_entries;
  std::vector<std::string> m_replaced;
  void Discard();
};

// A file open for reading; closed when it goes.
using ReadHandle = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// Opens a GBK path for reading, binary, by its native name (the wide one on Windows). Null
// with errno set when it cannot be opened.
ReadHandle OpenForReading(std::string_view gbkPath);

// Reads a whole file as it is on disk; false with the error text when it cannot be opened
// (无法打开文件<path>：<reason>) or read (读取文件出错：<reason>).
bool ReadWholeFile(std::string_view gbkPath, std::string& bytes, std::string& error);

// Deletes a file when it exists; a missing file is no error.
bool RemoveFile(std::string_view gbkPath, std::string& error);

// Appends `bytes` to the file (created when missing, with its directory) and flushes it to
// disk before returning; a new file's directory is flushed too, so the name survives a
// power cut.
bool AppendDurable(std::string_view gbkPath, std::string_view bytes, std::string& error);

// Appends `records` to a file of whole records whose first `wholeBytes` bytes are whole: a
// tail past them (a write cut short) is cut back first, written beside and renamed over, so
// no record lands on a torn line; `head` goes first while nothing is whole yet. Flushed to
// disk before it returns, `wholeBytes` then counting the new records; false with the error
// when nothing new is whole.
bool AppendRecords(std::string_view gbkPath, size_t& wholeBytes, std::string_view head,
                   std::string_view records, std::string& error);

// Renames a file to another name on the same disk (creating the target's directory) and
// flushes both directories. An existing target is never replaced.
bool MoveFile(std::string_view gbkFrom, std::string_view gbkTo, std::string& error);

// Deletes the temporaries (`<name>.tmp-XXXXXX`) that a killed writer left in the directory
// and returns how many. Only to be called while no other writer of ours runs.
int RemoveStaleTemporaries(std::string_view gbkDir);

// Creates a folder and the folders above it that are missing, flushing the folder each new
// one was made in; false with the error text.
bool MakeFolders(std::string_view gbkDir, std::string& error);

// Flushes a folder's entries to disk (a new folder or a rename in it survives a power cut).
void FlushFolder(std::string_view gbkDir);

// For tests of failures half way: called before each rename into place with the target's
// native UTF-8 path; a non-zero errno it returns makes that rename fail. Null: no fault.
using RenameFault = int (*)(const std::string& target);
void SetRenameFault(RenameFault fault);

// For tests of what reaches the disk: called with each folder's native UTF-8 path once its
// flush has returned. Null: nobody watches.
using FolderFlushWatch = void (*)(const std::string& folder);
void SetFolderFlushWatch(FolderFlushWatch watch);
// The same for files: called with a file's native UTF-8 path once its bytes are flushed
// (an append's file; for a file written beside and renamed, the target's path, before the
// rename). Null: nobody watches.
using FileFlushWatch = void (*)(const std::string& file);
void SetFileFlushWatch(FileFlushWatch watch);

}  // namespace files
