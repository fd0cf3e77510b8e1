#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "TempRoot.h"
#include "core/records/ResultsHistory.h"
#include "core/text/FileWrite.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"

namespace fs = std::filesystem;

namespace {
#ifdef _WIN32
// Windows does not hold a folder's read-only mode against new files.
bool RunningAsRootIgnoresModes() { return true; }
#else
bool RunningAsRootIgnoresModes() { return geteuid() == 0; }
#endif

size_t EntriesIn(const fs::path& dir) {
  size_t n = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir)) ++n;
  return n;
}
}  // namespace

TEST(WriteFileAtomic, CreatesDirectoryAndReplacesWholeFile) {
  TempRoot root;
  std::string err;
  const std::string p = root.path("LUCK_FILE/1001_1002.txt");
  ASSERT_TRUE(files::WriteFileAtomic(p, "first\r\n", err)) << err;
  ASSERT_TRUE(files::WriteFileAtomic(p, "second\r\n", err)) << err;
  EXPECT_EQ(ReadAll(p), "second\r\n");
  // No temporaries left beside it.
  EXPECT_EQ(EntriesIn(root.dir() / "LUCK_FILE"), 1u);
}

TEST(WriteFileAtomic, DirectoryInTheWayFailsAndKeepsEverything) {
  TempRoot root;
  fs::create_directories(root.dir() / "out.txt");
  std::string err;
  EXPECT_FALSE(files::WriteFileAtomic(root.path("out.txt"), "x", err));
  EXPECT_FALSE(err.empty());
  EXPECT_TRUE(fs::is_directory(root.dir() / "out.txt"));
}

TEST(WriteFileAtomic, ReadOnlyDirectoryKeepsPreviousFile) {
  if (RunningAsRootIgnoresModes()) {
    // Root writes through directory modes; a file where the directory should be stands in.
    TempRoot root;
    WriteAll(root.dir() / "LUCK_FILE", "not a directory");
    std::string err;
    EXPECT_FALSE(files::WriteFileAtomic(root.path("LUCK_FILE/a.txt"), "x", err));
    EXPECT_NE(err.find(text::G("无法写入文件")), std::string::npos);
    EXPECT_EQ(ReadAll(root.dir() / "LUCK_FILE"), "not a directory");
    return;
  }
  TempRoot root;
  const fs::path dir = root.dir() / "LUCK_FILE";
  WriteAll(dir / "a.txt", "old");
  fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
  std::string err;
  EXPECT_FALSE(files::WriteFileAtomic((dir / "a.txt").string(), "new", err));
  EXPECT_FALSE(err.empty());
  fs::permissions(dir, fs::perms::owner_all);
  EXPECT_EQ(ReadAll(dir / "a.txt"), "old");
}

TEST(AtomicBatch, FailedStageLeavesAllPreviousFiles) {
  TempRoot root;
  WriteAll(root.dir() / "d/a.txt", "old a");
  WriteAll(root.dir() / "d/b.txt", "old b");
  fs::create_directories(root.dir() / "d/c.txt");  // cannot be replaced by a file
  std::string err;
  {
    files::AtomicBatch batch;
    ASSERT_TRUE(batch.Stage(root.path("d/a.txt"), "new a", err));
    ASSERT_TRUE(batch.Stage(root.path("d/b.txt"), "new b", err));
    EXPECT_FALSE(batch.Stage(root.path("d/c.txt"), "new c", err));
    EXPECT_FALSE(err.empty());
  }
  EXPECT_EQ(ReadAll(root.dir() / "d/a.txt"), "old a");
  EXPECT_EQ(ReadAll(root.dir() / "d/b.txt"), "old b");
  EXPECT_EQ(EntriesIn(root.dir() / "d"), 3u);  // temporaries are gone
}

