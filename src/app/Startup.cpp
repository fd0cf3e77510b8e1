#include "app/Startup.h"

#include <QApplication>
#include <QFile>
#include <exception>
#include <memory>

#include "app/MainFrm.h"
#include "app/SingleInstance.h"
#include "config/LuckConfigFrm.h"
#include "db/TombolixDM.h"
#include "draw/DrawScreens.h"
#include "records/ExampleTasks.h"
#include "results/QueryFrm.h"
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
      ShowMessageBox(MessageKind::Error, QString::fromLocal8Bit(e.what()));
    } catch (...) {
      ShowMessageBox(MessageKind::Error, "程序内部错误");
    }
    return false;
  }
};

}  // namespace

int RunTombolix(int argc, char** argv) {
  TApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tombolix"));
  QApplication::setWindowIcon(ArtIcon(QStringLiteral("app_icon"), QSize(64, 64)));
  InstallFontSubstitutions();

  // For the program's own end-to-end tests: every dialog is written to a file instead of
  // shown, so a run never waits for a person.
  QFile dialogLog(qEnvironmentVariable("TOMBOLIX_DIALOG_LOG"));
  std::unique_ptr<UnattendedDialogProvider> logProvider;
  if (!dialogLog.fileName().isEmpty() && dialogLog.open(QIODevice::Append | QIODevice::Text)) {
    logProvider = std::make_unique<UnattendedDialogProvider>([&dialogLog](const QString& line) {
      QString one = line;
      one.replace(QLatin1Char('\n'), QLatin1String("\\n"));
      dialogLog.write(one.toUtf8() + '\n');
      dialogLog.flush();
    });
    SetDialogProvider(logProvider.get());
  }
  InstallCoreMessageSink();

  SingleInstance instance(kProductName);
  if (!instance.tryAcquire()) {
    ShowMessageBox(MessageKind::Information, "Qarvo抽奖软件已经在执行");
    return 0;
  }

  TTombolixDataModule dataModule(SeedExampleTasks);
  dataModule.DataModuleCreate();

  TMainForm mainForm;
  mainForm.SetDrawScreenFactory(MakeDrawScreen);
  mainForm.SetQueryScreenFactory(MakeQueryScreen);
  mainForm.SetConfigWindowOpener([&mainForm](QWidget*) { ShowLuckConfig(mainForm); });
  mainForm.show();
  const int rc = QApplication::exec();
  SetDialogProvider(nullptr);
  return rc;
}
