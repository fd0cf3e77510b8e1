#include "core/net/Firewall.h"

#include <gtest/gtest.h>

#include "core/check/ShowCheck.h"
#include "core/text/Gbk.h"

using namespace net;

namespace {

const std::string kSelf = "C:\\Program Files\\Qarvo\\tombolix.exe";

// Windows' defaults: on, inbound blocked unless a rule lets it in.
std::vector<TFirewallProfile> Defaults() {
  return {{kProfileDomain}, {kProfilePrivate}, {kProfilePublic}};
}

}  // namespace

TEST(Firewall, ThePhonesGetInOnlyWhereEveryProfileInUseLetsThem) {
  const TFirewallRule installer{true, true, kProfilePrivate,
                                "c:\\program files\\QARVO\\tombolix.exe"};
  // The installer's rule covers a private network, in any case of the path.
  EXPECT_EQ(JudgeFirewall(kProfilePrivate, Defaults(), {installer}, kSelf), TFirewall::Open);
  // A hotel's network is public: the same rule does not apply there.
  EXPECT_EQ(JudgeFirewall(kProfilePublic, Defaults(), {installer}, kSelf), TFirewall::Blocked);
  EXPECT_EQ(JudgeFirewall(kProfilePrivate | kProfilePublic, Defaults(), {installer}, kSelf),
            TFirewall::Blocked);
  // The portable zip has no rule; another program's rule does not help it.
  EXPECT_EQ(JudgeFirewall(kProfilePrivate, Defaults(), {{true, true, 7, "C:\\other.exe"}}, kSelf),
            TFirewall::Blocked);
  // A disabled rule is none; a blocking one wins over an allowing one, as on Windows.
  EXPECT_EQ(JudgeFirewall(kProfilePrivate, Defaults(), {{false, true, 7, kSelf}}, kSelf),
            TFirewall::Blocked);
  EXPECT_EQ(JudgeFirewall(kProfilePrivate, Defaults(), {installer, {true, false, 7, kSelf}}, kSelf),
            TFirewall::Blocked);
  // The firewall switched off for the profile in use, or letting everything in.
  std::vector<TFirewallProfile> off = Defaults();
  off[2].enabled = false;
  EXPECT_EQ(JudgeFirewall(kProfilePublic, off, {}, kSelf), TFirewall::Open);
  std::vector<TFirewallProfile> shields = Defaults();
  shields[1].blockAllInbound = true;  // "block all incoming connections" beats every rule
  EXPECT_EQ(JudgeFirewall(kProfilePrivate, shields, {installer}, kSelf), TFirewall::Blocked);
  // Nothing in use: nothing to say.
  EXPECT_EQ(JudgeFirewall(0, Defaults(), {installer}, kSelf), TFirewall::Unknown);
}

TEST(Firewall, TheCheckNamesTheProfileAndTheWayOut) {
  const check::TFinding blocked = check::FirewallFinding(true, text::G("公用网络"));
  EXPECT_EQ(blocked.Mark, check::TMark::Warning);
  EXPECT_EQ(
      text::GbkToUtf8(blocked.Text),
      "Windows防火墙会挡住手机签到、主持人遥控和领奖核销（公用网络）："
      "请把这台电脑连接的网络设为专用网络，或在“允许应用通过Windows防火墙”中允许Qarvo抽奖软件");
  EXPECT_EQ(check::FirewallFinding(false, text::G("专用网络")).Mark, check::TMark::Ok);
#ifndef _WIN32
  std::string profiles = "x";
  EXPECT_EQ(InboundFirewall(profiles), TFirewall::Unknown);
  EXPECT_EQ(profiles, "");
#endif
}
