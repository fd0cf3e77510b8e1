#include "core/net/Pairing.h"

#include <gtest/gtest.h>

#include <set>

using namespace net;

namespace {

struct PairingTest : ::testing::Test {
  TPairing pairing;
  int64_t now = 1'000'000;
  void SetUp() override {
    pairing.SetClock([this] { return now; });
  }
  // A code of the same length that is neither of the two shown.
  std::string WrongCode() {
    const std::string host = pairing.Code(TPairRole::Host), desk = pairing.Code(TPairRole::Desk);
    for (const char* c : {"000000", "000001", "000002"})
      if (c != host && c != desk) return c;
    return {};
  }
};

bool IsHex32(const std::string& s) {
  return s.size() == 32 && s.find_first_not_of("0123456789abcdef") == std::string::npos;
}

}  // namespace

TEST_F(PairingTest, CodesAreSixDigitsUsedOnceAndTokensAreFreshHex) {
  const std::string host = pairing.Code(TPairRole::Host);
  const std::string desk = pairing.Code(TPairRole::Desk);
  EXPECT_EQ(host.size(), 6u);
  EXPECT_EQ(host.find_first_not_of("0123456789"), std::string::npos);
  EXPECT_NE(host, desk);
  EXPECT_EQ(pairing.Code(TPairRole::Host), host);  // stays until used

  const TPairAnswer a = pairing.Pair("10.0.0.5", " " + host + "\r\n");
  EXPECT_EQ(a.Outcome, TPairOutcome::Paired);
  EXPECT_EQ(a.Role, TPairRole::Host);
  EXPECT_TRUE(IsHex32(a.Token)) << a.Token;
  EXPECT_NE(pairing.Code(TPairRole::Host), host);
  EXPECT_EQ(pairing.Code(TPairRole::Desk), desk);  // the other role's code is untouched
  // Used: the same code pairs nobody else.
  EXPECT_EQ(pairing.Pair("10.0.0.6", host).Outcome, TPairOutcome::WrongCode);

  const TPairAnswer d = pairing.Pair("10.0.0.7", desk);
  EXPECT_EQ(d.Outcome, TPairOutcome::Paired);
  EXPECT_EQ(d.Role, TPairRole::Desk);
  EXPECT_NE(d.Token, a.Token);
  const TPairingView v = pairing.View();
  EXPECT_TRUE(v.HostPaired);
  EXPECT_EQ(v.HostAddress, "10.0.0.5");
  EXPECT_EQ(v.Desks, 1u);

  std::set<std::string> tokens;
  for (int i = 0; i < 200; ++i) tokens.insert(NewToken());
  EXPECT_EQ(tokens.size(), 200u);
}

TEST_F(PairingTest, GuessedReplayedOrUnpairedRequestsAreRefused) {
  const std::string token = pairing.Pair("10.0.0.5", pairing.Code(TPairRole::Host)).Token;
  const std::string desk = pairing.Pair("10.0.0.8", pairing.Code(TPairRole::Desk)).Token;
  EXPECT_EQ(pairing.Take(token, TPairRole::Host, 1), TTokenCheck::Taken);
  EXPECT_EQ(pairing.Take(token, TPairRole::Host, 1), TTokenCheck::Replayed);
  EXPECT_EQ(pairing.Take(token, TPairRole::Host, 0), TTokenCheck::Replayed);
  EXPECT_EQ(pairing.Take(token, TPairRole::Host, 5), TTokenCheck::Taken);
  EXPECT_EQ(pairing.Take(token, TPairRole::Host, 4), TTokenCheck::Replayed);
  EXPECT_EQ(pairing.LastSeq(token), 5u);
  // A desk is no host, a guess is nobody.
  EXPECT_EQ(pairing.Take(desk, TPairRole::Host, 1), TTokenCheck::Unpaired);
  EXPECT_EQ(pairing.Take("0123456789abcdef0123456789abcdef", TPairRole::Host, 9),
            TTokenCheck::Unpaired);
  EXPECT_EQ(pairing.Take("", TPairRole::Host, 9), TTokenCheck::Unpaired);

  pairing.Unpair(TPairRole::Host);
  EXPECT_EQ(pairing.Take(token, TPairRole::Host, 6), TTokenCheck::Unpaired);
  EXPECT_EQ(pairing.StateOf(token), TTokenState::Unknown);
  EXPECT_EQ(pairing.Take(desk, TPairRole::Desk, 1), TTokenCheck::Taken);
  pairing.Unpair(desk);
  EXPECT_EQ(pairing.Take(desk, TPairRole::Desk, 2), TTokenCheck::Unpaired);
  EXPECT_EQ(pairing.View().Desks, 0u);
}

