#include "core/remote/HostRemote.h"

#include "core/draw/Stage.h"
#include "core/text/Gbk.h"

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
    {THostAction::Blank, "blank"},
    {THostAction::Unblank, "unblank"},
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
  // 黑屏 and 恢复 stand apart on the page (BlankAction), whatever the phase offers.
  for (const ActionName& n : kNames)
    if (n.action != THostAction::Blank && n.action != THostAction::Unblank && Allows(s, n.action))
      actions.push_back(n.action);
  return actions;
}

std::optional<THostAction> BlankAction(const TStageState& s) {
  for (THostAction a : {THostAction::Blank, THostAction::Unblank})
    if (Allows(s, a)) return a;
  return std::nullopt;
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

void THostRemote::Answered(THostAnswer answer) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_answer = std::move(answer);
  ++m_revision;
}

THostAnswer THostRemote::LastAnswer() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_answer;
}

TStageFrame TakeHostInput(TStage& stage, THostRemote& remote, const THostInput& in) {
  if (!in.add) return stage.Press(in.action, in.index);
  TPlanChange c;
  c.kind = TPlanChangeKind::AddItem;
  const int32_t perPress = in.add->perPress > 0 ? in.add->perPress : in.add->count;
  c.item = {in.add->name, in.add->count, perPress, in.add->gift};
  c.drawNext = true;
  TStageFrame f = stage.Change(c);
  THostAnswer a;
  a.seq = in.seq;
  // An accepted change shows the winners list anew; a refusal only its message.
  a.accepted = f.list.has_value();
  if (a.accepted)
    a.text = text::G("已加奖：") + in.add->name + " " + std::to_string(in.add->count) +
             text::G("名，下一个抽");
  else
    a.text = f.messages.empty() ? text::G("现在不能加奖，请在本批揭晓后再加") : f.messages[0].text;
  remote.Answered(std::move(a));
  return f;
}

void THostRemote::Moved(const TStageState& state) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (!m_attached || state == m_state) return;
  m_state = state;
  ++m_revision;
}

}  // namespace remote
