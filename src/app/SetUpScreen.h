// A window the main window opens after a set-up: the draw screens and the results window.
#pragma once

#include <functional>
#include <memory>

#include "records/Records.h"

class QWidget;

class TSetUpScreen {
 public:
  virtual ~TSetUpScreen() = default;
  // Loads what the window needs; 1 when it may be shown. A failure has shown its message.
  virtual int SetUp() = 0;
  virtual void ShowModal() = 0;
};

// Makes the draw screen for a task's draw type, or the results window; null while that
// window is not available.
using DrawScreenFactory =
    std::function<std::unique_ptr<TSetUpScreen>(QWidget* owner, TDrawType type)>;
using QueryScreenFactory = std::function<std::unique_ptr<TSetUpScreen>(QWidget* owner)>;
// The configuration window, shown modally; it reloads the task list itself.
using ConfigWindowOpener = std::function<void(QWidget* owner)>;
