#include "core/net/Pairing.h"

#include <gtest/gtest.h>

#include <set>

#include "SignedPhone.h"

using namespace net;

namespace {

constexpr const char* kCode = "23456789ABCDEFGH";
// PBKDF2-HMAC-SHA256(kCode, "tombolix-pair-1", 10000 rounds), worked out by Python's
// hashlib; and HMAC-SHA256 of that key over "host|POST|/host/input|7|a=start" by its hmac.
constexpr const char* kCodeKey = "e1ff543615c03c94633c3f954257f2ddc9e7b144e6fab0c7c35e3eba1ee19a5b";
constexpr const char* kPressSignature =
    "7d99f5d92c2ef67955100ae050ffa2a0d60c8aab7d6a14bf7e02e7229d848bd8";

struct PairingTest : ::testing::Test {
  TPairing pairing;
  int64_t now = 1'000'000;
  void SetUp() override {
    pairing.SetClock([this] { return now; });
  }
  static std::string PairPath(TPairRole role) {
    return role == TPairRole::Host ? "/pair" : "/desk/pair";
  }
  // A phone at `address` pairs as `role` with `code` typed.
  TPairAnswer Pair(const char* address, TPairRole role, const std::string& code,
                   SignedPhone* phone = nullptr) {
    SignedPhone own(role, code);
    SignedPhone& p = phone ? *phone : own;
    const std::string path = PairPath(role), body = p.PairBody(path);
    const TPairAnswer a = pairing.Pair(PostOf(path, body, address), role);
    p.token = a.Token;
    return a;
  }
  // A signed request of `phone` on `path`.
  TSignedAnswer Send(SignedPhone& phone, const std::string& path, const std::string& payload) {
    const std::string body = phone.Body(path, payload);
    return pairing.Check(PostOf(path, body), phone.role);
  }
  TSignedCheck Resend(TPairRole role, const std::string& path, const std::string& body) {
    return pairing.Check(PostOf(path, body), role).Check;
  }
  // A code that is neither of the two shown.
  std::string WrongCode() {
    const std::string host = pairing.Code(TPairRole::Host), desk = pairing.Code(TPairRole::Desk);
    for (const char* c : {"2222222222222222", "3333333333333333", "4444444444444444"})
      if (c != host && c != desk) return c;
    return {};
  }
};

}  // namespace

TEST_F(PairingTest, CodesAreSixteenOfThirtyTwoLettersTypedAnyWayAndTheirKeysAsWorkedOut) {
  const std::string host = pairing.Code(TPairRole::Host);
  const std::string desk = pairing.Code(TPairRole::Desk);
  EXPECT_EQ(host.size(), 16u);
  EXPECT_EQ(host.find_first_not_of("23456789ABCDEFGHJKLMNPQRSTUVWXYZ"), std::string::npos);
  EXPECT_NE(host, desk);
  EXPECT_EQ(pairing.Code(TPairRole::Host), host);  // stays until used
  std::set<char> seen;
  for (int i = 0; i < 200; ++i)
    for (char c : NewPairCode()) seen.insert(c);
  EXPECT_EQ(seen.size(), 32u);  // 3200 draws reach every letter of the alphabet

  std::string code;
  EXPECT_TRUE(NormalizePairCode("2345-6789 abcd efgh", code));
  EXPECT_EQ(code, kCode);
  EXPECT_TRUE(NormalizePairCode(" 2345 6789\tABCD-EFGH\r\n", code));
  EXPECT_EQ(code, kCode);
  EXPECT_FALSE(NormalizePairCode("2345 6789 ABCD EFG", code));    // 15
  EXPECT_FALSE(NormalizePairCode("2345 6789 ABCD EFGHJ", code));  // 17
  EXPECT_FALSE(NormalizePairCode("0345 6789 ABCD EFGH", code));   // 0 looks like O
  EXPECT_FALSE(NormalizePairCode("2345 6789 ABCD EFGI", code));   // I looks like 1
  EXPECT_EQ(code, "");
  EXPECT_EQ(ShownPairCode(kCode), "2345 6789 ABCD EFGH");

  EXPECT_EQ(PairKeyHex(PairKeyOf(kCode)), kCodeKey);
  TPairKey key;
  ASSERT_TRUE(ParsePairKeyHex(kCodeKey, key));
  EXPECT_EQ(SignatureOf(key, SignedText(TPairRole::Host, "POST", "/host/input", 7, "a=start")),
            kPressSignature);
  EXPECT_EQ(
      SignedBody(key, TPairRole::Host, "POST", "/host/input", std::string(32, 'a'), 7, "a=start"),
      "t=" + std::string(32, 'a') + "&n=7&s=" + kPressSignature + "&a=start");
  EXPECT_FALSE(ParsePairKeyHex(std::string(kCodeKey).substr(2), key));
  EXPECT_EQ(PairAddress("http://10.0.0.1:8080/host", key),
            std::string("http://10.0.0.1:8080/host#k=") + kCodeKey);
}