TEST(AtomicBatch, CommitReplacesEveryFile) {
  TempRoot root;
  WriteAll(root.dir() / "d/a.txt", "old a");
  std::string err;
  files::AtomicBatch batch;
  ASSERT_TRUE(batch.Stage(root.path("d/a.txt"), "new a", err));
  ASSERT_TRUE(batch.Stage(root.path("d/b.txt"), "new b", err));
  EXPECT_EQ(ReadAll(root.dir() / "d/a.txt"), "old a");  // nothing visible before commit
  ASSERT_TRUE(batch.Commit(err)) << err;
  EXPECT_EQ(ReadAll(root.dir() / "d/a.txt"), "new a");
  EXPECT_EQ(ReadAll(root.dir() / "d/b.txt"), "new b");
}

TEST(NativePath, BothSpellingsOfTheDataFolderAreOneDirectoryOnlyUnderTheDataRoot) {
  TempRoot root;
  const std::string r = paths::DataRoot();
  EXPECT_EQ(paths::NativePath(r + "data_file/1001.txt"),
            paths::NativePath(r + "DATA_FILE/1001.txt"));
  EXPECT_EQ(paths::NativePath(r + "Data_File/CHEAT_1_2.txt").string(),
            r + "DATA_FILE/CHEAT_1_2.txt");
  EXPECT_EQ(paths::NativePath("/media/usb/data_file/x.txt").string(), "/media/usb/data_file/x.txt");
  EXPECT_EQ(paths::NativePath(r + "data_files/x.txt").string(), r + "data_files/x.txt");
  // GBK names reach the file system as UTF-8.
  EXPECT_EQ(paths::NativePath(r + text::G("名单.txt")).string(), r + "名单.txt");
}

TEST(Paths, TheDrawsFilesUnderTheDataRootAnotherRootOrNone) {
  TempRoot root;
  const std::string r = paths::DataRoot();
  EXPECT_EQ(paths::DrawDataPath(1001), r + "DATA_FILE/1001.txt");
  EXPECT_EQ(paths::PresetFilePath(1001, 2001), r + "DATA_FILE/CHEAT_1001_2001.txt");
  EXPECT_EQ(paths::WinnerFilePath(1001, 2001), r + "LUCK_FILE/1001_2001.txt");
  EXPECT_EQ(paths::AbsentFilePath(1001, 2001), r + "LUCK_FILE/ABSENT_1001_2001.txt");
  EXPECT_EQ(paths::JournalPath(1001), r + "LUCK_FILE/JOURNAL_1001.txt");
  EXPECT_EQ(paths::FinishedJournalPath(1001), r + "LUCK_FILE/JOURNAL_1001_DONE.txt");
  // An unpacked bundle's root, and the names within a root.
  EXPECT_EQ(paths::WinnerFilePath("/tmp/b/", 7, 3), "/tmp/b/LUCK_FILE/7_3.txt");
  EXPECT_EQ(paths::DrawDataPath("", 7), "DATA_FILE/7.txt");
  EXPECT_EQ(paths::PresetFilePath("", 7, 3), "DATA_FILE/CHEAT_7_3.txt");
  EXPECT_EQ(paths::AbsentFilePath("", 7, 3), "LUCK_FILE/ABSENT_7_3.txt");
  EXPECT_EQ(paths::JournalPath("", 7), "LUCK_FILE/JOURNAL_7.txt");
  EXPECT_EQ(paths::FinishedJournalPath("", 7), "LUCK_FILE/JOURNAL_7_DONE.txt");
  // Ids given as texts are used as they are.
  EXPECT_EQ(paths::PresetFilePath("0012", "3"), r + "DATA_FILE/CHEAT_0012_3.txt");
}

