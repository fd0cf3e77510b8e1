#include "gui/ui/Dialogs.h"

#include <QDateTime>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QLocale>

#include "core/text/Messages.h"
#include "gui/ui/MessageFrm.h"
#include "gui/ui/Qt.h"

namespace {
WindowDialogProvider g_windows;
DialogProvider* g_provider = nullptr;
MessageStage* g_stage = nullptr;
// The kinds of the type column: Qt's Chinese catalogue leaves them in English.
class ChineseIconProvider : public QFileIconProvider {
 public:
  QString type(const QFileInfo& info) const override {
    if (info.isRoot()) return QStringLiteral("驱动器");
    if (info.isDir()) return QStringLiteral("文件夹");
    if (info.isSymLink()) return QStringLiteral("快捷方式");
    const QString suffix = info.suffix();
    return suffix.isEmpty() ? QStringLiteral("文件") : suffix.toUpper() + QStringLiteral(" 文件");
  }
};

// The size and date columns in the program's locale: the model writes them in the desktop's,
// which on an English system reads "9 Dec 2026".
class ChineseColumns : public QIdentityProxyModel {
 public:
  using QIdentityProxyModel::QIdentityProxyModel;
  QVariant data(const QModelIndex& index, int role) const override {
    auto* files = qobject_cast<QFileSystemModel*>(sourceModel());
    if (role != Qt::DisplayRole || !files || (index.column() != 1 && index.column() != 3))
      return QIdentityProxyModel::data(index, role);
    const QModelIndex source = mapToSource(index);
    const QLocale locale;
    if (index.column() == 3)
      return locale.toString(files->lastModified(source), QLocale::ShortFormat);
    if (files->isDir(source)) return QString();
    return locale.formattedDataSize(files->size(source), 1, QLocale::DataSizeTraditionalFormat);
  }
};

}  // namespace

void SpeakChinese(QFileDialog& dialog) {
  // Owned by the dialog: the provider is handed over, the proxy is parented.
  auto* icons = new ChineseIconProvider;
  dialog.setIconProvider(icons);
  QObject::connect(&dialog, &QObject::destroyed, [icons] { delete icons; });
  dialog.setProxyModel(new ChineseColumns(&dialog));
}

void WindowDialogProvider::showMessage(MessageKind kind, const QString& text) {
  if (g_stage) {
    g_stage->stageMessage(kind, text);
    return;
  }
  TMessageForm form;
  form.SetMessage(kind, text);
  form.exec();
}

Answer WindowDialogProvider::askYesNo(const QString& text, Answer preferred) {
  if (g_stage) return g_stage->stageQuestion(text, preferred);
  TConfirmDialog dialog(text, nullptr, preferred);
  dialog.exec();
  return dialog.answer();
}

void WindowDialogProvider::askLater(const QString& text, Answer preferred, Answer escape,
                                    std::function<void(Answer)> then) {
  if (g_stage) return g_stage->stageAskLater(text, preferred, escape, std::move(then));
  then(askYesNo(text, preferred));
}

void WindowDialogProvider::showLater(MessageKind kind, const QString& text,
                                     std::function<void()> then) {
  if (g_stage) return g_stage->stageShowLater(kind, text, std::move(then));
  showMessage(kind, text);
  then();
}

void WindowDialogProvider::warning(const QString& text) {
  if (g_stage) {
    g_stage->stageMessage(MessageKind::Warning, text);
    return;
  }
  TWarningDialog dialog(text);
  dialog.exec();
}

bool WindowDialogProvider::getSaveFileName(QWidget* owner, const QString& title,
                                           const QString& filter, const QString& initialName,
                                           QString& chosen) {
  QFileDialog dialog(owner, title, QString(), filter);
  SpeakChinese(dialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  // Overwriting is asked by the caller in the program's own words.
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  dialog.selectFile(initialName);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  chosen = dialog.selectedFiles().first();
  return true;
}

bool WindowDialogProvider::getOpenFileName(QWidget* owner, const QString& title,
                                           const QString& filter, QString& chosen) {
  QFileDialog dialog(owner, title, QString(), filter);
  SpeakChinese(dialog);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  // The type list shows the caption ("图像文件(JPG/PNG/BMP)"), not the any-case patterns
  // behind it.
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  // The caller reports a missing file itself, so the dialog takes any name typed.
  dialog.setFileMode(QFileDialog::AnyFile);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  chosen = dialog.selectedFiles().first();
  return true;
}

bool WindowDialogProvider::getExistingDirectory(QWidget* owner, const QString& title,
                                                QString& chosen) {
  QFileDialog dialog(owner, title);
  SpeakChinese(dialog);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  chosen = dialog.selectedFiles().first();
  return true;
}

void UnattendedDialogProvider::showMessage(MessageKind kind, const QString& text) {
  Log(QStringLiteral("message\t%1\t%2").arg(static_cast<int>(kind)).arg(text));
}

Answer UnattendedDialogProvider::askYesNo(const QString& text, Answer) {
  Log(QStringLiteral("question\t%1").arg(text));
  return m_asked < m_answers.size() ? m_answers[m_asked++] : Answer::Yes;
}

void UnattendedDialogProvider::warning(const QString& text) {
  Log(QStringLiteral("warning\t%1").arg(text));
}

bool UnattendedDialogProvider::getSaveFileName(QWidget*, const QString& title, const QString&,
                                               const QString&, QString&) {
  Log(QStringLiteral("save\t%1").arg(title));
  return false;
}

bool UnattendedDialogProvider::getOpenFileName(QWidget*, const QString& title, const QString&,
                                               QString&) {
  Log(QStringLiteral("open\t%1").arg(title));
  return false;
}

DialogProvider* SetDialogProvider(DialogProvider* provider) {
  DialogProvider* previous = g_provider;
  g_provider = provider;
  return previous;
}

MessageStage* SetMessageStage(MessageStage* stage) {
  MessageStage* previous = g_stage;
  g_stage = stage;
  return previous;
}

MessageStage* CurrentMessageStage() { return g_stage; }

DialogProvider& Dialogs() { return g_provider ? *g_provider : g_windows; }

void InstallCoreMessageSink() {
  msg::SetSink([](MessageKind kind, const std::string& gbk) { ShowMessageBox(kind, gbk); });
}

void ShowMessageBox(MessageKind kind, const QString& text) { Dialogs().showMessage(kind, text); }
void ShowMessageBox(MessageKind kind, const std::string& gbkText) {
  ShowMessageBox(kind, Q(gbkText));
}
void ShowMessageBox(MessageKind kind, const char* utf8Text) {
  ShowMessageBox(kind, QString::fromUtf8(utf8Text));
}

Answer AskYesNo(const QString& text, Answer preferred) {
  return Dialogs().askYesNo(text, preferred);
}

void AskLater(const QString& text, Answer preferred, Answer escape,
              std::function<void(Answer)> then) {
  Dialogs().askLater(text, preferred, escape, std::move(then));
}

void ShowLater(MessageKind kind, const std::string& gbkText, std::function<void()> then) {
  Dialogs().showLater(kind, Q(gbkText), std::move(then));
}
