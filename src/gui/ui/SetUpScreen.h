// A window the main window opens after a set-up: the draw screens and the results window.
#pragma once

#include <functional>
#include <memory>

#include "core/records/Records.h"

class QWidget;
class TDrawSession;
namespace remote {
class THostRemote;
}
namespace claims {
class TClaimDesk;
}
namespace console {
struct TRoom;
}

class TSetUpScreen {
 public:
  virtual ~TSetUpScreen() = default;
  // Loads what the window needs for the task; 1 when it may be shown. A failure has shown
  // its message.
  virtual int SetUp(int32_t taskId) = 0;
  virtual void ShowModal() = 0;
  // The host's phone drives the screen as its keys do, before the set-up; a screen that
  // takes no remote ignores it.
  virtual void SetRemote(remote::THostRemote*) {}
  // The prize claims the check-in service holds for the task, before the set-up; a window
  // that records no claims ignores it.
  virtual void SetClaimDesk(std::shared_ptr<claims::TClaimDesk>) {}
  // What the opener knows of the room (check-in, claims, the phones), filled in whenever
  // the operator's console looks; a window without a console ignores it.
  virtual void SetRoomFacts(std::function<void(console::TRoom&)>) {}
};

// Makes the draw screen for a task's draw type, or the results window, on the program's
// draw session; null while that window is not available.
using DrawScreenFactory = std::function<std::unique_ptr<TSetUpScreen>(
    QWidget* owner, TDrawSession& session, TDrawType type)>;
using QueryScreenFactory =
    std::function<std::unique_ptr<TSetUpScreen>(QWidget* owner, TDrawSession& session)>;
// The configuration window, shown modally; it reloads the task list itself.
using ConfigWindowOpener = std::function<void(QWidget* owner)>;
