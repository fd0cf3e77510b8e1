#include "core/text/Paths.h"

#include <cctype>
#include <cstdlib>
#include <initializer_list>
#include <mutex>
#include <system_error>

#include "Version.h"
#include "core/text/Gbk.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace paths {

namespace fs = std::filesystem;

namespace {

std::mutex g_mutex;
std::string g_root;  // GBK, trailing separator; empty until first asked

std::string WithSlash(std::string s) {
  if (s.empty() || (s.back() != '/' && s.back() != '\\')) s.push_back('/');
  return s;
}

std::string FromNative(const fs::path& p) { return text::Utf8ToGbk(U8(p)); }

fs::path ExecutablePath() {
#ifdef _WIN32
  wchar_t buf[MAX_PATH * 4];
  const DWORD n = GetModuleFileNameW(nullptr, buf, static_cast<DWORD>(std::size(buf)));
  return fs::path(std::wstring(buf, n));
#else
  std::error_code ec;
  fs::path p = fs::read_symlink("/proc/self/exe", ec);
  if (ec) p = fs::current_path(ec) / "tombolix";
  return p;
#endif
}

bool IsWritableDir(const fs::path& dir) {
#ifdef _WIN32
  const fs::path probe = dir / ".tombolix-write-test";
  FILE* f = _wfopen(probe.c_str(), L"wb");
  if (!f) return false;
  fclose(f);
  std::error_code ec;
  fs::remove(probe, ec);
  return true;
#else
  return access(dir.c_str(), W_OK | X_OK) == 0;
#endif
}

// An installed program (<prefix>/bin beside <prefix>/share/applications holding its menu
// entry) belongs to the system: its folder never takes data, even for a user who may write
// there (root under /usr), so removing the package cannot take the data with it.
bool InstalledLayout(const fs::path& exeDir) {
#ifdef _WIN32
  // The installer leaves its uninstaller beside the program; the portable zip has none.
  std::error_code ec;
  return fs::is_regular_file(exeDir / "uninstall.exe", ec);
#else
  std::error_code ec;
  return fs::is_regular_file(
      exeDir.parent_path() / "share/applications" / (std::string(kAppId) + ".desktop"), ec);
#endif
}

fs::path UserDataDir() {
#ifdef _WIN32
  if (const wchar_t* a = _wgetenv(L"APPDATA")) return fs::path(a) / "Qarvo";
  return fs::temp_directory_path() / "Qarvo";
#else
  if (const char* x = std::getenv("XDG_DATA_HOME"); x && *x) return fs::path(x) / "Qarvo";
  if (const char* h = std::getenv("HOME"); h && *h) return fs::path(h) / ".local/share/Qarvo";
  return fs::temp_directory_path() / "Qarvo";
#endif
}

}  // namespace

std::string ProgramDir() { return WithSlash(FromNative(ExecutablePath().parent_path())); }

std::string DataRoot() {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_root.empty()) {
    const fs::path exeDir = ExecutablePath().parent_path();
    const fs::path dataDir = exeDir / "DATA";
    std::error_code ec;
    const bool usable =
        !InstalledLayout(exeDir) &&
        (IsWritableDir(exeDir) || (fs::is_directory(dataDir, ec) && IsWritableDir(dataDir)));
    g_root = WithSlash(FromNative(usable ? exeDir : UserDataDir()));
  }
  return g_root;
}

void SetDataRoot(std::string_view gbkDir) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_root = WithSlash(std::string(gbkDir));
}

std::string DatabasePath() { return DataRoot() + "DATA/Tombolix.db"; }
std::string WindowPlacePath() { return DataRoot() + "DATA/MainWindow.txt"; }
std::string DataFileDir() { return DataRoot() + std::string(kDataFileFolder); }
std::string LuckFileDir() { return DataRoot() + std::string(kLuckFileFolder); }

namespace {

std::string Cat(std::initializer_list<std::string_view> parts) {
  std::string s;
  for (std::string_view p : parts) s += p;
  return s;
}

std::string DrawDataIn(std::string_view root, std::string_view taskId) {
  return Cat({root, kDataFileFolder, taskId, ".txt"});
}

std::string WinnerFileIn(std::string_view root, std::string_view taskId, std::string_view itemId) {
  return Cat({root, kLuckFileFolder, taskId, "_", itemId, ".txt"});
}

std::string PresetFileIn(std::string_view root, std::string_view taskId, std::string_view itemId) {
  return Cat({root, kDataFileFolder, kPresetPrefix, taskId, "_", itemId, ".txt"});
}

}  // namespace

std::string DrawDataPath(std::string_view taskId) { return DrawDataIn(DataRoot(), taskId); }

std::string WinnerFilePath(std::string_view taskId, std::string_view itemId) {
  return WinnerFileIn(DataRoot(), taskId, itemId);
}

std::string PresetFilePath(std::string_view taskId, std::string_view itemId) {
  return PresetFileIn(DataRoot(), taskId, itemId);
}

