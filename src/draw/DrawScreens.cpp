#include "draw/DrawScreens.h"

#include "draw/DrawScreenArt.h"
#include "draw/GetLuckMainFrm.h"
#include "draw/GetLuckProdFrm.h"

namespace {

template <typename Form>
class DrawScreen : public TSetUpScreen {
 public:
  explicit DrawScreen(QWidget* owner) : m_form(owner) {}
  int SetUp() override { return m_form.SetUpDraw(); }
  void ShowModal() override {
    ShowOnWholeScreen(&m_form);
    m_form.exec();
  }

 private:
  Form m_form;
};

}  // namespace

std::unique_ptr<TSetUpScreen> MakeDrawScreen(QWidget* owner, TDrawType type) {
  if (type == TDrawType::ByProbability)
    return std::make_unique<DrawScreen<TGetLuckProdForm>>(owner);
  return std::make_unique<DrawScreen<TGetLuckMainForm>>(owner);
}
