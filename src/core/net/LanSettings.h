// How the LAN server of a task was last set up on this machine: the address and port the
// phones' printed QR codes name, the hall's Wi-Fi line, and whether the server was left
// running. Kept per task in DATA/SERVER_<TaskId>.txt (GBK, CR LF, lines "<key>=<value>"),
// written beside and renamed into place. A file rather than columns of the database: the
// address belongs to this laptop's network, not to the task, and the event package that
// carries the task to a spare laptop must not carry it along.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace net {

struct TLanSettings {
  std::string Address;  // dotted IPv4; empty: never started
  uint16_t Port = 0;
  bool Running = false;  // the operator started it and did not stop it
  std::string WifiName;  // GBK
  std::string WifiPassword;
  bool operator==(const TLanSettings&) const = default;
};

// DATA/SERVER_<TaskId>.txt of the current data root.
std::string LanSettingsPath(int32_t taskId);

// The file's text, and the settings read from it: unknown keys and malformed lines are
// passed over (a damaged file loses only what it lost), a port outside 1-65535 is none.
std::string FormatLanSettings(const TLanSettings& settings);
TLanSettings ParseLanSettings(std::string_view text);

// The task's settings; all empty when it has none or the file cannot be read.
TLanSettings ReadLanSettings(int32_t taskId);
// Stores them; false with the system's text (GBK) when the file cannot be written, the old
// one then stays.
bool WriteLanSettings(int32_t taskId, const TLanSettings& settings, std::string& error);

}  // namespace net
