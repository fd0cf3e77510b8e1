#include "core/spare/Relay.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <random>
#include <set>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "core/draw/DrawJournal.h"
#include "core/draw/MoveRecords.h"
#include "core/import/Zip.h"
#include "core/package/EventPackage.h"
#include "core/records/CheckinFile.h"
#include "core/records/ClaimFile.h"
#include "core/records/FileHash.h"
#include "core/records/Loaders.h"
#include "core/records/Records.h"
#include "core/text/FileWrite.h"
#include "core/text/Format.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"

namespace spare {

namespace {

using text::G;

// The entries a relay may hold, in the order written; the manifest comes after them.
const std::vector<std::string_view>& EntryNames() {
  static const std::vector<std::string_view> names = {kSetupEntry, kJournalEntry, kCheckinEntry,
                                                      kClaimsEntry};
  return names;
}

bool KnownEntry(std::string_view name) {
  const auto& names = EntryNames();
  return std::find(names.begin(), names.end(), name) != names.end();
}

bool IsHex64(std::string_view s) {
  return s.size() == 64 && std::all_of(s.begin(), s.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
         });
}

// A single-line manifest value: bytes below 0x20 become blanks.
std::string OneLine(std::string_view gbk) {
  std::string out(gbk);
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  return out;
}

// A file's whole bytes, or empty when it is missing; false with the error when it exists
// but cannot be read.
bool ReadIfThere(const std::string& gbkPath, std::string& bytes, bool& there, std::string& error) {
  bytes.clear();
  there = paths::FileExists(gbkPath);
  return !there || files::ReadWholeFile(gbkPath, bytes, error);
}

// The event package of the task, made in the system's temporary folder and read back.
bool SetupBytes(int32_t taskId, std::string& bytes, std::string& error) {
  std::error_code ec;
  const std::filesystem::path dir = std::filesystem::temp_directory_path(ec);
  if (ec) {
    error = G("无法找到临时文件夹,不能写接力包。");
    return false;
  }
  std::random_device random;
  const std::filesystem::path temp =
      dir / ("tombolix-relay-" + std::to_string(random()) + std::to_string(random()) + ".zip");
  const std::string gbkTemp = text::Utf8ToGbk(paths::U8(temp));
  std::string summary;
  const bool ok = package::ExportEventPackage(taskId, gbkTemp, summary, error) &&
                  files::ReadWholeFile(gbkTemp, bytes, error);
  std::filesystem::remove(temp, ec);
  return ok;
}

// Checks the entries against the manifest and keeps them.
bool Take(std::map<std::string, std::string> found, std::string_view manifestText, TRelay& relay,
          std::string& error) {
  relay = TRelay();
  if (!ParseRelayManifest(manifestText, relay.Manifest, error)) return false;
  std::set<std::string> named;
  for (const auto& [entry, hex] : relay.Manifest.Hashes) {
    named.insert(entry);
    const auto it = found.find(entry);
    if (it == found.end()) {
      error = G("接力包不完整:缺少") + entry + G(",不能使用。");
      return false;
    }
    if (Sha256Hex(it->second) != hex) {
      error = G("接力包中的") + entry + G("已被改动或损坏(与清单的校验值不符),不能使用。");
      return false;
    }
  }
  for (const auto& [entry, bytes] : found)
    if (!named.count(entry)) {
      error = G("接力包中的") + entry + G("不在清单中,不能使用。");
      return false;
    }
  for (std::string_view must : {kSetupEntry, kJournalEntry})
    if (!named.count(std::string(must))) {
      error = G("接力包不完整:缺少") + std::string(must) + G(",不能使用。");
      return false;
    }
  TJournal journal;
  std::string why;
  if (ParseJournal(found[std::string(kJournalEntry)], journal, kJournalEntry, why) !=
          JournalRead::Ok ||
      journal.TornTail) {
    error = G("接力包中的抽奖记录无法读取,不能使用。");
    return false;
  }
  if (RevealedBatches(journal) != relay.Manifest.Batches) {
    error = G("接力包的清单与其中的抽奖记录不符,不能使用。");
    return false;
  }
  relay.Entries = std::move(found);
  return true;
}

}  // namespace

