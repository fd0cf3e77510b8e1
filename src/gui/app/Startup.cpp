#include "gui/app/Startup.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <exception>
#include <memory>

#include "Version.h"
#include "core/checkin/CheckinService.h"
#include "core/db/TombolixDM.h"
#include "core/net/LanServer.h"
#include "core/records/ExampleTasks.h"
#include "core/text/FileWrite.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "gui/app/FirstPaintProbe.h"
#include "gui/app/MainFrm.h"
#include "gui/app/QuitSignal.h"
#include "gui/app/SingleInstance.h"
#include "gui/config/LuckConfigFrm.h"
#include "gui/presets/LuckCheatFrm.h"
#include "gui/results/QueryFrm.h"
#include "gui/stage/DrawScreens.h"
#include "gui/ui/Art.h"
#include "gui/ui/Dialogs.h"
#include "gui/ui/Fonts.h"
#include "gui/ui/Qt.h"

namespace {

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

void ConnectWindows(TMainForm& mainForm) {
  mainForm.SetDrawScreenFactory(MakeDrawScreen);
  mainForm.SetQueryScreenFactory(MakeQueryScreen);
  mainForm.SetConfigWindowOpener(
      [&mainForm](QWidget*) { ShowLuckConfig(mainForm, OpenPresetEditorFromConfig); });
}

int RunTombolix(int argc, char** argv) {
  // Once for the program: the check-in server may hold a hall of phones' connections.
  net::RaiseDescriptorLimit();
  TFontConfigWarmUp fontConfig;
  TApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tombolix"));
  // Ties the windows to the installed menu entry and its icon (Wayland app id, task bars).
  QGuiApplication::setDesktopFileName(QString::fromLatin1(kAppId));
  QuitOnTerminationSignals(&app);
  QApplication::setWindowIcon(ArtIcon(QStringLiteral("app_icon"), QSize(64, 64)));
  fontConfig.Wait();
  InstallFontSubstitutions();
  InstallChineseQtTexts(app);

  // For the program's own end-to-end tests: every dialog is written to a file instead of
  // shown, so a run never waits for a person; questions take the answers listed in
  // TOMBOLIX_DIALOG_ANSWERS ("yes,no,closed"), then Yes. Lines end in "\n" on every system.
  QFile dialogLog(qEnvironmentVariable("TOMBOLIX_DIALOG_LOG"));
  std::unique_ptr<UnattendedDialogProvider> logProvider;
  if (!dialogLog.fileName().isEmpty() && dialogLog.open(QIODevice::Append)) {
    std::vector<Answer> answers;
    for (const QString& a : qEnvironmentVariable("TOMBOLIX_DIALOG_ANSWERS")
                                .split(QLatin1Char(','), Qt::SkipEmptyParts)) {
      const QString t = a.trimmed().toLower();
      answers.push_back(t == QLatin1String("no")       ? Answer::No
                        : t == QLatin1String("closed") ? Answer::Closed
                                                       : Answer::Yes);
    }
    logProvider = std::make_unique<UnattendedDialogProvider>(
        [&dialogLog](const QString& line) {
          QString one = line;
          one.replace(QLatin1Char('\n'), QLatin1String("\\n"));
          dialogLog.write(one.toUtf8() + '\n');
          dialogLog.flush();
        },
        answers);
    SetDialogProvider(logProvider.get());
  }
  InstallCoreMessageSink();

  SingleInstance instance(QString::fromUtf8(kProductName));
  if (!instance.tryAcquire()) {
    // The operator started it again to find it: the running copy comes forward instead.
    if (!instance.AskToComeForward())
      ShowMessageBox(MessageKind::Information, "Qarvo抽奖软件已经在执行");
    return 0;
  }
  // A later start brings forward the window the operator last used (a question, a draw
  // screen, the results), or else the main window.
  QPointer<QWidget> lastUsed, mainWindow;
  QObject::connect(&app, &QApplication::focusChanged, &app, [&lastUsed](QWidget*, QWidget* now) {
    if (now) lastUsed = now->window();
  });
  instance.Listen([&lastUsed, &mainWindow] {
    QWidget* w = QApplication::activeModalWidget();
    if (!w && lastUsed && lastUsed->isVisible()) w = lastUsed;
    BringWindowForward(w ? w : mainWindow.data());
  });

  // A read-only program folder with data in it: that data moves on with the operator.
  std::string from, to, error;
  if (paths::AdoptProgramData(from, to, error)) {
    ShowMessageBox(MessageKind::Information, text::G("程序目录") + from +
                                                 text::G("不可写入,其中的抽奖数据已复制到") + to +
                                                 text::G(",以后使用该目录中的数据"));
  } else if (!error.empty()) {
    ShowMessageBox(MessageKind::Error, error);
  }
  // Temporaries of writes that a kill or a power cut interrupted; no other copy runs now.
  for (const std::string& dir : {paths::DataRoot() + "DATA/", paths::DataFileDir(),
                                 paths::LuckFileDir(), paths::HistoryDir()})
    files::RemoveStaleTemporaries(dir);

  TTombolixDataModule dataModule(SeedExampleTasks);
  dataModule.DataModuleCreate();

  TMainForm mainForm;
  mainWindow = &mainForm;
  ConnectWindows(mainForm);
  FirstPaintProbe::Watch(mainForm);
  mainForm.show();
  mainForm.RestoreCheckin();
  // For the program's tests: the pairing codes of a server that came back, written to the
  // file TOMBOLIX_PAIRING_LOG names ("host=<code>", "desk=<code>"), as its windows show them.
  if (const QString log = qEnvironmentVariable("TOMBOLIX_PAIRING_LOG");
      !log.isEmpty() && mainForm.Checkin().Running()) {
    TCheckinService& s = mainForm.Checkin();
    std::string ignored;
    files::WriteFileAtomic(text::Utf8ToGbk(log.toStdString()),
                           "host=" + s.Pairing().Code(net::TPairRole::Host) +
                               "\ndesk=" + s.Pairing().Code(net::TPairRole::Desk) + "\n",
                           ignored);
  }

  // Also for those tests: TOMBOLIX_KEYS ("enter,4,2,enter,q,wait,esc") is typed into the window
  // that has the keyboard, one key every 150 ms, as an operator would. Once the last key has
  // been handled, the (empty) file TOMBOLIX_KEYS_DONE names is written, so that a test knows
  // where the program stands.
  const QStringList keys =
      qEnvironmentVariable("TOMBOLIX_KEYS").split(QLatin1Char(','), Qt::SkipEmptyParts);
  const std::string keysDone =
      text::Utf8ToGbk(qEnvironmentVariable("TOMBOLIX_KEYS_DONE").toStdString());
  QTimer keyTimer;
  qsizetype nextKey = 0;
  QObject::connect(&keyTimer, &QTimer::timeout, &keyTimer, [&keys, &nextKey, &keyTimer, &keysDone] {
    // The topmost modal window (a question over the draw screen) takes the key first.
    QWidget* window = QApplication::activeModalWidget();
    if (!window) window = QApplication::activeWindow();
    if (!window) {
      // A window that closed leaves none active where no window manager passes it on: the
      // window shown under it takes the keys, as it would on a desktop.
      for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && qobject_cast<QMainWindow*>(w)) window = w;
      if (window) window->activateWindow();
    }
    QWidget* target = window && window->focusWidget() ? window->focusWidget() : window;
    if (!target) target = QApplication::focusWidget();
    if (!target) return;
    if (nextKey >= keys.size()) {
      // The keys posted at the last tick have been handled by now.
      keyTimer.stop();
      std::string ignored;
      if (!keysDone.empty()) files::WriteFileAtomic(keysDone, {}, ignored);
      return;
    }
    // "esc", "q", "up", "down", "tab", "space", "f2", "f3", a digit (the audience's number on
    // the draw screen), "text:<characters>" (typed into a field), "alt+<letter>" (a button's
    // accelerator), "wait" (nothing this time), "double" (Enter twice, 50 ms apart, as a
    // clicker that fires twice), or Enter.
    const QString given = keys[nextKey++].trimmed();
    const QString name = given.toLower();
    if (name == QLatin1String("wait")) return;
    if (name.startsWith(QLatin1String("alt+")) && name.size() == 5) {
      // Posted keys miss the platform's shortcut map, so the accelerator is found as Qt finds
      // it: the shown, enabled button of this window whose caption marks the letter.
      const QString mark = QLatin1Char('&') + name.back();
      for (QAbstractButton* b :
           window ? window->findChildren<QAbstractButton*>() : QList<QAbstractButton*>{}) {
        if (b->window() == window && b->isVisible() && b->isEnabled() &&
            b->text().contains(mark, Qt::CaseInsensitive)) {
          b->setFocus(Qt::ShortcutFocusReason);
          b->animateClick();
          break;
        }
      }
      return;
    }
    const auto post = [](QWidget* to, int key, const QString& text) {
      QCoreApplication::postEvent(to, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, text));
      QCoreApplication::postEvent(to, new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier, text));
    };
    if (name == QLatin1String("double")) {
      post(target, Qt::Key_Return, {});
      QTimer::singleShot(50, target, [target, post] { post(target, Qt::Key_Return, {}); });
      return;
    }
    int key = Qt::Key_Return;
    QString text;
    if (name == QLatin1String("esc")) {
      key = Qt::Key_Escape;
    } else if (name == QLatin1String("q")) {
      key = Qt::Key_Q;
      text = name;
    } else if (name == QLatin1String("up")) {
      key = Qt::Key_Up;
    } else if (name == QLatin1String("down")) {
      key = Qt::Key_Down;
    } else if (name == QLatin1String("tab")) {
      key = Qt::Key_Tab;
    } else if (name == QLatin1String("space")) {
      key = Qt::Key_Space;
      text = QStringLiteral(" ");
    } else if (name == QLatin1String("f2")) {
      key = Qt::Key_F2;
    } else if (name == QLatin1String("f3")) {
      key = Qt::Key_F3;
    } else if (name.startsWith(QLatin1String("text:"))) {
      key = 0;  // no key of its own: the characters as an input method hands them over
      text = given.mid(5);
    } else if (name.size() == 1 && name[0].isDigit()) {
      key = Qt::Key_0 + name[0].digitValue();
      text = name;
    }
    post(target, key, text);
  });
  // With no keys the file tells that the program has reached its event loop with a window.
  if (!keys.isEmpty() || !keysDone.empty()) keyTimer.start(150);
  const int rc = QuitRequested() ? 0 : QApplication::exec();
  SetDialogProvider(nullptr);
  return rc;
}
