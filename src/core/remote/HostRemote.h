// The host's phone as a remote of the data draw screen. The server's threads push the
// inputs of the paired host here; the draw screen, on its own thread, drains them into its
// stage (TStage::Press), which takes each as its keys and clicks, where its phase allows.
// What the phone shows is the stage's state, told to this observer after each input.
// Nothing here decides anything about the draw.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/draw/StageFrame.h"
#include "core/draw/StageObserver.h"
#include "core/draw/StageState.h"
#include "core/net/Pairing.h"

class TStage;

namespace remote {

// The buttons of the host's page: the stage's remote inputs.
using THostAction = TStageInput;

// 临时加奖 typed on the host's phone (GBK); `perPress` 0 draws the whole count at once.
struct THostAdd {
  std::string name;
  int32_t count = 0;
  int32_t perPress = 0;
  std::string gift;
  bool operator==(const THostAdd&) const = default;
};

// A press of the host, or (with `add`) an item to add, numbered `seq` by the phone.
struct THostInput {
  THostAction action = THostAction::Start;
  int index = 0;
  std::optional<THostAdd> add;
  uint64_t seq = 0;
  bool operator==(const THostInput&) const = default;
};

// How the stage took the host's last item to add: the press `seq`, and the text to show
// (GBK): what was added, or the refusal's message.
struct THostAnswer {
  uint64_t seq = 0;
  bool accepted = false;
  std::string text;
  bool operator==(const THostAnswer&) const = default;
};

// The actions the page offers for a state: those the stage allows in it (Allows), in the
// order of the inputs.
std::vector<THostAction> HostActions(const TStageState& s);
// The page's 黑屏 (Blank) or 恢复 (Unblank) button for a state, none while a roll runs.
std::optional<THostAction> BlankAction(const TStageState& s);
// The name of an action in requests and the page ("start", "stop", …), and back; false for
// a name that is none.
const char* HostActionName(THostAction a);
bool ParseHostAction(std::string_view name, THostAction& a);

inline constexpr size_t kMaxHostInputs = 16;

class THostRemote : public TStageObserver {
 public:
  explicit THostRemote(net::TPairing& pairing) : m_pairing(pairing) {}
  net::TPairing& Pairing() { return m_pairing; }

  enum class TPush { Queued, NoStage, Full };
  // An input of the host (its token and number already taken).
  TPush Push(const THostInput& in);
  // The state last told, and its revision (raised at each change). `open` is false while no
  // draw screen listens.
  TStageState State(uint64_t& revision) const;

  // The draw screen opened: `wake` is called (from a server thread, under the remote's
  // lock: it only posts) when inputs wait.
  void Attach(std::function<void()> wake);
  // The draw screen closed: no more inputs are taken, and the host's pairing ends.
  void Detach();
  bool Attached() const;
  // The inputs waiting, oldest first.
  std::vector<THostInput> Drain();
  // The stage took an item to add: the phone shows `answer` from now on.
  void Answered(THostAnswer answer);
  THostAnswer LastAnswer() const;

  void Revealed(const TRevealedList&) override {}
  void Moved(const TStageState& state) override;

 private:
  net::TPairing& m_pairing;
  mutable std::mutex m_mutex;
  std::function<void()> m_wake;
  bool m_attached = false;
  std::deque<THostInput> m_inputs;
  TStageState m_state;
  THostAnswer m_answer;
  uint64_t m_revision = 1;
};

// The host's input taken on the stage (on the draw screen's thread): a press as TStage::Press,
// an item to add as the operator's 临时加奖 through TStage::Change, whose outcome `remote`
// then shows the phone. The frame to apply.
TStageFrame TakeHostInput(TStage& stage, THostRemote& remote, const THostInput& in);

}  // namespace remote
