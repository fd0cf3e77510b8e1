#include "core/remote/HostRemote.h"

namespace remote {

namespace {

struct ActionName {
  THostAction action;
  const char* name;
};
constexpr ActionName kNames[] = {
    {THostAction::Start, "start"},
    {THostAction::Stop, "stop"},
    {THostAction::MarkAbsent, "absent"},
    {THostAction::Choose, "choose"},
    {THostAction::CancelChoice, "cancel"},
    {THostAction::Yes, "yes"},
    {THostAction::No, "no"},
    {THostAction::Ok, "ok"},
    {THostAction::Leave, "leave"},
};

}  // namespace

const char* HostActionName(THostAction a) {
  for (const ActionName& n : kNames)
    if (n.action == a) return n.name;
  return "";
}

bool ParseHostAction(std::string_view name, THostAction& a) {
  for (const ActionName& n : kNames)
    if (name == n.name) {
      a = n.action;
      return true;
    }
  return false;
}

std::vector<THostAction> HostActions(const TStageState& s) {
  std::vector<THostAction> actions;
  for (const ActionName& n : kNames)
    if (Allows(s, n.action)) actions.push_back(n.action);
  return actions;
}

THostRemote::TPush THostRemote::Push(const THostInput& in) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (!m_attached) return TPush::NoStage;
  if (m_inputs.size() >= kMaxHostInputs) return TPush::Full;
  m_inputs.push_back(in);
  // Under the lock: once Detach returns, the screen is never woken again.
  if (m_wake) m_wake();
  return TPush::Queued;
}

TStageState THostRemote::State(uint64_t& revision) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  revision = m_revision;
  if (!m_attached) return {};
  return m_state;
}

void THostRemote::Attach(std::function<void()> wake) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_wake = std::move(wake);
  m_attached = true;
  m_inputs.clear();
  ++m_revision;
}

void THostRemote::Detach() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_wake = nullptr;
    m_attached = false;
    m_inputs.clear();
    m_state = {};
    ++m_revision;
  }
  m_pairing.Unpair(net::TPairRole::Host);
}

bool THostRemote::Attached() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_attached;
}

std::vector<THostInput> THostRemote::Drain() {
  std::lock_guard<std::mutex> lock(m_mutex);
  std::vector<THostInput> out(m_inputs.begin(), m_inputs.end());
  m_inputs.clear();
  return out;
}

void THostRemote::Moved(const TStageState& state) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (!m_attached || state == m_state) return;
  m_state = state;
  ++m_revision;
}

}  // namespace remote
