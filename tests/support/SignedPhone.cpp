#include "SignedPhone.h"

bool SignedPhone::Paired(const std::string& answer) {
  const size_t at = answer.find("\"token\":\"");
  if (at == std::string::npos || answer.size() < at + 9 + 32) return false;
  token = answer.substr(at + 9, 32);
  return true;
}

net::THttpRequest PostOf(const std::string& path, const std::string& body, const char* address) {
  net::THttpRequest req;
  req.Method = "POST";
  req.Path = path;
  req.Body = body;
  req.Address = address;
  return req;
}
