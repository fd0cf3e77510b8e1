// What the claims' routes ask of the list the server serves, without knowing whose it is:
// the check-in desk answers it while a task's check-in runs. Called from the server's
// threads at once.
#pragma once

#include <string>
#include <string_view>

namespace claims {

class TClaimants {
 public:
  virtual ~TClaimants() = default;
  // The task's name on the desk page (GBK).
  virtual std::string TaskName() const = 0;
  // More than one line of the list holds the id (as on the list): a photo named by it could
  // be another's.
  virtual bool RepeatedId(std::string_view id) const = 0;
  // The id (as on the list) a phone's check-in token stands for; empty for an unknown token.
  virtual std::string IdOfToken(std::string_view token) const = 0;
};

}  // namespace claims
