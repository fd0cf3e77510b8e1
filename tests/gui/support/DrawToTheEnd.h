// A data draw done as an operator does it: from the main window, Enter after Enter.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>
#include <functional>

#include "ModalHelper.h"
#include "core/draw/DataDraw.h"
#include "gui/app/MainFrm.h"
#include "gui/stage/GetLuckMainFrm.h"

using DrawScreenStep = std::function<void(TGetLuckMainForm& screen)>;

// Opens the draw screen of the main window's selected task with its 抽奖 button, presses
// Enter on it until the draw is finished (at most 100 presses) and leaves it with Esc.
// `before` runs on the screen before the first press, `after` once the draw is finished.
// Answers the presses made; a window that is not the draw screen fails the test.
inline int DrawToTheEndFromMain(TMainForm& main, const DrawScreenStep& before = {},
                                const DrawScreenStep& after = {}) {
  int presses = 0;
  OnNextModal([&](QWidget* m) {
    auto* screen = qobject_cast<TGetLuckMainForm*>(m);
    if (!screen) {
      ADD_FAILURE() << "not the draw screen: " << m->metaObject()->className();
      m->close();
      return;
    }
    if (before) before(*screen);
    while (screen->Engine().state() != TDataDraw::State::Finished && presses < 100) {
      QTest::keyClick(screen->EKeyCtrl, Qt::Key_Return);
      QCoreApplication::processEvents();
      ++presses;
    }
    if (after) after(*screen);
    QTest::keyClick(screen->EKeyCtrl, Qt::Key_Escape);
  });
  main.SBtnGetLuckClick();
  return presses;
}
