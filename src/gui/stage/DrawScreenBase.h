// What both full-screen draw screens share: the design grid, the background, the text
// colour, the music and the borderless key-capture edit.
#pragma once

#include <QColor>
#include <QDialog>
#include <QImage>
#include <QPixmap>
#include <optional>
#include <string>

#include "gui/stage/Music.h"
#include "gui/ui/DesignScale.h"
#include "gui/ui/Dialogs.h"

class QKeyEvent;
class QLabel;
class QLineEdit;
class QToolButton;
class QTimer;
class TStagePrompt;

// The one factory of both draw screens' texts and buttons: a transparent plain-text label
// in the stage's bold face of `pixels`; a flat button in that face that takes no focus and
// shows the pointing hand.
QLabel* StageLabel(QWidget* parent, const char* name, int pixels);
QToolButton* StageButton(QWidget* parent, const char* name, const QString& caption, int pixels);

// While shown, the screen is the message stage: the program's messages and questions come up
// on it in its own style, never as desktop boxes over the projector.
class TDrawScreenBase : public QDialog, public MessageStage {
  Q_OBJECT
 public:
  ~TDrawScreenBase() override;
  const QColor& TextColor() const { return m_textColor; }
  bool HasTaskBackground() const { return !m_taskBackground.isNull(); }
  // The screen's picture behind its controls, at the screen's size (null before the first).
  const QPixmap& Background() const { return m_background; }

  QLineEdit* EKeyCtrl;
  // Hides the mouse pointer once it has rested this long (2 s).
  QTimer* TMPointer;
  bool PointerHidden() const { return m_pointerHidden; }

  // Keys that count as Enter: Enter itself and what presentation clickers send for "next".
  static bool IsEnterKey(int key);

  // The message or question waiting on the screen (hidden when none).
  TStagePrompt* Prompt() const { return m_prompt; }
  void stageMessage(MessageKind kind, const QString& text) override;
  Answer stageQuestion(const QString& text, Answer preferred) override;
  void stageAskLater(const QString& text, Answer preferred, Answer escape,
                     std::function<void(Answer)> then) override;
  void stageShowLater(MessageKind kind, const QString& text, std::function<void()> then) override;

 protected:
  // `art` names our background picture; `seed` replaces the clock's seed of the generator.
  TDrawScreenBase(QWidget* parent, const char* objectName, QSize design, const QString& art,
                  std::optional<uint32_t> seed);

  // Enter typed into the key-capture edit.
  virtual void EnterPressed() = 0;
  // Any other key typed into it but Esc; true when the screen took it.
  virtual bool OtherKeyPressed(const QKeyEvent*) { return false; }
  // A key that counts even while a message or question waits on the screen (黑屏); true
  // when the screen took it.
  virtual bool PriorityKeyPressed(const QKeyEvent*) { return false; }
  // Called after the controls were laid out for a new size.
  virtual void LayoutChanged() {}
  // Design area where a click counts as Enter (the roll and its result).
  virtual QRect EnterArea() const = 0;
  // Design rows of the light band under the roll, if the screen has one.
  virtual QRect StageBand() const { return {}; }
  // Design area of the banner that tells a notice (the end of the draw) without hiding the
  // winners; by default the middle of the screen.
  virtual QRect BannerArea() const;
  // A design rectangle in screen pixels.
  QRect ScreenRect(QRect design) const;
  // Shows the screen before it is set up, for a question that set-up must ask on it.
  void ShowForQuestions();

  // The task's picture, when its file exists; false after telling that it cannot be loaded.
  bool LoadTaskPicture(const std::string& gbkPath);
  // The colour named by the task (white when the name does not convert).
  void SetTextColour(const std::string& fontColor);
  // Plays the file once from the start; any failure is silent.
  void StartMusic(const std::string& gbkPath);
  void StopMusic();
  void RenderBackground();

  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;
  void done(int r) override;
  void keyPressEvent(QKeyEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

  TDesignScale m_design;
  QColor m_textColor{Qt::white};

 private:
  void HidePointer();
  void ShowPointer();

  void LeaveStage();

  TStagePrompt* m_prompt = nullptr;
  bool m_isStage = false;
  MessageStage* m_previousStage = nullptr;
  QString m_art;
  bool m_pointerHidden = false;
  QImage m_taskBackground;
  QPixmap m_background;
  TMusic m_music{this};
};