TEST(ReadWholeFile, TheBytesAsOnDiskOrTheReason) {
  TempRoot root;
  const std::string bytes("a\r\n\0\xB0\xA1\n", 7);
  WriteAll(root.dir() / "x.txt", bytes);
  std::string got = "stale", err;
  ASSERT_TRUE(files::ReadWholeFile(root.path("x.txt"), got, err)) << err;
  EXPECT_EQ(got, bytes);
  WriteAll(root.dir() / "empty.txt", "");
  ASSERT_TRUE(files::ReadWholeFile(root.path("empty.txt"), got, err)) << err;
  EXPECT_EQ(got, "");
  EXPECT_FALSE(files::ReadWholeFile(root.path("none.txt"), got, err));
  EXPECT_EQ(err, text::G("无法打开文件") + root.path("none.txt") + text::G("：") +
                     text::Utf8ToGbk(std::strerror(ENOENT)));
  // A folder opens but does not read (Windows does not open it).
  fs::create_directories(root.dir() / "dir");
  EXPECT_FALSE(files::ReadWholeFile(root.path("dir"), got, err));
#ifdef _WIN32
  EXPECT_EQ(err.rfind(text::G("无法打开文件") + root.path("dir"), 0), 0u) << err;
#else
  EXPECT_EQ(err.rfind(text::G("读取文件出错："), 0), 0u) << err;
#endif
}

TEST(RemoveStaleTemporaries, OnlyOurTemporariesGo) {
  TempRoot root;
  const fs::path dir = root.dir() / "DATA_FILE";
  WriteAll(dir / "1001.txt", "kept");
  WriteAll(dir / "1001.txt.tmp-a1B2c3", "left by a kill");
  WriteAll(dir / "CHEAT_1001_2001.txt.tmp-ZZZZZZ", "left by a kill");
  WriteAll(dir / "notes.tmp-1", "not ours: suffix too short");
  WriteAll(dir / ".tmp-abcdef", "not ours: no name before it");
  EXPECT_EQ(files::RemoveStaleTemporaries(root.path("DATA_FILE")), 2);
  EXPECT_EQ(EntriesIn(dir), 3u);
  EXPECT_TRUE(fs::exists(dir / "1001.txt"));
  EXPECT_EQ(files::RemoveStaleTemporaries(root.path("NO_SUCH_DIR")), 0);
}

namespace {
std::vector<std::string> g_flushed;
}  // namespace

TEST(MakeFolders, EveryNewFolderIsFlushedInTheFolderItWasMadeIn) {
  TempRoot root;
  g_flushed.clear();
  files::SetFolderFlushWatch([](const std::string& folder) { g_flushed.push_back(folder); });
  // The same folder however its separators are written.
  const auto same = [](fs::path x) {
    x = x.make_preferred().lexically_normal();
    return x.has_filename() ? x : x.parent_path();
  };
  const auto flushed = [&](const fs::path& p) {
    return std::any_of(g_flushed.begin(), g_flushed.end(),
                       [&](const std::string& f) { return same(paths::FromU8(f)) == same(p); });
  };
  // The first journal of a fresh data folder: LUCK_FILE is made, then the journal in it.
  std::string err;
  ASSERT_TRUE(files::AppendDurable(root.path("LUCK_FILE/JOURNAL_1001.txt"), "x\r\n", err));
  EXPECT_TRUE(flushed(root.dir())) << "the program folder, after mkdir LUCK_FILE";
  EXPECT_TRUE(flushed(root.dir() / "LUCK_FILE")) << "LUCK_FILE, after the new journal";
  // Folders made two deep at once: each in its parent.
  g_flushed.clear();
  ASSERT_TRUE(files::MakeFolders(root.path("LUCK_FILE/history/1001_x"), err)) << err;
  EXPECT_TRUE(fs::is_directory(root.dir() / "LUCK_FILE/history/1001_x"));
  EXPECT_TRUE(flushed(root.dir() / "LUCK_FILE"));
  EXPECT_TRUE(flushed(root.dir() / "LUCK_FILE/history"));
  // A dated history folder: LUCK_FILE/history is flushed after it is made.
  g_flushed.clear();
  std::string folder;
  ASSERT_TRUE(MoveToHistory(1001, {root.path("LUCK_FILE/JOURNAL_1001.txt")}, folder, err)) << err;
  EXPECT_TRUE(flushed(root.dir() / "LUCK_FILE/history"));
  files::SetFolderFlushWatch(nullptr);
  // A file where a folder should be: an error, nothing made.
  WriteAll(root.dir() / "DATA_FILE", "not a folder");
  EXPECT_FALSE(files::MakeFolders(root.path("DATA_FILE/sub"), err));
  EXPECT_FALSE(err.empty());
}

