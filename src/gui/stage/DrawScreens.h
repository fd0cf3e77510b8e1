// The draw screens as the main window opens them.
#pragma once

#include <memory>

#include "gui/ui/SetUpScreen.h"

// The screen of a task's draw type.
std::unique_ptr<TSetUpScreen> MakeDrawScreen(QWidget* owner, TDrawSession& session, TDrawType type);
