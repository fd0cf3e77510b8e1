// The prize claims' routes of the LAN server, as requests and answers without a network:
//   GET  /desk         the prize desk's page (pairing, code entry, search, 确认领取)
//   POST /desk/pair    signed with the desk code's key, no token: pairs a desk; its token and
//                      name, as JSON
//   POST /desk/find    signed, c=<claim code> | q=<id or name>: the prizes
//   POST /desk/claim   signed, c=<claim code> | i=<id>&p=<ItemId>: records the claim
//   POST /prize        t=<check-in token>: the asker's own prizes, codes and their QR
// Signed bodies are those of PairKey.h; every /desk/ request but the pairing must be taken by
// the pairing's Check, else it is refused (SignedRefusal). The list is never served: a desk
// sees the winners it asks for, a phone its own prizes.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "core/claims/Claimants.h"
#include "core/net/Http.h"

namespace net {
class TPairing;
}  // namespace net

namespace claims {

class TClaimDesk;

// The longest photo a desk is sent, in bytes.
inline constexpr size_t kMaxPhotoBytes = 1024 * 1024;

class TClaimRoutes : public net::TRoutes {
 public:
  // `claimants` names the phones' tokens and the task; it outlives the routes.
  TClaimRoutes(const TClaimants& claimants, net::TPairing& pairing,
               std::shared_ptr<TClaimDesk> desk)
      : m_claimants(claimants), m_pairing(pairing), m_desk(std::move(desk)) {}

  // Where the phones reach the server (http://<address>:<port>/): the winners' claim QR
  // opens the desk page below it.
  void SetBaseUrl(std::string url);

  // The name a desk's token got when it paired (GBK), empty for another token.
  std::string DeskName(std::string_view token) const;

 protected:
  bool Answer(const net::THttpRequest& request, net::THttpResponse& response) override;

 private:
  net::THttpResponse Pair(const net::THttpRequest& request);
  net::THttpResponse Find(const net::THttpRequest& request);
  net::THttpResponse Claim(const net::THttpRequest& request);
  net::THttpResponse Prize(const net::THttpRequest& request);
  // The desk's name and the signed fields when Check takes the request; else the refusal
  // to send.
  bool TakeDesk(const net::THttpRequest& request, std::map<std::string, std::string>& form,
                std::string& name, net::THttpResponse& refusal);

  const TClaimants& m_claimants;
  net::TPairing& m_pairing;
  std::shared_ptr<TClaimDesk> m_desk;
  mutable std::mutex m_mutex;
  std::string m_baseUrl;
  std::map<std::string, std::string> m_deskNames;  // token → 领奖台N
};

// The desk page (HTML with its style and script inline).
std::string DeskPage(std::string_view taskNameGbk);

// The QR code of `text` (error correction M) as its modules row by row, '1' dark and '0'
// light, without the quiet zone, and its side in modules; empty when it does not encode.
std::string QrModules(std::string_view text, int& side);

// "1234 5678": a claim code as shown.
std::string SpacedCode(std::string_view code);

}  // namespace claims
