// A paired phone of the host or a desk as the page's script is (SignScript), for tests:
// pairs with a code typed or a key, and signs each request with the next counter.
#pragma once

#include <string>
#include <string_view>

#include "core/net/Http.h"
#include "core/net/Pairing.h"

struct SignedPhone {
  net::TPairRole role;
  net::TPairKey key{};
  std::string token;
  uint64_t counter = 0;

  SignedPhone(net::TPairRole r, std::string_view code) : role(r), key(net::PairKeyOf(code)) {}
  SignedPhone(net::TPairRole r, const net::TPairKey& k) : role(r), key(k) {}

  // The body of the pairing request (no token, counter 1).
  std::string PairBody(std::string_view path) {
    counter = 1;
    return net::SignedBody(key, role, "POST", path, "", counter, "");
  }
  // Takes the token out of a pairing answer; false when it has none.
  bool Paired(const std::string& answer);
  // The body of the next request to `path` with `payload`.
  std::string Body(std::string_view path, std::string_view payload = {}) {
    return net::SignedBody(key, role, "POST", path, token, ++counter, payload);
  }
};

// A POST request on `path` with `body` from `address`; the views point into the arguments.
net::THttpRequest PostOf(const std::string& path, const std::string& body,
                         const char* address = "10.0.0.5");