const std::string* TRelay::Entry(std::string_view name) const {
  const auto it = Entries.find(std::string(name));
  return it == Entries.end() ? nullptr : &it->second;
}

std::string MachineName() {
  std::string name;
#ifdef _WIN32
  wchar_t buf[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  if (GetComputerNameW(buf, &size))
    name = text::Utf8ToGbk(paths::U8(std::filesystem::path(std::wstring(buf, size))));
#else
  char buf[256] = {};
  if (gethostname(buf, sizeof buf - 1) == 0) name = buf;
#endif
  name = OneLine(name);
  return name.empty() ? G("本机") : name;
}

std::string FormatRelayManifest(const TRelayManifest& m) {
  std::string s = "format=" + std::to_string(m.Format) + "\r\n";
  if (m.TaskId > 0) s += "taskid=" + std::to_string(m.TaskId) + "\r\n";
  s += "task=" + OneLine(m.TaskName) + "\r\n";
  s += "machine=" + OneLine(m.Machine) + "\r\n";
  s += "written=" + m.WrittenAt + "\r\n";
  s += "batches=" + std::to_string(m.Batches) + "\r\n";
  for (const auto& [entry, hex] : m.Hashes) s += "sha256 " + entry + " " + hex + "\r\n";
  return s;
}

bool ParseRelayManifest(std::string_view textIn, TRelayManifest& m, std::string& error) {
  m = TRelayManifest();
  m.Format = 0;
  bool taskId = false, task = false, machine = false, written = false, batches = false;
  size_t lineNo = 0;
  const auto bad = [&] {
    error = G("接力包的清单(relay.txt)第") + std::to_string(lineNo) + G("行无法读取,不能使用。");
    return false;
  };
  for (size_t from = 0; from < textIn.size();) {
    size_t end = textIn.find('\n', from);
    if (end == std::string_view::npos) end = textIn.size();
    std::string_view line = textIn.substr(from, end - from);
    from = end + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) continue;
    if (lineNo == 1) {
      int32_t v = 0;
      if (line.rfind("format=", 0) != 0 || !text::ParseInt32(line.substr(7), v) || v < 1)
        return bad();
      if (v > kRelayFormat) {
        error = G("接力包的格式版本") + std::to_string(v) + G("比本程序新,请用新版程序接管。");
        return false;
      }
      m.Format = v;
    } else if (line.rfind("taskid=", 0) == 0 && !taskId) {
      if (!text::ParseInt32(line.substr(7), m.TaskId) || m.TaskId <= 0) return bad();
      taskId = true;
    } else if (line.rfind("task=", 0) == 0 && !task) {
      m.TaskName = std::string(line.substr(5));
      task = true;
    } else if (line.rfind("machine=", 0) == 0 && !machine) {
      m.Machine = std::string(line.substr(8));
      machine = true;
    } else if (line.rfind("written=", 0) == 0 && !written) {
      m.WrittenAt = std::string(line.substr(8));
      written = true;
    } else if (line.rfind("batches=", 0) == 0 && !batches) {
      if (!text::ParseInt32(line.substr(8), m.Batches) || m.Batches < 0) return bad();
      batches = true;
    } else if (line.rfind("sha256 ", 0) == 0) {
      const std::vector<std::string_view> f = text::SplitAt(line, ' ');
      if (f.size() != 3 || !KnownEntry(f[1]) || !IsHex64(f[2])) return bad();
      for (const auto& [entry, hex] : m.Hashes)
        if (entry == f[1]) return bad();
      m.Hashes.emplace_back(std::string(f[1]), std::string(f[2]));
    } else {
      return bad();
    }
  }
  if (m.Format == 0 || !task || !machine || !written || !batches) {
    error = G("接力包的清单(relay.txt)不完整,不能使用。");
    return false;
  }
  return true;
}

bool PrepareRelay(int32_t taskId, TRelaySetup& setup, std::string& error) {
  setup = TRelaySetup();
  TLuckTask task;
  if (!LoadLuckTask(taskId, task, error) || !SetupBytes(taskId, setup.Setup, error)) return false;
  setup.TaskId = taskId;
  setup.TaskName = task.TaskName;
  return true;
}