std::string DrawDataPath(int taskId) { return DrawDataPath(DataRoot(), taskId); }

std::string WinnerFilePath(int taskId, int itemId) {
  return WinnerFilePath(DataRoot(), taskId, itemId);
}

std::string PresetFilePath(int taskId, int itemId) {
  return PresetFilePath(DataRoot(), taskId, itemId);
}

std::string JournalPath(int taskId) { return JournalPath(DataRoot(), taskId); }

std::string FinishedJournalPath(int taskId) { return FinishedJournalPath(DataRoot(), taskId); }

std::string AbsentFilePath(int taskId, int itemId) {
  return AbsentFilePath(DataRoot(), taskId, itemId);
}

std::string DrawDataPath(std::string_view root, int taskId) {
  return DrawDataIn(root, std::to_string(taskId));
}

std::string WinnerFilePath(std::string_view root, int taskId, int itemId) {
  return WinnerFileIn(root, std::to_string(taskId), std::to_string(itemId));
}

std::string PresetFilePath(std::string_view root, int taskId, int itemId) {
  return PresetFileIn(root, std::to_string(taskId), std::to_string(itemId));
}

std::string JournalPath(std::string_view root, int taskId) {
  return Cat({root, kLuckFileFolder, kJournalPrefix, std::to_string(taskId), ".txt"});
}

std::string FinishedJournalPath(std::string_view root, int taskId) {
  return Cat({root, kLuckFileFolder, kJournalPrefix, std::to_string(taskId), kFinishedSuffix});
}

std::string AbsentFilePath(std::string_view root, int taskId, int itemId) {
  return Cat({root, kLuckFileFolder, kAbsentPrefix, std::to_string(taskId), "_",
              std::to_string(itemId), ".txt"});
}

std::string HistoryDir() { return LuckFileDir() + "history/"; }

std::string U8(const fs::path& p) {
  const std::u8string s = p.u8string();
  return std::string(reinterpret_cast<const char*>(s.data()), s.size());
}

fs::path FromU8(std::string_view utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

fs::path NativePath(std::string_view gbkPath) {
  std::string p(gbkPath);
  // The system names one directory of the data root in two spellings; on a case-sensitive
  // file system the upper-case one is the one on disk. Paths elsewhere are left alone.
  const std::string root = DataRoot();
  if (p.size() > root.size() + 9 && p.compare(0, root.size(), root) == 0) {
    std::string segment = p.substr(root.size(), 9);
    for (char& c : segment) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const char after = p[root.size() + 9];
    if (segment == "DATA_FILE" && (after == '/' || after == '\\'))
      p.replace(root.size(), 9, "DATA_FILE");
  }
  return FromU8(text::GbkToUtf8(p));
}

bool FileExists(std::string_view gbkPath) {
  std::error_code ec;
  return fs::is_regular_file(NativePath(gbkPath), ec);
}

bool CopyProgramData(const fs::path& from, const fs::path& to, std::string& error) {
  error.clear();
  std::error_code ec;
  if (fs::equivalent(from, to, ec) || !fs::is_regular_file(from / "DATA/Tombolix.db", ec) ||
      fs::exists(to / "DATA/Tombolix.db", ec))
    return false;
  const fs::path db = to / "DATA/Tombolix.db";
  const fs::path temp = to / "DATA/Tombolix.db.copying";
  const auto failed = [&](const std::error_code& e) {
    error =
        text::G("无法复制数据到") + FromNative(to) + text::G("：") + text::Utf8ToGbk(e.message());
    std::error_code ignored;
    fs::remove(temp, ignored);
    fs::remove(db, ignored);
    return false;
  };
  for (const char* dir : {"DATA_FILE", "LUCK_FILE", "DATA"}) {
    if (!fs::is_directory(from / dir, ec)) continue;
    fs::create_directories(to / dir, ec);
    if (ec) return failed(ec);
    for (auto it = fs::recursive_directory_iterator(from / dir, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
      const fs::path rel = fs::relative(it->path(), from, ec);
      if (ec) break;
      if (rel == fs::path("DATA/Tombolix.db")) continue;  // last, below
      if (it->is_directory(ec)) {
        fs::create_directories(to / rel, ec);
      } else if (!fs::exists(to / rel, ec)) {
        fs::copy_file(it->path(), to / rel, ec);
      }
      if (ec) break;
    }
    if (ec) return failed(ec);
  }
  // The database goes beside its place and is renamed into it: its presence means done.
  fs::remove(temp, ec);
  fs::copy_file(from / "DATA/Tombolix.db", temp, ec);
  if (!ec) fs::rename(temp, db, ec);
  if (ec) return failed(ec);
  return true;
}

bool AdoptProgramData(std::string& from, std::string& to, std::string& error) {
  const fs::path exeDir = ExecutablePath().parent_path();
  if (!CopyProgramData(exeDir, NativePath(DataRoot()), error)) return false;
  from = WithSlash(FromNative(exeDir));
  to = DataRoot();
  return true;
}

}  // namespace paths