TEST_F(PairingTest, ASecondHostWaitsForTheOperator) {
  const std::string first = pairing.Pair("10.0.0.5", pairing.Code(TPairRole::Host)).Token;
  const TPairAnswer second = pairing.Pair("10.0.0.9", pairing.Code(TPairRole::Host));
  EXPECT_EQ(second.Outcome, TPairOutcome::Waiting);
  EXPECT_EQ(pairing.StateOf(second.Token), TTokenState::Waiting);
  EXPECT_EQ(pairing.Take(second.Token, TPairRole::Host, 1), TTokenCheck::Unpaired);
  EXPECT_EQ(pairing.Take(first, TPairRole::Host, 1), TTokenCheck::Taken);
  TPairingView v = pairing.View();
  EXPECT_TRUE(v.HostWaiting);
  EXPECT_EQ(v.WaitingAddress, "10.0.0.9");

  EXPECT_TRUE(pairing.Allow());
  EXPECT_FALSE(pairing.Allow());
  EXPECT_EQ(pairing.Take(first, TPairRole::Host, 2), TTokenCheck::Unpaired);
  EXPECT_EQ(pairing.Take(second.Token, TPairRole::Host, 1), TTokenCheck::Taken);
  v = pairing.View();
  EXPECT_EQ(v.HostAddress, "10.0.0.9");
  EXPECT_FALSE(v.HostWaiting);

  const TPairAnswer third = pairing.Pair("10.0.0.10", pairing.Code(TPairRole::Host));
  EXPECT_EQ(third.Outcome, TPairOutcome::Waiting);
  EXPECT_TRUE(pairing.Refuse());
  EXPECT_EQ(pairing.StateOf(third.Token), TTokenState::Refused);
  EXPECT_EQ(pairing.StateOf(third.Token), TTokenState::Unknown);
  EXPECT_EQ(pairing.Take(second.Token, TPairRole::Host, 2), TTokenCheck::Taken);
}

TEST_F(PairingTest, WrongCodesLockTheAddressThenEveryone) {
  const std::string wrong = WrongCode();
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(pairing.Pair("10.0.0.66", wrong).Outcome, TPairOutcome::WrongCode);
  // Locked: even the right code is not looked at from there.
  const std::string host = pairing.Code(TPairRole::Host);
  EXPECT_EQ(pairing.Pair("10.0.0.66", host).Outcome, TPairOutcome::Locked);
  EXPECT_EQ(pairing.Code(TPairRole::Host), host);
  now += kPairFailureWindowMs;
  EXPECT_EQ(pairing.Pair("10.0.0.66", host).Outcome, TPairOutcome::Paired);

  // 20 wrong codes from anywhere: both codes change and pairing stops for a minute.
  const std::string desk = pairing.Code(TPairRole::Desk);
  const std::string host2 = pairing.Code(TPairRole::Host);
  for (int i = 0; i < 20; ++i)
    EXPECT_EQ(pairing.Pair("10.1.0." + std::to_string(i), WrongCode()).Outcome,
              TPairOutcome::WrongCode);
  EXPECT_NE(pairing.Code(TPairRole::Desk), desk);
  EXPECT_NE(pairing.Code(TPairRole::Host), host2);
  EXPECT_EQ(pairing.View().LockedSeconds, 60);
  EXPECT_EQ(pairing.Pair("10.2.0.1", pairing.Code(TPairRole::Desk)).Outcome, TPairOutcome::Locked);
  now += 30'000;
  EXPECT_EQ(pairing.View().LockedSeconds, 30);
  // The operator's new code opens pairing again.
  pairing.Renew(TPairRole::Desk);
  EXPECT_EQ(pairing.View().LockedSeconds, 0);
  EXPECT_EQ(pairing.Pair("10.2.0.1", pairing.Code(TPairRole::Desk)).Outcome, TPairOutcome::Paired);
}

TEST_F(PairingTest, DesksAreLimited) {
  for (size_t i = 0; i < kMaxDesks; ++i)
    ASSERT_EQ(pairing.Pair("10.0.1.1", pairing.Code(TPairRole::Desk)).Outcome,
              TPairOutcome::Paired);
  const std::string code = pairing.Code(TPairRole::Desk);
  EXPECT_EQ(pairing.Pair("10.0.1.1", code).Outcome, TPairOutcome::Full);
  pairing.Unpair(TPairRole::Desk);
  EXPECT_EQ(pairing.Pair("10.0.1.1", code).Outcome, TPairOutcome::Paired);
}
