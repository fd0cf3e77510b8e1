#include "DialogRecorder.h"

DialogRecorder::DialogRecorder() : m_previous(SetDialogProvider(this)) {}
DialogRecorder::~DialogRecorder() { SetDialogProvider(m_previous); }

void DialogRecorder::showMessage(MessageKind kind, const QString& text) {
  log.push_back({RecordedDialog::Message, kind, text, {}, {}});
}

Answer DialogRecorder::askYesNo(const QString& text, Answer preferred) {
  log.push_back({RecordedDialog::Question, {}, text, {}, {}, preferred});
  if (answers.empty()) return Answer::Yes;
  const Answer a = answers.front();
  answers.pop_front();
  return a;
}

void DialogRecorder::warning(const QString& text) {
  log.push_back({RecordedDialog::Warning, {}, text, {}, {}});
}

bool DialogRecorder::getSaveFileName(QWidget*, const QString& title, const QString& filter,
                                     const QString& initialName, QString& chosen) {
  log.push_back({RecordedDialog::SaveFile, {}, title, filter, initialName});
  if (files.empty()) return false;
  const std::optional<QString> f = files.front();
  files.pop_front();
  if (!f) return false;
  chosen = *f;
  return true;
}

bool DialogRecorder::getOpenFileName(QWidget*, const QString& title, const QString& filter,
                                     QString& chosen) {
  log.push_back({RecordedDialog::OpenFile, {}, title, filter, {}});
  if (files.empty()) return false;
  const std::optional<QString> f = files.front();
  files.pop_front();
  if (!f) return false;
  chosen = *f;
  return true;
}

bool DialogRecorder::getExistingDirectory(QWidget*, const QString& title, QString& chosen) {
  log.push_back({RecordedDialog::OpenFile, {}, title, {}, {}});
  if (files.empty()) return false;
  const std::optional<QString> f = files.front();
  files.pop_front();
  if (!f) return false;
  chosen = *f;
  return true;
}

std::vector<std::pair<MessageKind, QString>> DialogRecorder::messages() const {
  std::vector<std::pair<MessageKind, QString>> out;
  for (const RecordedDialog& d : log) {
    if (d.type == RecordedDialog::Message) out.emplace_back(d.kind, d.text);
  }
  return out;
}