bool GatherRelay(const TRelaySetup& setup, TRelay& relay, std::string& error) {
  relay = TRelay();
  const int32_t taskId = setup.TaskId;
  std::string journalPath = paths::JournalPath(taskId);
  if (!paths::FileExists(journalPath)) journalPath = paths::FinishedJournalPath(taskId);
  // The head never changes: its key names the claim file before anything else is read.
  const std::string key = claims::JournalDrawKey(journalPath);
  if (key.empty()) {
    error = G("任务") + setup.TaskName + G("还没有开始抽奖,没有可接力的抽奖记录。");
    return false;
  }
  bool there = false;
  std::string bytes;
  // Check-ins and claims first, each cut to its whole records.
  const std::string checkinPath = checkin::CheckinFilePath(taskId);
  if (!ReadIfThere(checkinPath, bytes, there, error)) return false;
  if (there) {
    checkin::TCheckinFile file;
    if (!checkin::ParseCheckinFile(bytes, file, checkinPath, error)) return false;
    if (file.WholeBytes > 0)
      relay.Entries[std::string(kCheckinEntry)] = bytes.substr(0, file.WholeBytes);
  }
  const std::string claimPath = claims::ClaimFilePath(taskId, key);
  if (!ReadIfThere(claimPath, bytes, there, error)) return false;
  if (there) {
    claims::TClaimFile file;
    if (!claims::ParseClaimFile(bytes, file, claimPath, error)) return false;
    if (file.WholeBytes > 0)
      relay.Entries[std::string(kClaimsEntry)] = bytes.substr(0, file.WholeBytes);
  }
  // The journal last: it holds at least every winner a claim above names.
  if (!files::ReadWholeFile(journalPath, bytes, error)) return false;
  TJournal journal;
  if (ParseJournal(bytes, journal, journalPath, error) != JournalRead::Ok) {
    if (error.empty()) error = G("抽奖记录文件已损坏：") + journalPath;
    return false;
  }
  relay.Entries[std::string(kJournalEntry)] = bytes.substr(0, journal.WholeBytes);
  relay.Entries[std::string(kSetupEntry)] = setup.Setup;

  TRelayManifest& m = relay.Manifest;
  m.TaskName = setup.TaskName;
  m.Machine = MachineName();
  m.WrittenAt = text::LocalTime(std::time(nullptr), "%Y-%m-%d %H:%M:%S");
  m.Batches = RevealedBatches(journal);
  for (std::string_view name : EntryNames())
    if (const std::string* e = relay.Entry(name)) m.Hashes.emplace_back(name, Sha256Hex(*e));
  return true;
}

bool WriteRelay(int32_t taskId, std::string_view gbkZipPath, TRelaySummary& summary,
                std::string& error) {
  summary = TRelaySummary();
  TRelaySetup setup;
  return PrepareRelay(taskId, setup, error) && WriteRelay(setup, gbkZipPath, summary, error);
}

bool WriteRelay(const TRelaySetup& setup, std::string_view gbkZipPath, TRelaySummary& summary,
                std::string& error) {
  summary = TRelaySummary();
  TRelay relay;
  if (!GatherRelay(setup, relay, error)) return false;
  const std::string manifest = FormatRelayManifest(relay.Manifest);
  sheet::ZipWriter zip;
  if (!zip.Ok()) {
    error = G("无法生成接力包。");
    return false;
  }
  for (const auto& [entry, hex] : relay.Manifest.Hashes)
    if (!zip.Add(entry, relay.Entries[entry])) {
      error = G("无法生成接力包。");
      return false;
    }
  std::string out;
  if (!zip.Add(std::string(kManifestEntry), manifest) || !zip.Finish(out)) {
    error = G("无法生成接力包。");
    return false;
  }
  if (!files::WriteFileAtomic(gbkZipPath, out, error)) return false;
  summary.TaskName = relay.Manifest.TaskName;
  summary.Batches = relay.Manifest.Batches;
  summary.Checkins = relay.Entry(kCheckinEntry) != nullptr;
  summary.Claims = relay.Entry(kClaimsEntry) != nullptr;
  summary.Text = G("接力包已写到") + std::string(gbkZipPath) + G("\n任务:") + summary.TaskName +
                 G("\n抽奖记录:已揭晓") + std::to_string(summary.Batches) + G("批") +
                 (summary.Checkins ? G("\n签到记录:有") : G("\n签到记录:无")) +
                 (summary.Claims ? G("\n领奖记录:有") : G("\n领奖记录:无")) +
                 G("\n接力包含抽奖的密钥,请像保管这台电脑一样保管它。");
  return true;
}

