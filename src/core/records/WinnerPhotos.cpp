#include "core/records/WinnerPhotos.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <unordered_set>

#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"

namespace photos {

namespace fs = std::filesystem;

namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::string WithSlash(std::string_view dir) {
  std::string d(dir);
  if (!d.empty() && d.back() != '/' && d.back() != '\\') d += '/';
  return d;
}

}  // namespace

std::string PhotoDir(int32_t taskId) {
  return paths::DataFileDir() + "PHOTO_" + std::to_string(taskId) + "/";
}

bool PictureId(std::string_view name, std::string& id) {
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return false;
  const std::string ext = Lower(name.substr(dot + 1));
  if (ext != "jpg" && ext != "jpeg" && ext != "png") return false;
  id = std::string(name.substr(0, dot));
  return true;
}

bool IdNamesFile(std::string_view id) {
  if (id.empty() || id == "." || id == "..") return false;
  for (size_t i = 0; i < id.size(); ++i) {
    const auto b = static_cast<unsigned char>(id[i]);
    if (b >= 0x81 && i + 1 < id.size()) {  // a double-byte character
      ++i;
      continue;
    }
    if (b < 0x20 || b == 0x7F) return false;
    if (std::string_view("/\\:*?\"<>|").find(static_cast<char>(b)) != std::string_view::npos)
      return false;
  }
  return true;
}

TPhotoPlan PlanPhotoImport(std::string_view sourceDir, std::vector<std::string> fileNames,
                           const std::vector<std::string>& candidateIds, int32_t taskId) {
  TPhotoPlan plan;
  std::sort(fileNames.begin(), fileNames.end());
  std::unordered_set<std::string_view> ids;
  ids.reserve(candidateIds.size());
  for (const std::string& id : candidateIds)
    if (!id.empty()) ids.insert(id);
  std::unordered_set<std::string> taken;
  const std::string source = WithSlash(sourceDir);
  const std::string target = PhotoDir(taskId);
  for (const std::string& name : fileNames) {
    std::string id;
    if (!PictureId(name, id)) continue;
    if (!ids.count(id) || !IdNamesFile(id)) {
      ++plan.notCandidates;
      continue;
    }
    if (!taken.insert(id).second) continue;  // the id has its picture already
    plan.copies.push_back({source + name, target + id + ".jpg"});
  }
  for (std::string_view id : ids)
    if (!taken.count(std::string(id))) ++plan.idsWithout;
  return plan;
}

bool ListFolder(std::string_view dir, std::vector<std::string>& names, std::string& error) {
  names.clear();
  std::error_code ec;
  fs::directory_iterator it(paths::NativePath(dir), ec);
  if (ec) {
    error = text::G("照片文件夹无法读取:") + std::string(dir);
    return false;
  }
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) break;
    std::error_code fileEc;
    if (!it->is_regular_file(fileEc)) continue;
    names.push_back(text::Utf8ToGbk(paths::U8(it->path().filename())));
  }
  if (ec) {
    error = text::G("照片文件夹无法读取:") + std::string(dir);
    return false;
  }
  return true;
}

std::string PhotoOf(int32_t taskId, std::string_view id) {
  if (!IdNamesFile(id)) return {};
  std::string path = PhotoDir(taskId) + std::string(id) + ".jpg";
  return paths::FileExists(path) ? path : std::string();
}

}  // namespace photos
