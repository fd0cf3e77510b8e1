// What the configuration window needs of the window that opens it: the task list its tree
// copies, the task selected there, and the reload after a task was saved or deleted.
#pragma once

#include <cstdint>

#include "core/config/TaskList.h"

class QWidget;

class TTaskListHost {
 public:
  virtual ~TTaskListHost() = default;
  // The window the configuration window stands over.
  virtual QWidget* HostWindow() = 0;
  virtual const config::TTaskList& Tasks() const = 0;
  // The position of the selected task in Tasks(), -1 when none is selected.
  virtual int SelectedTaskIndex() const = 0;
  // Reloads the list after a save or a delete; `taskId` is the task just saved (0 after a
  // delete), which the list selects when the configuration window closes.
  virtual void TasksChanged(int32_t taskId) = 0;
};
