// The script a paired phone's page signs its requests with (PairKey.h in JavaScript), for
// the host's and the desk's pages.
#pragma once

#include <string>

namespace net {

// ES5 without outside assets; defines `Signed` with:
//   Signed.codeOf(typed)   the code normalized as NormalizePairCode does, or ""
//   Signed.keyOf(code)     its key in hex (PBKDF2-HMAC-SHA256, as PairKeyOf)
//   Signed.keyFromHash()   the key in the address's fragment (#k=<64 hex>), or ""; the
//                          fragment is then taken off the address
//   Signed.Session(role, storageName)  a phone's pairing, kept in the browser's storage:
//     .pair(path, keyHex, done)   a pairing request signed with the key
//     .post(path, payload, done)  a signed request: one at a time, each with the next
//                                 counter (once more above the server's when it answers
//                                 "replayed"); done(status, json or null, counter)
//     .paired() .forget()
//   Signed.sha256(bytes)   SHA-256 of an array of bytes (0..255), as an array of 32 bytes
// SHA-256 is written out: a page loaded over plain http from a LAN address gets no
// crypto.subtle.
std::string SignScript();

}  // namespace net
