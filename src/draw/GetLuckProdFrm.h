// The full-screen draw by probability: each press draws one of N numbers; prize names roll
// until 确定 or Enter, then the result shows in large type.
#pragma once

#include <optional>

#include "draw/DrawScreenBase.h"
#include "draw/ProbDraw.h"

class QLabel;
class QTimer;
class QToolButton;

class TGetLuckProdForm : public TDrawScreenBase {
  Q_OBJECT
 public:
  explicit TGetLuckProdForm(QWidget* parent = nullptr, std::optional<uint32_t> seed = {});
  ~TGetLuckProdForm() override;

  int SetUpDraw();

  const TProbDraw& Engine() const { return m_engine; }
  bool Stopped() const { return !m_engine.Rolling(); }

  QLabel* LbMain;
  QLabel* LLuck;
  QLabel* LbShowList;
  QLabel* HintList;
  QLabel* RollLabel;
  QToolButton* SBegin;
  QToolButton* SContinue;
  QToolButton* SOut;
  QTimer* TMRoll;

 public slots:
  void SBeginClick();
  void SContinueClick();
  void SOutClick();
  void EKeyCtrlKeyPress();
  void RollTick();

 protected:
  void showEvent(QShowEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void reject() override;
  void done(int r) override;
  void EnterPressed() override { EKeyCtrlKeyPress(); }

 private:
  void Fit(QLabel* l, const QString& text);
  void FormClose();

  TProbDraw m_engine;
  bool m_setUp = false;
  bool m_closed = false;
};
