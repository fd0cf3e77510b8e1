// The program's four dialog routines (message box, yes/no question, open and save file
// choice) and the framework's warning go through one replaceable provider. The real
// provider shows windows; tests install a recorder that answers from a script.
#pragma once

#include <QString>
#include <functional>
#include <string>
#include <utility>
#include <vector>
#include "core/text/Messages.h"

class QFileDialog;
class QWidget;

enum class Answer { Yes, No, Closed };

class DialogProvider {
 public:
  virtual ~DialogProvider() = default;
  virtual void showMessage(MessageKind kind, const QString& text) = 0;
  // `preferred` is the default button: the answer Enter gives.
  virtual Answer askYesNo(const QString& text, Answer preferred) = 0;
  // The same, for a window that goes on while the question waits: `then` gets the answer
  // when it comes (at once from a provider that answers at once), never after the window
  // went away. `escape` is the answer Esc gives.
  virtual void askLater(const QString& text, Answer preferred, Answer escape,
                        std::function<void(Answer)> then) {
    (void)escape;
    then(askYesNo(text, preferred));
  }
  virtual void showLater(MessageKind kind, const QString& text, std::function<void()> then) {
    showMessage(kind, text);
    then();
  }
  // The framework's warning dialog with a single Yes button.
  virtual void warning(const QString& text) = 0;
  // File choices; false when cancelled. `filter` is in Qt's form ("desc (*.ext);;…").
  virtual bool getSaveFileName(QWidget* owner, const QString& title, const QString& filter,
                               const QString& initialName, QString& chosen) = 0;
  virtual bool getOpenFileName(QWidget* owner, const QString& title, const QString& filter,
                               QString& chosen) = 0;
  // A folder choice; false when cancelled (and wherever no one can choose).
  virtual bool getExistingDirectory(QWidget* owner, const QString& title, QString& chosen) {
    (void)owner;
    (void)title;
    (void)chosen;
    return false;
  }
};

// Makes the widget file dialog read wholly Chinese beside Qt's own catalogue: the type
// column's kinds, and the sizes and dates in the default locale (set to zh_CN at start).
void SpeakChinese(QFileDialog& dialog);

// Shows the real windows.
class WindowDialogProvider : public DialogProvider {
 public:
  void showMessage(MessageKind kind, const QString& text) override;
  Answer askYesNo(const QString& text, Answer preferred) override;
  void askLater(const QString& text, Answer preferred, Answer escape,
                std::function<void(Answer)> then) override;
  void showLater(MessageKind kind, const QString& text, std::function<void()> then) override;
  void warning(const QString& text) override;
  bool getSaveFileName(QWidget* owner, const QString& title, const QString& filter,
                       const QString& initialName, QString& chosen) override;
  bool getOpenFileName(QWidget* owner, const QString& title, const QString& filter,
                       QString& chosen) override;
  bool getExistingDirectory(QWidget* owner, const QString& title, QString& chosen) override;
};

// Answers without a window: questions from `answers` in order, then Yes; file choices
// cancelled. Each dialog is handed to
// `log` as one line ("message\t<kind>\t<text>", "question\t<text>", "warning\t<text>",
// "save\t<title>", "open\t<title>"), for runs that no person watches.
class UnattendedDialogProvider : public DialogProvider {
 public:
  explicit UnattendedDialogProvider(std::function<void(const QString&)> log = {},
                                    std::vector<Answer> answers = {})
      : m_log(std::move(log)), m_answers(std::move(answers)) {}
  void showMessage(MessageKind kind, const QString& text) override;
  Answer askYesNo(const QString& text, Answer preferred) override;
  void warning(const QString& text) override;
  bool getSaveFileName(QWidget* owner, const QString& title, const QString& filter,
                       const QString& initialName, QString& chosen) override;
  bool getOpenFileName(QWidget* owner, const QString& title, const QString& filter,
                       QString& chosen) override;

 private:
  void Log(const QString& line) const {
    if (m_log) m_log(line);
  }
  std::function<void(const QString&)> m_log;
  std::vector<Answer> m_answers;
  size_t m_asked = 0;
};

// A full-screen window that shows the program's messages and questions itself while it is
// open, in its own style (the draw screens: no desktop box may open over the projector).
// The real provider hands them to it; a test's provider still sees every one.
class MessageStage {
 public:
  virtual ~MessageStage() = default;
  virtual void stageMessage(MessageKind kind, const QString& text) = 0;
  virtual Answer stageQuestion(const QString& text, Answer preferred) = 0;
  // Shown without waiting: the answer goes to `then` when it comes, never once the stage
  // has closed.
  virtual void stageAskLater(const QString& text, Answer preferred, Answer escape,
                             std::function<void(Answer)> then) {
    (void)escape;
    then(stageQuestion(text, preferred));
  }
  virtual void stageShowLater(MessageKind kind, const QString& text, std::function<void()> then) {
    stageMessage(kind, text);
    then();
  }
};

// Registers the stage that takes the real provider's messages (null: desktop windows again);
// returns the previous one.
MessageStage* SetMessageStage(MessageStage* stage);
MessageStage* CurrentMessageStage();

// Installs a provider (not owned) and returns the previous one; null restores the real one.
DialogProvider* SetDialogProvider(DialogProvider* provider);
DialogProvider& Dialogs();

// Routes the core's own messages (id allocator, database connection) to ShowMessageBox.
void InstallCoreMessageSink();

void ShowMessageBox(MessageKind kind, const QString& text);
void ShowMessageBox(MessageKind kind, const std::string& gbkText);
void ShowMessageBox(MessageKind kind, const char* utf8Text);
// The question with Yes as its default button, or No where a habitual Enter must not
// throw work away.
Answer AskYesNo(const QString& text, Answer preferred = Answer::Yes);
// The question and the message of a window that never waits in a nested loop: the answer
// (or the message's close) reaches `then` later, from the event loop.
void AskLater(const QString& text, Answer preferred, Answer escape,
              std::function<void(Answer)> then);
void ShowLater(MessageKind kind, const std::string& gbkText, std::function<void()> then);
