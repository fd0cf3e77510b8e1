// The program's start: single instance, data module, main window, message loop.
#pragma once

int RunTombolix(int argc, char** argv);
