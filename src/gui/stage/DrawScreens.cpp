#include "gui/stage/DrawScreens.h"

#include "gui/stage/DrawScreenArt.h"
#include "gui/stage/GetLuckMainFrm.h"
#include "gui/stage/GetLuckProdFrm.h"

namespace {

template <typename Form>
class DrawScreen : public TSetUpScreen {
 public:
  DrawScreen(QWidget* owner, TDrawSession& session) : m_form(session, owner) {}
  int SetUp(int32_t taskId) override { return m_form.SetUpDraw(taskId); }
  void SetRemote(remote::THostRemote* remote) override {
    if constexpr (requires { m_form.SetRemote(remote); }) m_form.SetRemote(remote);
  }
  void SetRoomFacts(std::function<void(console::TRoom&)> facts) override {
    if constexpr (requires { m_form.SetRoomFacts(facts); }) m_form.SetRoomFacts(std::move(facts));
  }
  void ShowModal() override {
    ShowOnWholeScreen(&m_form);
    // Modal to the main window only: the host remote's window, on the operator's screen,
    // stays in reach for pairing and unpairing during the draw.
    m_form.setWindowModality(Qt::WindowModal);
    m_form.exec();
  }

 private:
  Form m_form;
};

}  // namespace

std::unique_ptr<TSetUpScreen> MakeDrawScreen(QWidget* owner, TDrawSession& session,
                                             TDrawType type) {
  if (type == TDrawType::ByProbability)
    return std::make_unique<DrawScreen<TGetLuckProdForm>>(owner, session);
  return std::make_unique<DrawScreen<TGetLuckMainForm>>(owner, session);
}
