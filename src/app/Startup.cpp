#include "app/Startup.h"

#include <QApplication>
#include <QFile>
#include <QTextStream>
#include <exception>
#include <memory>

#include "app/MainFrm.h"
#include "app/SingleInstance.h"
#include "db/TombolixDM.h"
#include "draw/DrawScreens.h"
#include "records/ExampleTasks.h"
#include "ui/Art.h"
#include "ui/Dialogs.h"
#include "ui/Fonts.h"

namespace {

const QString kProductName = QStringLiteral("Qarvo抽奖软件");

// No exception may reach the event loop: one that escapes a handler is shown and the program
// goes on.
class TApplication : public QApplication {
 public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
      ShowMessageBox(2, QString::fromLocal8Bit(e.what()));
    } catch (...) {
      ShowMessageBox(2, "程序内部错误");
    }
    return false;
  }
};

// For the program's own end-to-end tests: every dialog is written to a file instead of shown,
// questions are answered Yes and file choices cancelled, so a run never waits for a person.
class LogDialogProvider : public DialogProvider {
 public:
  explicit LogDialogProvider(const QString& path) : m_file(path) {
    m_file.open(QIODevice::Append | QIODevice::Text);
  }
  void showMessage(int kind, const QString& text) override {
    write(QStringLiteral("message\t%1\t%2").arg(kind).arg(text));
  }
  Answer askYesNo(const QString& text) override {
    write(QStringLiteral("question\t%1").arg(text));
    return Answer::Yes;
  }
  void warning(const QString& text) override { write(QStringLiteral("warning\t%1").arg(text)); }
  bool getSaveFileName(QWidget*, const QString& title, const QString&, const QString&,
                       QString&) override {
    write(QStringLiteral("save\t%1").arg(title));
    return false;
  }
  bool getOpenFileName(QWidget*, const QString& title, const QString&, QString&) override {
    write(QStringLiteral("open\t%1").arg(title));
    return false;
  }

 private:
  void write(const QString& line) {
    QString one = line;
    one.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    m_file.write(one.toUtf8() + '\n');
    m_file.flush();
  }
  QFile m_file;
};

}  // namespace

int RunTombolix(int argc, char** argv) {
  TApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tombolix"));
  QApplication::setWindowIcon(ArtIcon(QStringLiteral("app_icon"), QSize(64, 64)));
  InstallFontSubstitutions();

  std::unique_ptr<LogDialogProvider> logProvider;
  const QString logPath = qEnvironmentVariable("TOMBOLIX_DIALOG_LOG");
  if (!logPath.isEmpty()) {
    logProvider = std::make_unique<LogDialogProvider>(logPath);
    SetDialogProvider(logProvider.get());
  }
  InstallCoreMessageSink();

  SingleInstance instance(kProductName);
  if (!instance.tryAcquire()) {
    ShowMessageBox(0, "Qarvo抽奖软件已经在执行");
    return 0;
  }

  TTombolixDataModule dataModule(SeedExampleTasks);
  dataModule.DataModuleCreate();

  TMainForm mainForm;
  mainForm.SetDrawScreenFactory(MakeDrawScreen);
  mainForm.show();
  const int rc = QApplication::exec();
  SetDialogProvider(nullptr);
  return rc;
}
