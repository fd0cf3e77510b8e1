#include "core/remote/HostRemote.h"

namespace checkin {

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
  if (!s.open) return {};
  // What is in sight on the screen is answered first, as its keys would.
  if (!s.prompt.empty())
    return s.promptAsks ? std::vector{THostAction::Yes, THostAction::No}
                        : std::vector{THostAction::Ok};
  std::vector<THostAction> actions;
  switch (s.phase) {
    case TStagePhase::Ready:
      return {THostAction::Start, THostAction::Leave};
    case TStagePhase::Rolling:
    case TStagePhase::Replacing:
      return {THostAction::Stop};
    case TStagePhase::Revealed:
    case TStagePhase::Finished:
      // 继续 goes on with the draw, or ends the grand prize's moment.
      if (!s.finished || s.grand) actions.push_back(THostAction::Start);
      if (s.mayMarkAbsent) actions.push_back(THostAction::MarkAbsent);
      actions.push_back(THostAction::Leave);
      return actions;
    case TStagePhase::Choosing:
      return {THostAction::Choose, THostAction::CancelChoice};
    case TStagePhase::Summary:
      return {THostAction::Leave};
    case TStagePhase::Opening:
    case TStagePhase::Selecting:
    case TStagePhase::Landing:
    case TStagePhase::Closed:
      break;
  }
  return {};
}

TStageFrame DriveStage(TStage& stage, const THostInput& in) {
  const TStagePhase p = stage.Phase();
  switch (in.action) {
    case THostAction::Start:
      return stage.Start();
    case THostAction::Stop:
      // A late 停止 must never start the next batch, as Enter would.
      if (p == TStagePhase::Rolling || p == TStagePhase::Replacing) return stage.Enter();
      return {};
    case THostAction::MarkAbsent:
      return p == TStagePhase::Choosing ? TStageFrame{} : stage.Key(TStageKey::Q);
    case THostAction::CancelChoice:
      return p == TStagePhase::Choosing ? stage.Key(TStageKey::Q) : TStageFrame{};
    case THostAction::Choose:
      // A tap on a winner stands for a click on that card, only while choosing.
      return p == TStagePhase::Choosing ? stage.CardClicked(in.index) : TStageFrame{};
    case THostAction::Leave:
      return stage.Leave();
    case THostAction::Yes:
    case THostAction::No:
    case THostAction::Ok:
      break;
  }
  return {};
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

}  // namespace checkin
