#include "core/net/LanSettings.h"

#include <charconv>

#include "core/text/FileWrite.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"

namespace net {

namespace {

// A value on one line: line ends would start another key.
std::string OneLine(std::string_view v) {
  std::string out;
  for (char c : v)
    if (c != '\r' && c != '\n') out += c;
  return out;
}

}  // namespace

std::string LanSettingsPath(int32_t taskId) {
  return paths::DataRoot() + "DATA/SERVER_" + std::to_string(taskId) + ".txt";
}

std::string FormatLanSettings(const TLanSettings& s) {
  return "ADDRESS=" + OneLine(s.Address) + "\r\nPORT=" + std::to_string(s.Port) +
         "\r\nRUNNING=" + (s.Running ? "1" : "0") + "\r\nWIFI=" + OneLine(s.WifiName) +
         "\r\nPASSWORD=" + OneLine(s.WifiPassword) + "\r\n";
}

TLanSettings ParseLanSettings(std::string_view text) {
  TLanSettings s;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    const std::string_view key = line.substr(0, eq), value = line.substr(eq + 1);
    if (key == "ADDRESS") {
      s.Address = text::Trim(value);
    } else if (key == "PORT") {
      unsigned port = 0;
      const auto [p, ec] = std::from_chars(value.data(), value.data() + value.size(), port);
      s.Port = ec == std::errc() && p == value.data() + value.size() && port <= 65535
                   ? static_cast<uint16_t>(port)
                   : 0;
    } else if (key == "RUNNING") {
      s.Running = value == "1";
    } else if (key == "WIFI") {
      s.WifiName = std::string(value);
    } else if (key == "PASSWORD") {
      s.WifiPassword = std::string(value);
    }
  }
  return s;
}

TLanSettings ReadLanSettings(int32_t taskId) {
  std::string bytes, error;
  if (!paths::FileExists(LanSettingsPath(taskId)) ||
      !files::ReadWholeFile(LanSettingsPath(taskId), bytes, error))
    return {};
  return ParseLanSettings(bytes);
}

bool WriteLanSettings(int32_t taskId, const TLanSettings& settings, std::string& error) {
  return files::WriteFileAtomic(LanSettingsPath(taskId), FormatLanSettings(settings), error);
}

}  // namespace net