namespace {
// Each folder flush with what the watched file in that folder held at that moment.
std::vector<fs::path> g_watched;
std::vector<std::pair<std::string, std::string>> g_flushes;

// A folder's name with "/" alone, however Windows or the program joined it.
std::string Slashes(std::string s) {
  std::replace(s.begin(), s.end(), '\\', '/');
  return s;
}

void RecordFlush(const std::string& folder) {
  for (const fs::path& p : g_watched) {
    std::error_code ec;
    if (Slashes(paths::U8(p.parent_path())) == Slashes(folder))
      g_flushes.emplace_back(Slashes(folder), fs::exists(p, ec) ? ReadAll(p) : "(none)");
  }
}

// True when the folder of `file` was flushed while the file already held `content`: the
// rename had been done, and its folder entry reached the disk after it.
bool FlushedAfterRename(const fs::path& file, const std::string& content) {
  const auto flush = std::make_pair(Slashes(paths::U8(file.parent_path())), content);
  return std::count(g_flushes.begin(), g_flushes.end(), flush) > 0;
}
}  // namespace

TEST(WriteFileAtomic, TheFolderIsFlushedAfterTheRename) {
  TempRoot root;
  std::string err;
  const fs::path winners = root.dir() / "LUCK_FILE/1001_1002.txt";
  const fs::path list = root.dir() / "DATA_FILE/1001.txt";
  g_watched = {winners, list};
  ASSERT_TRUE(files::WriteFileAtomic(root.path("LUCK_FILE/1001_1002.txt"), "old\r\n", err));
  files::SetFolderFlushWatch(RecordFlush);
  g_flushes.clear();
  ASSERT_TRUE(files::WriteFileAtomic(root.path("LUCK_FILE/1001_1002.txt"), "one\r\n", err));
  EXPECT_TRUE(FlushedAfterRename(winners, "one\r\n")) << "after WriteFileAtomic";
  // A file a library fills.
  g_flushes.clear();
  ASSERT_TRUE(files::WriteFileAtomicBy(
      root.path("LUCK_FILE/1001_1002.txt"),
      [](const std::string& tempU8, std::string&) {
        WriteAll(paths::FromU8(tempU8), "two\r\n");
        return true;
      },
      err))
      << err;
  EXPECT_TRUE(FlushedAfterRename(winners, "two\r\n")) << "after WriteFileAtomicBy";
  // A batch: the folder of each file, after that file's rename.
  g_flushes.clear();
  files::AtomicBatch batch;
  ASSERT_TRUE(batch.Stage(root.path("DATA_FILE/1001.txt"), "list\r\n", err)) << err;
  ASSERT_TRUE(batch.Stage(root.path("LUCK_FILE/1001_1002.txt"), "three\r\n", err)) << err;
  ASSERT_TRUE(batch.Commit(err)) << err;
  EXPECT_TRUE(FlushedAfterRename(winners, "three\r\n")) << "after AtomicBatch::Commit";
  EXPECT_TRUE(FlushedAfterRename(list, "list\r\n")) << "after AtomicBatch::Commit";
  files::SetFolderFlushWatch(nullptr);
}

