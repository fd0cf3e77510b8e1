// The full-screen draw by probability: each press draws one of N numbers; prize names roll
// until 确定 or Enter, then the result shows in large type.
#pragma once

#include <QDialog>
#include <QImage>
#include <QPixmap>
#include <optional>

#include "draw/ProbDraw.h"
#include "ui/DesignScale.h"

class QAudioOutput;
class QLabel;
class QLineEdit;
class QMediaPlayer;
class QTimer;
class QToolButton;

class TGetLuckProdForm : public QDialog {
  Q_OBJECT
 public:
  explicit TGetLuckProdForm(QWidget* parent = nullptr, std::optional<uint32_t> seed = {});
  ~TGetLuckProdForm() override;

  int SetUpDraw();

  const TProbDraw& Engine() const { return m_engine; }
  bool Stopped() const { return !m_engine.Rolling(); }
  const QColor& TextColor() const { return m_textColor; }

  QLabel* LbMain;
  QLabel* LLuck;
  QLabel* LbShowList;
  QLabel* HintList;
  QLabel* RollLabel;
  QToolButton* SBegin;
  QToolButton* SContinue;
  QToolButton* SOut;
  QLineEdit* EKeyCtrl;
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
  void resizeEvent(QResizeEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Fit(QLabel* l, const QString& text);
  void FormClose();

  TProbDraw m_engine;
  TDesignScale m_design;
  bool m_setUp = false;
  bool m_closed = false;
  QColor m_textColor{Qt::white};
  QImage m_taskBackground;
  QPixmap m_background;
  QMediaPlayer* m_player = nullptr;
  QAudioOutput* m_audio = nullptr;
};
