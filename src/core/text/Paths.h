// The one place that answers where the system's files live. Paths handed around in the
// core are GBK texts, as the database stores them; NativePath turns one into a path the
// operating system takes.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace paths {

// Directory of the running executable, GBK, with a trailing separator.
std::string ProgramDir();

// Root of DATA/, DATA_FILE/ and LUCK_FILE/, GBK, with a trailing separator: the program's
// directory, or the per-user data folder when that directory is not writable or belongs to an
// installation (<prefix>/bin with the menu entry in <prefix>/share/applications; on Windows a
// folder with the installer's uninstall.exe).
std::string DataRoot();

// Replaces the data root for the rest of the process (tests use a fresh temporary one).
void SetDataRoot(std::string_view gbkDir);

std::string DatabasePath();     // DATA/Tombolix.db
std::string WindowPlacePath();  // DATA/MainWindow.txt
std::string DataFileDir();      // DATA_FILE/ (also named data_file; one directory)
std::string LuckFileDir();      // LUCK_FILE/

std::string DrawDataPath(int taskId);                // DATA_FILE/<TaskId>.txt
std::string WinnerFilePath(int taskId, int itemId);  // LUCK_FILE/<TaskId>_<ItemId>.txt
std::string PresetFilePath(int taskId, int itemId);  // DATA_FILE/CHEAT_<TaskId>_<ItemId>.txt
std::string JournalPath(int taskId);                 // LUCK_FILE/JOURNAL_<TaskId>.txt
std::string FinishedJournalPath(int taskId);         // LUCK_FILE/JOURNAL_<TaskId>_DONE.txt
std::string AbsentFilePath(int taskId, int itemId);  // LUCK_FILE/ABSENT_<TaskId>_<ItemId>.txt
std::string HistoryDir();                            // LUCK_FILE/history/
// The same three files for ids given as texts, used as they are.
std::string DrawDataPath(std::string_view taskId);
std::string WinnerFilePath(std::string_view taskId, std::string_view itemId);
std::string PresetFilePath(std::string_view taskId, std::string_view itemId);

// The same files under another root, given with its trailing separator (an unpacked audit
// bundle); an empty root gives the names within any root ("LUCK_FILE/JOURNAL_7.txt").
std::string DrawDataPath(std::string_view root, int taskId);
std::string WinnerFilePath(std::string_view root, int taskId, int itemId);
std::string PresetFilePath(std::string_view root, int taskId, int itemId);
std::string JournalPath(std::string_view root, int taskId);
std::string FinishedJournalPath(std::string_view root, int taskId);
std::string AbsentFilePath(std::string_view root, int taskId, int itemId);

// The parts the names above are made of, for code that recognises them in a listing.
inline constexpr std::string_view kDataFileFolder = "DATA_FILE/";
inline constexpr std::string_view kLuckFileFolder = "LUCK_FILE/";
inline constexpr std::string_view kPresetPrefix = "CHEAT_";     // in DATA_FILE/
inline constexpr std::string_view kAbsentPrefix = "ABSENT_";    // in LUCK_FILE/
inline constexpr std::string_view kJournalPrefix = "JOURNAL_";  // in LUCK_FILE/
inline constexpr std::string_view kFinishedSuffix = "_DONE.txt";

std::filesystem::path NativePath(std::string_view gbkPath);

// UTF-8 bytes of a native path and back.
std::string U8(const std::filesystem::path& p);
std::filesystem::path FromU8(std::string_view utf8);
bool FileExists(std::string_view gbkPath);

// When the data root is the per-user folder because the program's folder is read-only, and
// the program's folder holds DATA/Tombolix.db while the per-user folder has no database:
// copies DATA, DATA_FILE and LUCK_FILE over, the database last, so an interrupted copy is
// done again at the next start. True when it copied, with both folders (GBK); false with
// an empty `error` when there was nothing to do.
bool AdoptProgramData(std::string& from, std::string& to, std::string& error);

// The copy itself, between two data roots: false with an empty `error` when `from` holds no
// database or `to` already has one.
bool CopyProgramData(const std::filesystem::path& from, const std::filesystem::path& to,
                     std::string& error);

}  // namespace paths
