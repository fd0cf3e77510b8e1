// Test provider for the dialog routines: records every dialog and answers from a script, so
// no test ever waits on a modal window.
#pragma once

#include <QString>
#include <deque>
#include <optional>
#include <utility>
#include <vector>

#include "core/text/Messages.h"
#include "gui/ui/Dialogs.h"

struct RecordedDialog {
  enum Type { Message, Question, Warning, SaveFile, OpenFile } type;
  MessageKind kind = MessageKind::Information;  // messages only
  QString text;  // message, question or warning text; dialog title for file choices
  QString filter;
  QString initialName;
  Answer preferred = Answer::Yes;  // questions only: the default button
};

class DialogRecorder : public DialogProvider {
 public:
  DialogRecorder();
  ~DialogRecorder() override;

  void showMessage(MessageKind kind, const QString& text) override;
  Answer askYesNo(const QString& text, Answer preferred) override;
  void warning(const QString& text) override;
  bool getSaveFileName(QWidget* owner, const QString& title, const QString& filter,
                       const QString& initialName, QString& chosen) override;
  bool getOpenFileName(QWidget* owner, const QString& title, const QString& filter,
                       QString& chosen) override;
  // Answered from `files` too.
  bool getExistingDirectory(QWidget* owner, const QString& title, QString& chosen) override;

  std::vector<std::pair<MessageKind, QString>> messages() const;
  std::vector<RecordedDialog> log;
  std::deque<Answer> answers;                // Yes when empty
  std::deque<std::optional<QString>> files;  // nullopt or empty queue: cancelled

 private:
  DialogProvider* m_previous;
};