bool WriteRelayFolder(const TRelay& relay, std::string_view gbkFolder, std::string& error) {
  std::string folder(gbkFolder);
  if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') folder += '/';
  std::vector<std::pair<std::string, std::string>> out;
  for (const auto& [entry, hex] : relay.Manifest.Hashes)
    if (const std::string* bytes = relay.Entry(entry)) out.emplace_back(folder + entry, *bytes);
  size_t written = 0;
  if (!files::WriteFilesAtomic(out, written, error)) return false;
  // Entries the new relay lacks go, so the folder holds what its manifest names.
  for (std::string_view name : EntryNames())
    if (!relay.Entry(name) && !files::RemoveFile(folder + std::string(name), error)) return false;
  return files::WriteFileAtomic(folder + std::string(kManifestEntry),
                                FormatRelayManifest(relay.Manifest), error);
}

bool ReadRelayFolder(std::string_view gbkFolder, TRelay& relay, std::string& error) {
  relay = TRelay();
  std::string folder(gbkFolder);
  if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') folder += '/';
  std::string manifest;
  bool there = false;
  if (!ReadIfThere(folder + std::string(kManifestEntry), manifest, there, error)) return false;
  if (!there) {
    error = G("接力文件夹") + std::string(gbkFolder) + G("中没有清单relay.txt,不能使用。");
    return false;
  }
  std::map<std::string, std::string> found;
  for (std::string_view name : EntryNames()) {
    std::string bytes;
    if (!ReadIfThere(folder + std::string(name), bytes, there, error)) return false;
    if (there) found[std::string(name)] = std::move(bytes);
  }
  return Take(std::move(found), manifest, relay, error);
}

bool ParseRelayPackage(std::string_view bytes, TRelay& relay, std::string& error) {
  relay = TRelay();
  sheet::ZipArchive zip;
  if (!zip.OpenBuffer(bytes, error)) {
    error = G("不是接力包,或接力包已损坏:") + error;
    return false;
  }
  std::map<std::string, std::string> found;
  std::string manifest;
  bool hasManifest = false;
  for (const std::string& name : zip.Names()) {
    const bool isManifest = name == kManifestEntry;
    if (!isManifest && !KnownEntry(name)) {
      error = G("接力包中有不认识的文件") + text::Utf8ToGbk(name) + G(",不能使用。");
      return false;
    }
    if ((isManifest && hasManifest) || found.count(name)) {
      error = G("接力包中的") + name + G("出现了两次,不能使用。");
      return false;
    }
    std::string part;
    if (!zip.ReadPart(name, part, error)) {
      error = G("接力包已损坏,无法读出") + name + G(":") + error;
      return false;
    }
    if (isManifest) {
      manifest = std::move(part);
      hasManifest = true;
    } else {
      found[name] = std::move(part);
    }
  }
  if (!hasManifest) {
    error = G("不是接力包:缺少清单relay.txt。");
    return false;
  }
  return Take(std::move(found), manifest, relay, error);
}

bool ReadRelayPackage(std::string_view gbkZipPath, TRelay& relay, std::string& error) {
  relay = TRelay();
  std::error_code ec;
  const auto size = std::filesystem::file_size(paths::NativePath(gbkZipPath), ec);
  if (ec) {
    error = G("文件不存在：") + std::string(gbkZipPath);
    return false;
  }
  if (size > package::kMaxPackageBytes * 2) {
    error = G("文件太大,不是接力包：") + std::string(gbkZipPath);
    return false;
  }
  std::string bytes;
  if (!files::ReadWholeFile(gbkZipPath, bytes, error)) return false;
  return ParseRelayPackage(bytes, relay, error);
}

}  // namespace spare
