// The program's message box, its yes/no question and the framework-style warning.
#pragma once

#include <QDialog>
#include <QString>

#include "core/text/Messages.h"
#include "gui/ui/Dialogs.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QFrame;

// Caption "提示", one picture for the kind, the text, and an OK button.
class TMessageForm : public QDialog {
  Q_OBJECT
 public:
  explicit TMessageForm(QWidget* parent = nullptr);

  // Shows exactly one kind picture (kind 0 for any unknown kind) and the text, whole: a text
  // longer than the designed box's four lines widens the box, then heightens it up to three
  // quarters of the screen, where it scrolls.
  void SetMessage(MessageKind kind, const QString& text);

  QLabel* ImgTitle;
  QLabel* Img0;
  QLabel* Img1;
  QLabel* Img2;
  QLabel* Img3;
  QFrame* Panel1;
  QPlainTextEdit* MemMessage;
  QFrame* Bevel1;
  QPushButton* BtnOk;

 private:
  void FitText();
};

// The yes/no question: caption "确认", question icon, "是(&Y)" and "否(&N)", the `preferred`
// one the default button with the focus. Y alone answers Yes, N alone and Esc answer No,
// Enter the button with the focus; the close box leaves it unanswered (Closed).
class TConfirmDialog : public QDialog {
  Q_OBJECT
 public:
  explicit TConfirmDialog(const QString& text, QWidget* parent = nullptr,
                          Answer preferred = Answer::Yes);
  Answer answer() const { return m_answer; }

  QPushButton* BtnYes;
  QPushButton* BtnNo;

 protected:
  void keyPressEvent(QKeyEvent* e) override;

 private:
  Answer m_answer = Answer::Closed;
};

// The framework's warning dialog: caption "警告", warning icon, the text, a single 确定 button
// that Enter and Y alone press; N alone and Esc close it too.
class TWarningDialog : public QDialog {
  Q_OBJECT
 public:
  explicit TWarningDialog(const QString& text, QWidget* parent = nullptr);
  QPushButton* BtnYes;

 protected:
  void keyPressEvent(QKeyEvent* e) override;
};
