// The program's start: single instance, data module, main window, message loop.
#pragma once

class TMainForm;

int RunTombolix(int argc, char** argv);

// Gives the main window every window it opens: the draw screens, the results window, and the
// configuration window with the preset-winner editor behind its 指定中奖.
void ConnectWindows(TMainForm& mainForm);