TEST(MoveFile, NeverReplacesAnExistingTarget) {
  TempRoot root;
  WriteAll(root.dir() / "a.txt", "a");
  WriteAll(root.dir() / "b.txt", "b");
  std::string err;
  EXPECT_FALSE(files::MoveFile(root.path("a.txt"), root.path("b.txt"), err));
  EXPECT_EQ(ReadAll(root.dir() / "b.txt"), "b");
  EXPECT_EQ(ReadAll(root.dir() / "a.txt"), "a");
  ASSERT_TRUE(files::MoveFile(root.path("a.txt"), root.path("sub/dir/a.txt"), err)) << err;
  EXPECT_EQ(ReadAll(root.dir() / "sub/dir/a.txt"), "a");
  EXPECT_FALSE(fs::exists(root.dir() / "a.txt"));
}

TEST(CopyProgramData, AReadOnlyProgramFoldersDataIsCopiedOnceDatabaseLast) {
  TempRoot root;
  const fs::path program = root.dir() / "program";
  const fs::path user = root.dir() / "user";
  std::string err;
  EXPECT_FALSE(paths::CopyProgramData(program, user, err));  // no database there
  EXPECT_TRUE(err.empty());
  WriteAll(program / "DATA/Tombolix.db", "db");
  WriteAll(program / "DATA_FILE/1001.txt", "list");
  WriteAll(program / "LUCK_FILE/1001_2001.txt", "winners");
  WriteAll(program / "LUCK_FILE/history/1001_20261208_070000/1001_2001.txt", "old winners");
  WriteAll(user / "DATA_FILE/1002.txt", "the user's own");
  ASSERT_TRUE(paths::CopyProgramData(program, user, err)) << err;
  EXPECT_EQ(ReadAll(user / "DATA/Tombolix.db"), "db");
  EXPECT_EQ(ReadAll(user / "DATA_FILE/1001.txt"), "list");
  EXPECT_EQ(ReadAll(user / "DATA_FILE/1002.txt"), "the user's own");
  EXPECT_EQ(ReadAll(user / "LUCK_FILE/history/1001_20261208_070000/1001_2001.txt"), "old winners");
  EXPECT_FALSE(fs::exists(user / "DATA/Tombolix.db.copying"));
  // Once: the user's database is never replaced.
  WriteAll(program / "DATA/Tombolix.db", "newer");
  EXPECT_FALSE(paths::CopyProgramData(program, user, err));
  EXPECT_EQ(ReadAll(user / "DATA/Tombolix.db"), "db");
}

namespace {
// What each file flush and folder flush saw, in order: "file <name>: <bytes the file held>",
// "filled", "folder".
std::vector<std::string> g_events;
fs::path g_appended;

void RecordFileFlush(const std::string& file) {
  const fs::path p = paths::FromU8(file);
  std::error_code ec;
  g_events.push_back("file " + paths::U8(p.filename()) + ": " +
                     (p == g_appended && fs::exists(p, ec) ? ReadAll(p) : std::string()));
}
void RecordFolderFlush(const std::string&) { g_events.push_back("folder"); }
}  // namespace

