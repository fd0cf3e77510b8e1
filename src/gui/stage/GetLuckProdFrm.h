// The full-screen draw by probability: each press draws one of N numbers; prize names roll
// until 确定 or Enter, then the result shows in large type.
#pragma once

#include <optional>

#include "core/draw/ProbDraw.h"
#include "gui/stage/DrawScreenBase.h"

class QFrame;
class QLabel;
class QTimer;
class QToolButton;
class TScrollText;

class TGetLuckProdForm : public TDrawScreenBase {
  Q_OBJECT
 public:
  // The screen works on `session` through its engine. `seed` replaces the clock's seed, so
  // that a draw can be replayed exactly.
  explicit TGetLuckProdForm(TDrawSession& session, QWidget* parent = nullptr,
                            std::optional<uint32_t> seed = {});
  ~TGetLuckProdForm() override;

  // Loads the draw of `taskId` and prepares the screen; 1 when it may be shown. Failures are
  // shown.
  int SetUpDraw(int32_t taskId);

  const TProbDraw& Engine() const { return m_engine; }
  bool Stopped() const { return !m_engine.Rolling(); }
  // Index of the prize item the last press won, or -1 for a loss (and before any press).
  int WonItem() const { return m_wonItem; }

  QLabel* LbMain;
  QLabel* LLuck;
  QLabel* LbShowList;
  QLabel* HintList;
  QLabel* RollLabel;
  QLabel* IMLuck;   // the won item's prize picture
  QFrame* PLadder;  // the prize items and what they are
  TScrollText* MLadder;
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
  QRect EnterArea() const override;
  void LayoutChanged() override;

 private:
  void Fit(QLabel* l, const QString& text);
  void FormClose();
  void ShowResult(int wonItem, const QString& text);

  TProbDraw m_engine;
  bool m_setUp = false;
  bool m_closed = false;
  int m_wonItem = -1;
  QPixmap m_wonPicture;
};
