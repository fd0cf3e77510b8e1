// Whether the system's firewall lets phones on the hall's network reach the program's
// check-in server. Only Windows is asked: its firewall is on by default and keeps a program
// out that it was not told about (the installer adds a rule for private networks). Elsewhere
// the answer is Unknown and the pre-show check says nothing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace net {

enum class TFirewall {
  Open,     // every network profile in use lets the program be reached
  Blocked,  // a profile in use keeps it out
  Unknown,  // not Windows, or the firewall could not be read
};

// Network profile bits, as Windows numbers them.
inline constexpr int32_t kProfileDomain = 1, kProfilePrivate = 2, kProfilePublic = 4;

struct TFirewallProfile {
  int32_t bit = 0;
  bool enabled = true;
  bool blockAllInbound = false;
  bool defaultInboundAllows = false;
};

// An inbound rule as the firewall lists it; `program` is the full path (UTF-8), empty for a
// rule about every program.
struct TFirewallRule {
  bool enabled = true;
  bool allows = true;
  int32_t profiles = 0;  // bits; every profile when all are set
  std::string program;
};

// What the firewall does to inbound connections of `program` (UTF-8 path) with the profiles
// `active` (bits) in use. A profile is open when its firewall is off, or it lets inbound in
// by default, or an enabled allowing rule names the program (path compared without case) —
// unless it blocks all inbound or an enabled blocking rule names the program, which wins as
// on Windows. Open only when every profile in use is.
TFirewall JudgeFirewall(int32_t active, const std::vector<TFirewallProfile>& profiles,
                        const std::vector<TFirewallRule>& inboundRules, const std::string& program);

// Reads the firewall of this machine for the running program (Windows); Unknown elsewhere
// or when it cannot be read. `profileText` gets the names of the profiles in use (GBK).
TFirewall InboundFirewall(std::string& profileText);

}  // namespace net
