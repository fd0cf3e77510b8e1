// The draw screens as the main window opens them.
#pragma once

#include <memory>

#include "app/SetUpScreen.h"

// The screen for a task's draw type: 0 draws from imported data, any other by probability.
std::unique_ptr<TSetUpScreen> MakeDrawScreen(QWidget* owner, int orderBy);
