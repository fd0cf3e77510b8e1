// A data draw done as an operator does it: from the main window, Enter after Enter.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>
#include <functional>

#include "ModalHelper.h"
#include "TaskBuilder.h"
#include "core/db/TombolixDM.h"
#include "core/draw/DataDraw.h"
#include "gui/app/MainFrm.h"
#include "gui/stage/GetLuckMainFrm.h"

using DrawScreenStep = std::function<void(TGetLuckMainForm& screen)>;

// Opens the draw screen of the main window's selected task with its 抽奖 button, presses
// Enter on it until the draw is finished and its end told, the grand prize's moment over
// (at most 100 presses), and leaves it with Esc. The keys come faster than an operator's:
// every task's stage keys go without a rest or a minimum roll first. `before` runs on the
// screen before the first press, `after` once the draw is finished. Answers the presses
// made; a window that is not the draw screen fails the test.
inline int DrawToTheEndFromMain(TMainForm& main, const DrawScreenStep& before = {},
                                const DrawScreenStep& after = {}) {
  NoStageKeyTimes(*TombolixDataModule);
  int presses = 0;
  OnNextModal([&](QWidget* m) {
    auto* screen = qobject_cast<TGetLuckMainForm*>(m);
    if (!screen) {
      ADD_FAILURE() << "not the draw screen: " << m->metaObject()->className();
      m->close();
      return;
    }
    if (before) before(*screen);
    while ((screen->Stage().Phase() != TStagePhase::Finished || screen->Stage().GrandMoment()) &&
           presses < 100) {
      QTest::keyClick(screen->EKeyCtrl, Qt::Key_Return);
      QCoreApplication::processEvents();
      ++presses;
    }
    if (after) after(*screen);
    // Esc leaves (or, should the grand prize's moment still stand, ends it first).
    for (int i = 0; i < 3 && screen->isVisible(); ++i) {
      QTest::keyClick(screen->EKeyCtrl, Qt::Key_Escape);
      QCoreApplication::processEvents();
    }
  });
  main.SBtnGetLuckClick();
  return presses;
}