TEST(FileFlushWatch, HearsOfEachFlushFromTheFlushItselfAfterTheBytesAndBeforeTheRename) {
  TempRoot root;
  std::string err;
  g_appended = root.dir() / "LUCK_FILE/JOURNAL_1001.txt";
  ASSERT_TRUE(files::AppendDurable(root.path("LUCK_FILE/JOURNAL_1001.txt"), "a\r\n", err));
  files::SetFileFlushWatch(RecordFileFlush);
  files::SetFolderFlushWatch(RecordFolderFlush);
  g_events.clear();
  // Each append is flushed once, holding every byte appended so far.
  ASSERT_TRUE(files::AppendDurable(root.path("LUCK_FILE/JOURNAL_1001.txt"), "b\r\n", err));
  size_t whole = 6;
  ASSERT_TRUE(
      files::AppendRecords(root.path("LUCK_FILE/JOURNAL_1001.txt"), whole, "", "c\r\n", err));
  EXPECT_EQ(g_events, (std::vector<std::string>{"file JOURNAL_1001.txt: a\r\nb\r\n",
                                                "file JOURNAL_1001.txt: a\r\nb\r\nc\r\n"}));
  // A file written beside: flushed once before its rename, whose folder is flushed after.
  g_events.clear();
  ASSERT_TRUE(files::WriteFileAtomic(root.path("LUCK_FILE/1001_1002.txt"), "x", err));
  EXPECT_EQ(g_events, (std::vector<std::string>{"file 1001_1002.txt: ", "folder"}));
  // A file a library fills: flushed once it is filled, not when its name was reserved.
  g_events.clear();
  ASSERT_TRUE(files::WriteFileAtomicBy(
      root.path("LUCK_FILE/1001.xlsx"),
      [](const std::string& tempU8, std::string&) {
        WriteAll(paths::FromU8(tempU8), "book");
        g_events.push_back("filled");
        return true;
      },
      err))
      << err;
  EXPECT_EQ(g_events, (std::vector<std::string>{"filled", "file 1001.xlsx: ", "folder"}));
  // A write that fails before its flush is not heard of as flushed.
  g_events.clear();
  fs::create_directories(root.dir() / "LUCK_FILE/dir.txt");
  EXPECT_FALSE(files::WriteFileAtomic(root.path("LUCK_FILE/dir.txt"), "x", err));
  EXPECT_TRUE(g_events.empty());
  files::SetFileFlushWatch(nullptr);
  files::SetFolderFlushWatch(nullptr);
}

namespace {
int FailSecondRename(const std::string& target) { return target.ends_with("2.jpg") ? ENOSPC : 0; }
}  // namespace

// Many files written together: each whole in its place, every file flushed before any is
// renamed, the folder flushed once after the renames; a failure half way keeps the files
// before it, leaves no temporary and says so.
TEST(WriteFilesAtomic, ManyFilesWithOneFlushEachWholeOrNotThere) {
  TempRoot root;
  std::string err;
  size_t written = 9;
  g_appended.clear();
  files::SetFileFlushWatch(RecordFileFlush);
  files::SetFolderFlushWatch(RecordFolderFlush);
  g_events.clear();
  ASSERT_TRUE(files::WriteFilesAtomic({{root.path("PHOTO/1.jpg"), "one"},
                                       {root.path("PHOTO/2.jpg"), "two"},
                                       {root.path("PHOTO/3.jpg"), "three"}},
                                      written, err))
      << err;
  EXPECT_EQ(written, 3u);
  EXPECT_EQ(ReadAll(root.dir() / "PHOTO/2.jpg"), "two");
  // The first "folder" is PHOTO's own making, in the root.
  const std::vector<std::string> after(g_events.begin() + 1, g_events.end());
  EXPECT_EQ(after,
            (std::vector<std::string>{"file 1.jpg: ", "file 2.jpg: ", "file 3.jpg: ", "folder"}));
  files::SetRenameFault(FailSecondRename);
  EXPECT_FALSE(files::WriteFilesAtomic({{root.path("PHOTO/1.jpg"), "new one"},
                                        {root.path("PHOTO/2.jpg"), "new two"},
                                        {root.path("PHOTO/3.jpg"), "new three"}},
                                       written, err));
  files::SetRenameFault(nullptr);
  files::SetFileFlushWatch(nullptr);
  files::SetFolderFlushWatch(nullptr);
  EXPECT_EQ(written, 1u);
  EXPECT_NE(err.find(text::G("无法写入文件")), std::string::npos);
  EXPECT_EQ(ReadAll(root.dir() / "PHOTO/1.jpg"), "new one");
  EXPECT_EQ(ReadAll(root.dir() / "PHOTO/2.jpg"), "two");
  EXPECT_EQ(ReadAll(root.dir() / "PHOTO/3.jpg"), "three");
  EXPECT_EQ(EntriesIn(root.dir() / "PHOTO"), 3u);
  EXPECT_TRUE(files::WriteFilesAtomic({}, written, err));
  EXPECT_EQ(written, 0u);
}
