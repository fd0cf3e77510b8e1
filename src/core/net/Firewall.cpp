#include "core/net/Firewall.h"

#include <algorithm>
#include <cctype>

#ifdef _WIN32
#include <windows.h>
// windows.h first
#include <netfw.h>
#include <oleauto.h>

#include "core/text/Gbk.h"
#endif

namespace net {

namespace {

bool SamePath(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
           return std::tolower(x) == std::tolower(y);
         });
}

bool Names(const TFirewallRule& r, const std::string& program) {
  return r.enabled && (r.program.empty() || SamePath(r.program, program));
}

}  // namespace

TFirewall JudgeFirewall(int32_t active, const std::vector<TFirewallProfile>& profiles,
                        const std::vector<TFirewallRule>& inboundRules,
                        const std::string& program) {
  bool any = false;
  for (const TFirewallProfile& p : profiles) {
    if (!(active & p.bit)) continue;
    any = true;
    if (!p.enabled) continue;
    if (p.blockAllInbound) return TFirewall::Blocked;
    bool allowed = p.defaultInboundAllows;
    for (const TFirewallRule& r : inboundRules) {
      if (!(r.profiles & p.bit) || !Names(r, program)) continue;
      if (!r.allows) return TFirewall::Blocked;
      allowed = true;
    }
    if (!allowed) return TFirewall::Blocked;
  }
  return any ? TFirewall::Open : TFirewall::Unknown;
}

#ifdef _WIN32

namespace {

std::string Utf8(const wchar_t* w) {
  if (!w) return {};
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return {};
  std::string out(static_cast<size_t>(n - 1), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, w, -1, out.data(), n, nullptr, nullptr);
  return out;
}

template <class T>
struct Com {
  T* p = nullptr;
  ~Com() {
    if (p) p->Release();
  }
  T* operator->() const { return p; }
};

// The firewall's inbound rules, through the COM interface Windows offers for it.
bool ReadRules(INetFwPolicy2* policy, std::vector<TFirewallRule>& out) {
  Com<INetFwRules> rules;
  if (FAILED(policy->get_Rules(&rules.p))) return false;
  Com<IUnknown> unknown;
  if (FAILED(rules->get__NewEnum(&unknown.p))) return false;
  Com<IEnumVARIANT> items;
  if (FAILED(unknown->QueryInterface(__uuidof(IEnumVARIANT), reinterpret_cast<void**>(&items.p))))
    return false;
  VARIANT v;
  ::VariantInit(&v);
  ULONG fetched = 0;
  while (items->Next(1, &v, &fetched) == S_OK && fetched == 1) {
    Com<INetFwRule> rule;
    if (v.vt == VT_DISPATCH && v.pdispVal &&
        SUCCEEDED(
            v.pdispVal->QueryInterface(__uuidof(INetFwRule), reinterpret_cast<void**>(&rule.p)))) {
      NET_FW_RULE_DIRECTION direction = NET_FW_RULE_DIR_OUT;
      VARIANT_BOOL enabled = VARIANT_FALSE;
      NET_FW_ACTION action = NET_FW_ACTION_BLOCK;
      long profiles = 0;
      BSTR app = nullptr;
      if (SUCCEEDED(rule->get_Direction(&direction)) && direction == NET_FW_RULE_DIR_IN &&
          SUCCEEDED(rule->get_Enabled(&enabled)) && SUCCEEDED(rule->get_Action(&action)) &&
          SUCCEEDED(rule->get_Profiles(&profiles))) {
        rule->get_ApplicationName(&app);
        out.push_back({enabled == VARIANT_TRUE, action == NET_FW_ACTION_ALLOW,
                       static_cast<int32_t>(profiles), Utf8(app)});
        if (app) ::SysFreeString(app);
      }
    }
    ::VariantClear(&v);
  }
  return true;
}

}  // namespace

TFirewall InboundFirewall(std::string& profileText) {
  profileText.clear();
  const HRESULT init = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  // Qt's thread may have COM already in another mode; it still serves.
  const bool mine = SUCCEEDED(init);
  TFirewall verdict = TFirewall::Unknown;
  {
    Com<INetFwPolicy2> policy;
    if (SUCCEEDED(::CoCreateInstance(__uuidof(NetFwPolicy2), nullptr, CLSCTX_INPROC_SERVER,
                                     __uuidof(INetFwPolicy2),
                                     reinterpret_cast<void**>(&policy.p)))) {
      long active = 0;
      std::vector<TFirewallProfile> profiles;
      std::vector<TFirewallRule> rules;
      bool read = SUCCEEDED(policy->get_CurrentProfileTypes(&active));
      for (int32_t bit : {kProfileDomain, kProfilePrivate, kProfilePublic}) {
        if (!read || !(active & bit)) continue;
        const auto type = static_cast<NET_FW_PROFILE_TYPE2>(bit);
        VARIANT_BOOL on = VARIANT_TRUE, blockAll = VARIANT_FALSE;
        NET_FW_ACTION inbound = NET_FW_ACTION_BLOCK;
        read = SUCCEEDED(policy->get_FirewallEnabled(type, &on)) &&
               SUCCEEDED(policy->get_BlockAllInboundTraffic(type, &blockAll)) &&
               SUCCEEDED(policy->get_DefaultInboundAction(type, &inbound));
        profiles.push_back(
            {bit, on == VARIANT_TRUE, blockAll == VARIANT_TRUE, inbound == NET_FW_ACTION_ALLOW});
        const char* name = bit == kProfileDomain    ? "域网络"
                           : bit == kProfilePrivate ? "专用网络"
                                                    : "公用网络";
        profileText += (profileText.empty() ? std::string() : text::G("、")) + text::G(name);
      }
      wchar_t self[MAX_PATH * 4] = {};
      const DWORD n = ::GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
      if (read && n > 0 && n < MAX_PATH * 4 && ReadRules(policy.p, rules))
        verdict = JudgeFirewall(static_cast<int32_t>(active), profiles, rules, Utf8(self));
    }
  }
  if (mine) ::CoUninitialize();
  return verdict;
}

#else

TFirewall InboundFirewall(std::string& profileText) {
  profileText.clear();
  return TFirewall::Unknown;
}

#endif

}  // namespace net