TEST_F(PairingTest, ASignedBodyHasOneSpellingOnly) {
  const std::string sig(64, 'c'), token(32, 'a');
  TSignedBody b;
  ASSERT_TRUE(SplitSignedBody("t=" + token + "&n=12&s=" + sig + "&a=start&k=3", b));
  EXPECT_EQ(b.Token, token);
  EXPECT_EQ(b.Counter, 12u);
  EXPECT_EQ(b.Payload, "a=start&k=3");
  ASSERT_TRUE(SplitSignedBody("t=&n=1&s=" + sig, b));
  EXPECT_EQ(b.Token, "");
  EXPECT_EQ(b.Payload, "");
  for (const std::string& bad :
       {"n=1&t=" + token + "&s=" + sig, "t=" + token + "&n=01&s=" + sig,
        "t=" + token + "&n=0&s=" + sig, "t=" + token + "&n=1&s=" + sig + "&",
        "t=" + token + "&n=1&s=" + sig.substr(1), "t=" + token + "&n=1", "t=abc&n=1&s=" + sig,
        "t=" + token + "&n=1234567890123456&s=" + sig, "t=" + token + "&n=1&s=" + sig + "0"})
    EXPECT_FALSE(SplitSignedBody(bad, b)) << bad;
}

TEST_F(PairingTest, APhonePairsWithTheKeyOnceAndEveryRequestIsCheckedInOnePlace) {
  const std::string host = pairing.Code(TPairRole::Host);
  const std::string desk = pairing.Code(TPairRole::Desk);
  // The QR code's key pairs as the typed code does.
  TPairKey key;
  ASSERT_TRUE(pairing.Key(TPairRole::Host, key));
  EXPECT_EQ(key, PairKeyOf(host));
  SignedPhone phone(TPairRole::Host, key);
  const TPairAnswer a = Pair("10.0.0.5", TPairRole::Host, host, &phone);
  ASSERT_EQ(a.Outcome, TPairOutcome::Paired);
  EXPECT_EQ(a.Token.size(), 32u);
  EXPECT_NE(pairing.Code(TPairRole::Host), host);  // used once
  EXPECT_EQ(pairing.Code(TPairRole::Desk), desk);  // the other role's code is untouched
  EXPECT_EQ(Pair("10.0.0.6", TPairRole::Host, host).Outcome, TPairOutcome::WrongCode);
  // The desk's code on the host's page: not used up.
  EXPECT_EQ(Pair("10.0.0.7", TPairRole::Host, desk).Outcome, TPairOutcome::WrongRole);
  EXPECT_EQ(pairing.Code(TPairRole::Desk), desk);
  SignedPhone deskPhone(TPairRole::Desk, desk);
  ASSERT_EQ(Pair("10.0.0.7", TPairRole::Desk, desk, &deskPhone).Outcome, TPairOutcome::Paired);
  TPairingView v = pairing.View();
  EXPECT_TRUE(v.HostPaired);
  EXPECT_EQ(v.HostAddress, "10.0.0.5");
  EXPECT_EQ(v.Desks, 1u);

  // Taken: the payload's fields only, the counter the pairing's plus one.
  TSignedAnswer s = Send(phone, "/host/input", "a=start&k=3");
  EXPECT_EQ(s.Check, TSignedCheck::Taken);
  EXPECT_EQ(s.Last, 2u);
  EXPECT_EQ(s.Form, (std::map<std::string, std::string>{{"a", "start"}, {"k", "3"}}));
  const std::string taken = phone.Body("/host/input", "a=stop");
  EXPECT_EQ(Resend(TPairRole::Host, "/host/input", taken), TSignedCheck::Taken);
  // The same bytes again; the counter raised with the old signature; the signature moved to
  // another path, role or payload: nothing goes.
  EXPECT_EQ(Resend(TPairRole::Host, "/host/input", taken), TSignedCheck::Replayed);
  std::string raised = taken;
  raised.replace(raised.find("&n=3&"), 5, "&n=4&");
  EXPECT_EQ(Resend(TPairRole::Host, "/host/input", raised), TSignedCheck::Forged);
  phone.counter = 9;
  const std::string later = phone.Body("/host/input", "a=stop");
  EXPECT_EQ(Resend(TPairRole::Host, "/host/add", later), TSignedCheck::Forged);
  std::string other = later;
  other.replace(other.find("a=stop"), 6, "a=leave");
  EXPECT_EQ(Resend(TPairRole::Host, "/host/input", other), TSignedCheck::Forged);
  EXPECT_EQ(Resend(TPairRole::Desk, "/host/input", later), TSignedCheck::Unpaired);
  EXPECT_EQ(Resend(TPairRole::Host, "/host/input", later), TSignedCheck::Taken);
  EXPECT_EQ(pairing.LastSeq(phone.token), 10u);
  // A counter below the last: told the last, so that the page goes on above it.
  phone.counter = 4;
  s = Send(phone, "/host/state", "");
  EXPECT_EQ(s.Check, TSignedCheck::Replayed);
  EXPECT_EQ(s.Last, 10u);
  // The desk's key is no host's, nor the host's token with the desk's key.
  EXPECT_EQ(Send(deskPhone, "/host/state", "").Check, TSignedCheck::Taken);  // as a desk
  deskPhone.role = TPairRole::Host;
  EXPECT_EQ(Send(deskPhone, "/host/state", "").Check, TSignedCheck::Unpaired);
  deskPhone.token = phone.token;
  EXPECT_EQ(Send(deskPhone, "/host/state", "").Check, TSignedCheck::Forged);

  // A plain form (a page from before signing) and a broken one.
  EXPECT_EQ(Resend(TPairRole::Host, "/host/input", "t=" + phone.token + "&n=20&a=start"),
            TSignedCheck::Unsigned);
  EXPECT_EQ(Resend(TPairRole::Host, "/host/input", "t=%zz"), TSignedCheck::Malformed);
  EXPECT_EQ(
      pairing.Pair(PostOf("/pair", "c=" + pairing.Code(TPairRole::Host)), TPairRole::Host).Outcome,
      TPairOutcome::Unsigned);

  pairing.Unpair(TPairRole::Host);
  EXPECT_EQ(Send(phone, "/host/state", "").Check, TSignedCheck::Unpaired);
  EXPECT_EQ(pairing.View().Desks, 1u);
}

TEST_F(PairingTest, ASecondHostWaitsForTheOperator) {
  SignedPhone first(TPairRole::Host, pairing.Code(TPairRole::Host));
  ASSERT_EQ(Pair("10.0.0.5", TPairRole::Host, pairing.Code(TPairRole::Host), &first).Outcome,
            TPairOutcome::Paired);
  SignedPhone second(TPairRole::Host, pairing.Code(TPairRole::Host));
  EXPECT_EQ(Pair("10.0.0.9", TPairRole::Host, pairing.Code(TPairRole::Host), &second).Outcome,
            TPairOutcome::Waiting);
  EXPECT_EQ(Send(second, "/host/input", "a=start").Check, TSignedCheck::Waiting);
  EXPECT_EQ(Send(first, "/host/input", "a=start").Check, TSignedCheck::Taken);
  TPairingView v = pairing.View();
  EXPECT_TRUE(v.HostWaiting);
  EXPECT_EQ(v.WaitingAddress, "10.0.0.9");

  EXPECT_TRUE(pairing.Allow());
  EXPECT_FALSE(pairing.Allow());
  EXPECT_EQ(Send(first, "/host/input", "a=stop").Check, TSignedCheck::Unpaired);
  EXPECT_EQ(Send(second, "/host/input", "a=stop").Check, TSignedCheck::Taken);
  v = pairing.View();
  EXPECT_EQ(v.HostAddress, "10.0.0.9");
  EXPECT_FALSE(v.HostWaiting);

  SignedPhone third(TPairRole::Host, pairing.Code(TPairRole::Host));
  EXPECT_EQ(Pair("10.0.0.10", TPairRole::Host, pairing.Code(TPairRole::Host), &third).Outcome,
            TPairOutcome::Waiting);
  EXPECT_TRUE(pairing.Refuse());
  // Told to the refused phone once; whoever repeats its token with another key is not.
  SignedPhone copy(TPairRole::Host, kCode);
  copy.token = third.token;
  EXPECT_EQ(Send(copy, "/host/state", "").Check, TSignedCheck::Unpaired);
  EXPECT_EQ(Send(third, "/host/state", "").Check, TSignedCheck::Refused);
  EXPECT_EQ(Send(third, "/host/state", "").Check, TSignedCheck::Unpaired);
  EXPECT_EQ(Send(second, "/host/input", "a=start").Check, TSignedCheck::Taken);
}

TEST_F(PairingTest, WrongCodesLockTheAddressThenEveryone) {
  const std::string wrong = WrongCode();
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(Pair("10.0.0.66", TPairRole::Host, wrong).Outcome, TPairOutcome::WrongCode);
  // Locked: even the right code is not looked at from there.
  const std::string host = pairing.Code(TPairRole::Host);
  EXPECT_EQ(Pair("10.0.0.66", TPairRole::Host, host).Outcome, TPairOutcome::Locked);
  EXPECT_EQ(pairing.Code(TPairRole::Host), host);
  now += kPairFailureWindowMs;
  EXPECT_EQ(Pair("10.0.0.66", TPairRole::Host, host).Outcome, TPairOutcome::Paired);

  // 20 wrong codes from anywhere: both codes change and pairing stops for a minute.
  const std::string desk = pairing.Code(TPairRole::Desk);
  const std::string host2 = pairing.Code(TPairRole::Host);
  for (int i = 0; i < 20; ++i) {
    const std::string address = "10.1.0." + std::to_string(i);
    EXPECT_EQ(Pair(address.c_str(), TPairRole::Desk, WrongCode()).Outcome, TPairOutcome::WrongCode);
  }
  EXPECT_NE(pairing.Code(TPairRole::Desk), desk);
  EXPECT_NE(pairing.Code(TPairRole::Host), host2);
  EXPECT_EQ(pairing.View().LockedSeconds, 60);
  EXPECT_EQ(Pair("10.2.0.1", TPairRole::Desk, pairing.Code(TPairRole::Desk)).Outcome,
            TPairOutcome::Locked);
  now += 30'000;
  EXPECT_EQ(pairing.View().LockedSeconds, 30);
  // The operator's new code opens pairing again.
  pairing.Renew(TPairRole::Desk);
  EXPECT_EQ(pairing.View().LockedSeconds, 0);
  EXPECT_EQ(Pair("10.2.0.1", TPairRole::Desk, pairing.Code(TPairRole::Desk)).Outcome,
            TPairOutcome::Paired);
}

TEST_F(PairingTest, DesksAreLimited) {
  for (size_t i = 0; i < kMaxDesks; ++i)
    ASSERT_EQ(Pair("10.0.1.1", TPairRole::Desk, pairing.Code(TPairRole::Desk)).Outcome,
              TPairOutcome::Paired);
  const std::string code = pairing.Code(TPairRole::Desk);
  EXPECT_EQ(Pair("10.0.1.1", TPairRole::Desk, code).Outcome, TPairOutcome::Full);
  pairing.Unpair(TPairRole::Desk);
  EXPECT_EQ(Pair("10.0.1.1", TPairRole::Desk, code).Outcome, TPairOutcome::Paired);
}
